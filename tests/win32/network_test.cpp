// The Windows network services against real peers on loopback (under Wine
// in the test run): the socket, WinINet FTP against the runner's pyftpdlib
// server, and the internet check.
#include "platform/win32/network.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "builtin_values.h"
#include "platform/error.h"
#include "platform/win32/event_wait.h"
#include "tests/win32/win32_peers.h"
// after windows.h
#include <shlobj.h>
#include <tlhelp32.h>
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
    // Only IPv4 is tried: an IPv6 listener is never reached.
    SOCKET v6 = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in6 v6_address{};
    v6_address.sin6_family = AF_INET6;
    v6_address.sin6_addr = in6addr_loopback;
    int v6_length = sizeof v6_address;
    ASSERT_EQ(bind(v6, reinterpret_cast<sockaddr*>(&v6_address), v6_length), 0);
    getsockname(v6, reinterpret_cast<sockaddr*>(&v6_address), &v6_length);
    listen(v6, 4);
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
        {"::1", ntohs(v6_address.sin6_port), Socket_State::Error},
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
    closesocket(v6);
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
    // up after the connect limit, and the next attempt gets its own time.
    // One that greets with junk: what it said is reported.
    Loopback_Listener silent, junk;
    silent.Listen();
    junk.Listen();
    std::thread greeter([&] {
        SOCKET peer = accept(junk.Socket, nullptr, nullptr);
        send(peer, "SSH-2.0-junk\r\n", 14, 0);
        closesocket(peer);
    });
    Wininet_Ftp_Client impatient(silent.Port, {1500, 1500, 500});
    session = impatient.Internet_Open("NR Repeater IP File Download");
    EXPECT_EQ(impatient.Internet_Connect(session, "127.0.0.1", 0, "u", "p"), 0u);
    EXPECT_EQ(impatient.Last_Error_Code(), static_cast<unsigned long>(ERROR_INTERNET_TIMEOUT));
    connection = impatient.Internet_Connect(session, "127.0.0.1", server.Port,
                                            Builtin::FTP_User_Name, Builtin::FTP_Password);
    EXPECT_NE(connection, 0u) << impatient.Last_Error();
    EXPECT_EQ(impatient.Internet_Connect(session, "127.0.0.1", junk.Port, "u", "p"), 0u);
    EXPECT_NE(impatient.Last_Error().find("SSH-2.0-junk"), std::string::npos)
        << impatient.Last_Error_Code() << " " << impatient.Last_Error();
    impatient.Close_Handle(session);
    greeter.join();
}

int Thread_Count() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

// Files in WinINet's cache whose names start with stem (Wine names its
// copies after the remote file).
int Cached_Copies(const std::string& stem) {
    char folder[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, folder) != S_OK) return -1;
    int copies = 0;
    std::error_code ignored;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder, ignored))
        copies += item.path().filename().string().starts_with(stem);
    return copies;
}

// Hostile servers (see tests/support/ftp_server.py for the made-up files):
// each transfer fails with its notice, and afterwards no worker is left,
// nothing was written (late or not), the cache holds no copy, and a server
// that resumed after the time-out found nobody reading.
TEST(Wininet_Ftp_Client, Leaves_Nothing_Behind_After_A_Hostile_Transfer) {
    Runner_Ftp_Server server;
    ASSERT_NE(server.Port, 0) << "run under wine_run.py --ftp";
    server.Publish("Repeater.Dat", "r\r\n");
    const struct {
        const char* What;
        const char* Stem;  // the file is Stem.Dat
        std::size_t Max_Bytes;
        unsigned long Error;
        bool Cut_Off;  // the server could not send it all
    } cases[] = {
        {"stall in the middle", "Stall_4096_3000_4096", 65536, ERROR_INTERNET_TIMEOUT, false},
        {"1 GiB", "Size_1073741824", 65536, ERROR_FILE_TOO_LARGE, true},
        // Past the bound, then silent: reported before the server answers.
        {"stall past the bound", "Stall_69632_3000_4096", 65536, ERROR_FILE_TOO_LARGE, false},
        {"stall, resume after the time-out", "Stall_4096_3000_8388608", 16 << 20,
         ERROR_INTERNET_TIMEOUT, true},
    };
    Wininet_Ftp_Client ftp(server.Port, {2000, 1000, 500});
    Temp_Folder local;
    auto session = ftp.Internet_Open("NR Repeater IP File Download");
    const int threads = Thread_Count();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string file = std::string(c.Stem) + ".Dat";
        const int cached = Cached_Copies(c.Stem);
        auto connection = ftp.Internet_Connect(session, "127.0.0.1", 0, Builtin::FTP_User_Name,
                                               Builtin::FTP_Password);
        ASSERT_TRUE(connection && ftp.Set_Current_Directory(connection, "VNCRepeater"));
        EXPECT_FALSE(ftp.Get_File(connection, file, local / file, false, c.Max_Bytes));
        EXPECT_EQ(ftp.Last_Error_Code(), c.Error) << ftp.Last_Error();
        ftp.Close_Handle(connection);
        EXPECT_TRUE(Eventually([&] { return Thread_Count() <= threads; })) << Thread_Count();
        EXPECT_TRUE(std::filesystem::is_empty(local.Path));
        EXPECT_EQ(Cached_Copies(c.Stem), cached);
        std::string log;
        EXPECT_TRUE(Eventually([&] {
            log = Read_Text(server.Root + "\\transfers.log");
            return log.find(" " + file) != std::string::npos;
        }));
        EXPECT_NE(log.find((c.Cut_Off ? "incomplete " : "complete ") + file), std::string::npos)
            << log;
    }
    // The connection is still good for a download, and that leaves no copy either.
    auto connection = ftp.Internet_Connect(session, "127.0.0.1", 0, Builtin::FTP_User_Name,
                                           Builtin::FTP_Password);
    ASSERT_TRUE(connection && ftp.Set_Current_Directory(connection, "VNCRepeater"));
    const int cached = Cached_Copies("Repeater");
    EXPECT_TRUE(ftp.Get_File(connection, "Repeater.Dat", local / "Repeater.Dat", true, 65536));
    EXPECT_EQ(Cached_Copies("Repeater"), cached);
    ftp.Close_Handle(session);
}

// While a step waits for a silent server, the window system's messages run:
// a hung-window probe is answered and a covered window repaints.
TEST(Wininet_Ftp_Client, A_Long_Step_Keeps_The_Window_Responding) {
    HWND window = CreateWindowExA(0, "STATIC", "stand-by", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Loopback_Listener silent;
    silent.Listen();
    bool answered = false, repainted = false;
    std::thread prober([&] {
        Sleep(300);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &result);
        InvalidateRect(window, nullptr, FALSE);
        repainted = Eventually([&] { return !GetUpdateRect(window, nullptr, FALSE); });
    });
    Wininet_Ftp_Client ftp(silent.Port, {2000, 2000, 500});
    auto session = ftp.Internet_Open("NR Repeater IP File Download");
    EXPECT_EQ(ftp.Internet_Connect(session, "127.0.0.1", 0, "u", "p"), 0u);
    prober.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(repainted);
    ftp.Close_Handle(session);
    DestroyWindow(window);
}

}  // namespace
}  // namespace nrvnc::test
