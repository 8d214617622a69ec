// Sockets, the event wait, the internet check and the FTP client of Linux,
// against real peers on loopback.
#include "platform/x11/network.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/x11/event_wait.h"
#include "tests/support/real_peers.h"

namespace nrvnc {
namespace {

using namespace test;

// Lets events run the way the forms runtime does and reads the state, until
// it is Connected or Error or the time is up.
int Settled_State(Tcp_Socket& socket, int limit_ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    int state = socket.State();
    while (state != Socket_State::Connected && state != Socket_State::Error &&
           std::chrono::steady_clock::now() < end) {
        Event_Wait::Wait_For_Activity(5);
        state = socket.State();
    }
    return state;
}

void Connect(Tcp_Socket& socket, const std::string& host, int port) {
    socket.Close();
    socket.Set_Remote_Host(host);
    socket.Set_Remote_Port(port);
    socket.Connect();
}

// Connecting to a listener by address or name, and the close the peer sees:
// Probe_Real in tests/repeater_real, through the probe.
TEST(Linux_Tcp_Socket, Is_Refused_Or_Left_Connecting_As_The_Peer_Does) {
    Loopback_Listener not_listening, silent;
    ASSERT_TRUE(silent.Listen_Without_Answering());
    Linux_Tcp_Socket socket;
    Connect(socket, "127.0.0.1", not_listening.Port);
    EXPECT_EQ(Settled_State(socket), Socket_State::Error);
    EXPECT_EQ(socket.State(), Socket_State::Error);  // and stays so
    Connect(socket, "127.0.0.1", silent.Port);
    EXPECT_EQ(Settled_State(socket, 300), Socket_State::Connecting);
    Connect(socket, "no such host!", 5901);
    EXPECT_EQ(Settled_State(socket), Socket_State::Error);
    // Only IPv4 is tried: an IPv6 listener is never reached.
    const int v6 = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(v6, reinterpret_cast<sockaddr*>(&address), length), 0);
    getsockname(v6, reinterpret_cast<sockaddr*>(&address), &length);
    listen(v6, 4);
    Connect(socket, "::1", ntohs(address.sin6_port));
    EXPECT_EQ(Settled_State(socket), Socket_State::Error);
    close(v6);
}

// A peer that accepts and resets at once was reached: a connection made
// stays made, whenever the state is first read.
TEST(Linux_Tcp_Socket, A_Connection_Reset_Before_The_First_Look_Still_Counts_As_Made) {
    Loopback_Listener listener;
    listener.Listen();
    Linux_Tcp_Socket socket;
    Connect(socket, "127.0.0.1", listener.Port);
    const int accepted = listener.Accept();
    ASSERT_GE(accepted, 0);
    const linger reset{1, 0};
    setsockopt(accepted, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    listener.Others.pop_back();
    close(accepted);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the reset has arrived
    EXPECT_EQ(Settled_State(socket), Socket_State::Connected);
}

TEST(Linux_Tcp_Socket, A_Connection_Made_Later_Wakes_The_Event_Wait) {
    // The queue is full: the connection is made only when the kernel retries
    // the SYN after the queue was drained.
    Loopback_Listener slow;
    ASSERT_TRUE(slow.Listen_Without_Answering());
    Linux_Tcp_Socket socket;
    Connect(socket, "127.0.0.1", slow.Port);  // no look at the state before the wait
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        while (!stop) slow.Accept(20);
    });
    int state = Socket_State::Connecting;
    // Each wait must end for the socket (or a wake left over from elsewhere),
    // never by running out.
    for (int round = 0; round < 5 && state == Socket_State::Connecting; ++round) {
        if (!Event_Wait::Wait_For_Activity(20000)) break;
        state = socket.State();
    }
    stop = true;
    drain.join();
    EXPECT_EQ(state, Socket_State::Connected);
}

TEST(Linux_Tcp_Socket, Names_Are_Looked_Up_In_The_Background_And_A_Late_Answer_Is_Dropped) {
    Loopback_Listener refusing, listener;
    listener.Listen();
    Linux_Tcp_Socket socket;
    // A lookup that would lead to a refusal, abandoned at once for a new
    // attempt on the same socket: if its answer were taken, the socket would
    // end refused instead of connected. (Its state right after the start is
    // not looked at: a fast lookup may already have been refused.)
    Connect(socket, "localhost", refusing.Port);
    Connect(socket, "localhost", listener.Port);
    int state = socket.State();
    for (int round = 0; round < 4 && state != Socket_State::Connected; ++round) {
        EXPECT_TRUE(Event_Wait::Wait_For_Activity(60000));  // the lookup ends the wait
        state = socket.State();
    }
    EXPECT_EQ(state, Socket_State::Connected);
    for (int i = 0; i < 20; ++i) {  // sockets gone during their lookup leave nothing behind
        Linux_Tcp_Socket short_lived;
        Connect(short_lived, "localhost", listener.Port);
    }
    EXPECT_EQ(socket.State(), Socket_State::Connected);
}

TEST(Linux_Network, Internet_Check_Says_Whether_A_Connection_Can_Be_Made_In_Time) {
    Loopback_Listener listener, not_listening, silent;
    listener.Listen();
    ASSERT_TRUE(silent.Listen_Without_Answering());
    Linux_Network_Options options;
    options.Check_Connect_Ms = 300;
    options.Check_Total_Ms = 600;
    Linux_Network network(options);
    auto url = [](const Loopback_Listener& l) {
        return "http://127.0.0.1:" + std::to_string(l.Port) + "/";
    };
    EXPECT_TRUE(network.Check_Internet_Connection(url(listener)));
    EXPECT_FALSE(network.Check_Internet_Connection(url(not_listening)));
    EXPECT_FALSE(network.Check_Internet_Connection("http://no such host!/"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(network.Check_Internet_Connection(url(silent)));
    // Guards that the limit is applied at all (the default is seconds long).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST(Curl_Ftp_Client, Fetches_In_Active_Text_Mode_And_Keeps_The_Failing_Steps_Apart) {
    Loopback_Ftp_Server server;  // refuses passive mode
    ASSERT_NE(server.Port, 0) << "the loopback FTP server did not start";
    server.Publish("repeater.example.net\n5999\n");
    Temp_Folder local;
    Write_Text(local / "Repeater.Dat", "kept\r\n");
    Curl_Ftp_Client client(server.Port);  // port 0 goes there
    const std::string user = Builtin::FTP_User_Name, password = Builtin::FTP_Password;
    const auto session = client.Internet_Open("agent");

    // A refused login and a missing folder: Download_Real in tests/repeater_real.
    const auto connection = client.Internet_Connect(session, "ftp://127.0.0.1", 0, user, password);
    ASSERT_NE(connection, 0u) << client.Last_Error();
    ASSERT_TRUE(client.Set_Current_Directory(connection, "VNCRepeater"));
    EXPECT_FALSE(client.Get_File(connection, "NoSuch.Dat", local / "Repeater.Dat", true, 65536));
    EXPECT_EQ(Read_Text(local / "Repeater.Dat"), "kept\r\n");  // and no part file beside it
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.Path), {}), 1);

    ASSERT_TRUE(client.Get_File(connection, "Repeater.Dat", local / "Repeater.Dat", true, 65536));
    EXPECT_EQ(Read_Text(local / "Repeater.Dat"), "repeater.example.net\r\n5999\r\n");
    ASSERT_TRUE(client.Get_File(connection, "Repeater.Dat", local / "binary", false, 65536));
    EXPECT_EQ(Read_Text(local / "binary"), "repeater.example.net\n5999\n");
    client.Close_Handle(session);
}

TEST(Curl_Ftp_Client, An_Unreachable_Or_Silent_Server_Fails_Within_The_Limits) {
    Loopback_Listener not_listening, silent;  // silent accepts TCP, never greets
    silent.Listen();
    Curl_Ftp_Client client(0, Ftp_Timeouts{300, 800});
    const auto session = client.Internet_Open("agent");
    EXPECT_EQ(client.Internet_Connect(session, "127.0.0.1", not_listening.Port, "u", "p"), 0u);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Internet_Connect(session, "127.0.0.1", silent.Port, "u", "p"), 0u);
    // Guards that the limits are applied at all (the defaults are 10 and 20 s).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Curl_Ftp_Client, Refuses_A_File_Past_The_Bound_And_Says_Goodbye_In_Bounded_Time) {
    setenv("NRVNC_FTP_SILENT_QUIT", "1", 1);  // this server never answers QUIT
    Loopback_Ftp_Server server;
    unsetenv("NRVNC_FTP_SILENT_QUIT");
    ASSERT_NE(server.Port, 0) << "the loopback FTP server did not start";
    server.Publish(nullptr);
    Write_Text(server.Root / "VNCRepeater/ten", "0123456789");
    Write_Text(server.Root / "VNCRepeater/eleven", "0123456789A");
    Write_Text(server.Root / "VNCRepeater/huge", std::string(4 << 20, 'x'));
    Temp_Folder local;
    Curl_Ftp_Client client(server.Port);
    const auto session = client.Internet_Open("agent");
    const auto connection = client.Internet_Connect(session, "127.0.0.1", 0, Builtin::FTP_User_Name,
                                                    Builtin::FTP_Password);
    ASSERT_NE(connection, 0u) << client.Last_Error();
    ASSERT_TRUE(client.Set_Current_Directory(connection, "VNCRepeater"));
    // The last one fetched keeps the connection, which the goodbye needs.
    for (auto [name, fetched] : {std::pair{"huge", false}, {"eleven", false}, {"ten", true}}) {
        EXPECT_EQ(client.Get_File(connection, name, local / name, false, 10), fetched) << name;
        EXPECT_EQ(std::filesystem::exists(local / name), fetched) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.Path), {}),
              1);  // no part file

    auto start = std::chrono::steady_clock::now();
    client.Close_Handle(session);
    // The goodbye waits 2 s for an answer; a step's own limit is 20 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(Curl_Ftp_Client, Without_Libcurl_Every_Connection_Fails) {
    Loopback_Ftp_Server server;
    Curl_Ftp_Client client(server.Port, {}, "libcurl-that-is-not-there.so.4");
    EXPECT_EQ(client.Internet_Connect(client.Internet_Open("agent"), "127.0.0.1", 0,
                                      Builtin::FTP_User_Name, Builtin::FTP_Password),
              0u);
    EXPECT_EQ(client.Last_Error(), "libcurl is not installed");
}

}  // namespace
}  // namespace nrvnc
