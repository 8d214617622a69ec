// The Windows network services against real peers on loopback (under Wine
// in the test run): the socket, WinINet FTP against the runner's pyftpdlib
// server, and the internet check.
#include "platform/win32/network.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "builtin_values.h"
#include "platform/error.h"
#include "platform/win32/event_wait.h"
#include "tests/win32/win32_peers.h"
// after windows.h
#include <wininet.h>

namespace nrvnc::test {
namespace {

// Lets the attempt run as the probe does, waiting on the event wait, until
// it is decided or limit_ms passed; returns the state then.
int Settle(Tcp_Socket& socket, uint32_t limit_ms) {
    DWORD start = GetTickCount();
    int state = socket.State();
    while ((state == Socket_State::Resolving_Host || state == Socket_State::Connecting) &&
           GetTickCount() - start < limit_ms) {
        Event_Wait::Wait_For_Activity(static_cast<int>(limit_ms - (GetTickCount() - start)));
        state = socket.State();
    }
    return state;
}

TEST(Win32_Tcp_Socket, Connects_Or_Fails_As_The_Peer_Does) {
    Loopback_Listener accepting, refusing, silent;
    accepting.Listen();
    ASSERT_TRUE(silent.Listen_Without_Answering());
    struct Case {
        std::string Host;
        uint16_t Port;
        int State;  // after the probe's 1000 ms
        int Or_State = -1;
    } cases[] = {
        {"127.0.0.1", accepting.Port, Socket_State::Connected},
        {"localhost", accepting.Port, Socket_State::Connected},
        {"127.0.0.1", refusing.Port, Socket_State::Error},
        {"127.0.0.1", silent.Port, Socket_State::Connecting},
        // Still looking it up where the resolver is slow: not connected either way.
        {"repeater.invalid", accepting.Port, Socket_State::Error, Socket_State::Resolving_Host},
    };
    Win32_Network network;
    for (const Case& c : cases) {
        auto socket = network.Create_Tcp_Socket();
        socket->Set_Remote_Host(c.Host);
        socket->Set_Remote_Port(c.Port);
        socket->Connect();
        int state = Settle(*socket, 1000);
        EXPECT_TRUE(state == c.State || state == c.Or_State)
            << c.Host << ":" << c.Port << " " << state;
        socket->Close();
        EXPECT_EQ(socket->State(), Socket_State::Closed);
    }
}

TEST(Win32_Tcp_Socket, Refuses_A_Second_Connect_And_Ports_Out_Of_Range) {
    Loopback_Listener accepting;
    accepting.Listen();
    Win32_Network network;
    auto socket = network.Create_Tcp_Socket();
    EXPECT_THROW(socket->Set_Remote_Port(65536), Runtime_Error);
    EXPECT_THROW(socket->Connect(), Runtime_Error);  // no host
    socket->Set_Remote_Host("127.0.0.1");
    socket->Set_Remote_Port(accepting.Port);
    socket->Connect();
    EXPECT_THROW(socket->Connect(), Runtime_Error);
}

TEST(Win32_Network, The_Internet_Check_Connects_For_Real) {
    Win32_Network network;
    Loopback_Listener up, down;
    up.Listen();
    EXPECT_TRUE(
        network.Check_Internet_Connection("http://127.0.0.1:" + std::to_string(up.Port) + "/"));
    EXPECT_FALSE(
        network.Check_Internet_Connection("http://127.0.0.1:" + std::to_string(down.Port) + "/"));
}

struct Ftp_Case {
    const char* What;
    bool Server_Up = true;
    const char* Password = Builtin::FTP_Password;
    const char* Folder = "VNCRepeater";
    const char* File = "Repeater.Dat";
    int Failed_Step = 0;  // 1 connecting, 2 changing to the folder, 3 transferring
    unsigned long Connect_Error = 0;
};

TEST(Wininet_Ftp_Client, Downloads_Or_Tells_The_Failed_Step) {
    Runner_Ftp_Server server;
    ASSERT_NE(server.Port, 0) << "run under wine_run.py --ftp";
    server.Publish("Repeater.Dat", "repeater.example.net\r\n5999\n");
    Loopback_Listener closed;
    const Ftp_Case cases[] = {
        {"download"},
        {"wrong password", true, "wrong", "VNCRepeater", "Repeater.Dat", 1,
         ERROR_INTERNET_LOGIN_FAILURE},
        {"server unreachable", false, Builtin::FTP_Password, "VNCRepeater", "Repeater.Dat", 1,
         ERROR_INTERNET_CANNOT_CONNECT},
        {"missing folder", true, Builtin::FTP_Password, "NoSuchFolder", "Repeater.Dat", 2},
        {"missing file", true, Builtin::FTP_Password, "VNCRepeater", "Missing.Dat", 3},
    };
    for (const Ftp_Case& c : cases) {
        SCOPED_TRACE(c.What);
        Temp_Folder local;
        Wininet_Ftp_Client ftp(c.Server_Up ? server.Port : closed.Port);
        auto session = ftp.Internet_Open("NR Repeater IP File Download");
        ASSERT_NE(session, 0u);
        auto connection =
            ftp.Internet_Connect(session, "127.0.0.1", 0, Builtin::FTP_User_Name, c.Password);
        int failed = connection == 0                                                          ? 1
                     : !ftp.Set_Current_Directory(connection, c.Folder)                       ? 2
                     : !ftp.Get_File(connection, c.File, local / "Repeater.Dat", true, 65536) ? 3
                                                                                              : 0;
        EXPECT_EQ(failed, c.Failed_Step) << ftp.Last_Error();
        if (c.Connect_Error) {
            EXPECT_EQ(ftp.Last_Error_Code(), c.Connect_Error) << ftp.Last_Error();
        }
        if (failed == 0) {  // text mode: every line ends in CR LF, nothing else changes
            EXPECT_EQ(Read_Text(local / "Repeater.Dat"), "repeater.example.net\r\n5999\r\n");
        } else {
            EXPECT_FALSE(std::filesystem::exists(local / "Repeater.Dat"));
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.Path),
                                std::filesystem::directory_iterator()),
                  failed == 0 ? 1 : 0);  // no part file left
        ftp.Close_Handle(connection);
        ftp.Close_Handle(session);
    }
}

TEST(Wininet_Ftp_Client, Bounds_The_Size_Of_A_Download_And_A_Silent_Server) {
    Runner_Ftp_Server server;
    ASSERT_NE(server.Port, 0) << "run under wine_run.py --ftp";
    server.Publish("Big.Dat", std::string(70000, 'x'));
    Temp_Folder local;
    Write_Text(local / "Big.Dat", "kept\r\n");
    Wininet_Ftp_Client ftp(server.Port);
    auto session = ftp.Internet_Open("NR Repeater IP File Download");
    auto connection = ftp.Internet_Connect(session, "127.0.0.1", 0, Builtin::FTP_User_Name,
                                           Builtin::FTP_Password);
    ASSERT_NE(connection, 0u) << ftp.Last_Error();
    ASSERT_TRUE(ftp.Set_Current_Directory(connection, "VNCRepeater"));
    EXPECT_FALSE(ftp.Get_File(connection, "Big.Dat", local / "Big.Dat", true, 65536));
    EXPECT_EQ(Read_Text(local / "Big.Dat"), "kept\r\n");  // an older file stays as it was
    EXPECT_TRUE(ftp.Get_File(connection, "Big.Dat", local / "Big.Dat", false, 70000));
    EXPECT_EQ(std::filesystem::file_size(local / "Big.Dat"), 70000u);
    ftp.Close_Handle(session);  // closes the connection with it

    // A server that takes the connection and never greets: the login gives
    // up after the connect limit.
    Loopback_Listener silent;
    silent.Listen();
    Wininet_Ftp_Client impatient(silent.Port, {1500, 1500, 500});
    session = impatient.Internet_Open("NR Repeater IP File Download");
    EXPECT_EQ(impatient.Internet_Connect(session, "127.0.0.1", 0, "u", "p"), 0u);
    EXPECT_EQ(impatient.Last_Error_Code(), static_cast<unsigned long>(ERROR_INTERNET_TIMEOUT));
    impatient.Close_Handle(session);
}

}  // namespace
}  // namespace nrvnc::test
