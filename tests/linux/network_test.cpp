#include "platform/x11/network.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/real_peers.h"
#include "platform/error.h"
#include "platform/x11/event_wait.h"

namespace nrvnc {
namespace {

using test::Loopback_Listener;

// Polls the way the probe does: let events run (here: the wait the forms
// runtime makes in Do_Events), read the state, until it is one of the
// wanted states or the safety limit passes.
int Poll_Until(Tcp_Socket& socket, std::initializer_list<int> wanted,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + limit;
    int state = socket.State();
    while (std::find(wanted.begin(), wanted.end(), state) == wanted.end() &&
           std::chrono::steady_clock::now() < end) {
        Event_Wait::Wait_For_Activity(5);
        state = socket.State();
    }
    return state;
}

void Aim(Tcp_Socket& socket, const std::string& host, int port) {
    socket.Close();
    socket.Set_Remote_Host(host);
    socket.Set_Remote_Port(port);
}

TEST(Linux_Tcp_Socket, Connects_To_A_Listener_And_Closes_Again) {
    for (const char* host : {"127.0.0.1", "localhost"}) {
        Loopback_Listener listener;
        listener.Listen();
        Linux_Tcp_Socket socket;
        Aim(socket, host, listener.Port);
        socket.Connect();
        EXPECT_EQ(Poll_Until(socket, {Socket_State::Connected, Socket_State::Error}),
                  Socket_State::Connected)
            << host;
        int accepted = listener.Accept();
        ASSERT_GE(accepted, 0) << host;
        socket.Close();
        EXPECT_EQ(socket.State(), Socket_State::Closed);
        char byte;
        EXPECT_EQ(recv(accepted, &byte, 1, 0), 0) << host << ": the peer sees the close";
    }
}

TEST(Linux_Tcp_Socket, Connection_Made_Later_Wakes_The_Event_Wait) {
    // The listener's queue is full, so the connection is made only when the
    // kernel retries the SYN after the queue was drained.
    Loopback_Listener slow;
    slow.Listen_Without_Answering();
    Linux_Tcp_Socket socket;
    Aim(socket, "127.0.0.1", slow.Port);
    socket.Connect();
    ASSERT_EQ(socket.State(), Socket_State::Connecting);

    std::atomic<bool> stop{false};
    std::thread drain([&] {
        while (!stop) slow.Accept(20);
    });
    int state = Socket_State::Connecting;
    // Each wait must end for the socket (or a wake left over from another
    // test), never by running out.
    for (int round = 0; round < 5 && state == Socket_State::Connecting; ++round) {
        if (!Event_Wait::Wait_For_Activity(20000)) break;
        state = socket.State();
    }
    stop = true;
    drain.join();
    EXPECT_EQ(state, Socket_State::Connected);
}

TEST(Linux_Tcp_Socket, Name_Lookup_Wakes_The_Event_Wait_When_Done) {
    Loopback_Listener listener;
    listener.Listen();
    Linux_Tcp_Socket socket;
    Aim(socket, "localhost", listener.Port);
    socket.Connect();
    int state = socket.State();
    EXPECT_TRUE(state == Socket_State::Resolving_Host || state == Socket_State::Connecting ||
                state == Socket_State::Connected)
        << state;
    for (int round = 0; round < 4 && state != Socket_State::Connected; ++round) {
        EXPECT_TRUE(Event_Wait::Wait_For_Activity(60000));
        state = socket.State();
    }
    EXPECT_EQ(state, Socket_State::Connected);
}

TEST(Linux_Tcp_Socket, Refused_Connection_Stays_In_Error) {
    Loopback_Listener not_listening;  // bound, so nobody else takes the port
    Linux_Tcp_Socket socket;
    Aim(socket, "127.0.0.1", not_listening.Port);
    socket.Connect();
    EXPECT_EQ(Poll_Until(socket, {Socket_State::Connected, Socket_State::Error}),
              Socket_State::Error);
    EXPECT_EQ(socket.State(), Socket_State::Error);
    EXPECT_EQ(socket.State(), Socket_State::Error);
    socket.Close();
    EXPECT_EQ(socket.State(), Socket_State::Closed);
}

TEST(Linux_Tcp_Socket, Unresolvable_Name_Ends_In_Error) {
    Linux_Tcp_Socket socket;
    Aim(socket, "no such host!", 5901);
    socket.Connect();
    EXPECT_EQ(Poll_Until(socket, {Socket_State::Connected, Socket_State::Error}),
              Socket_State::Error);
}

TEST(Linux_Tcp_Socket, Server_That_Never_Answers_Keeps_It_Connecting_Until_Closed) {
    Loopback_Listener silent;
    silent.Listen_Without_Answering();
    Loopback_Listener listener;
    listener.Listen();

    Linux_Tcp_Socket socket;
    Aim(socket, "127.0.0.1", silent.Port);
    socket.Connect();
    EXPECT_EQ(Poll_Until(socket, {Socket_State::Connected, Socket_State::Error},
                         std::chrono::milliseconds(300)),
              Socket_State::Connecting);

    // Closed, the same socket is ready for the next probe.
    Aim(socket, "127.0.0.1", listener.Port);
    EXPECT_EQ(socket.State(), Socket_State::Closed);
    socket.Connect();
    EXPECT_EQ(Poll_Until(socket, {Socket_State::Connected, Socket_State::Error}),
              Socket_State::Connected);
}

TEST(Linux_Tcp_Socket, Late_Name_Lookup_Of_A_Closed_Attempt_Is_Dropped) {
    Loopback_Listener refusing;
    Loopback_Listener listener;
    listener.Listen();
    Linux_Tcp_Socket socket;
    // A lookup that would lead to a refusal, abandoned at once...
    Aim(socket, "localhost", refusing.Port);
    socket.Connect();
    // ...and a new attempt on the same socket to a listener.
    Aim(socket, "127.0.0.1", listener.Port);
    socket.Connect();
    EXPECT_EQ(Poll_Until(socket, {Socket_State::Connected, Socket_State::Error}),
              Socket_State::Connected);
    // Sockets that go away while their lookup runs leave nothing behind.
    for (int i = 0; i < 20; ++i) {
        Linux_Tcp_Socket short_lived;
        Aim(short_lived, "localhost", listener.Port);
        short_lived.Connect();
    }
    EXPECT_EQ(socket.State(), Socket_State::Connected);
}

TEST(Linux_Tcp_Socket, Misuse_Raises) {
    Linux_Tcp_Socket socket;
    for (int32_t port : {-1, 65536}) {
        try {
            socket.Set_Remote_Port(port);
            ADD_FAILURE() << port << " accepted";
        } catch (const Runtime_Error& error) {
            EXPECT_EQ(error.Number, Error_Number::Invalid_Procedure_Call);
        }
    }
    socket.Set_Remote_Port(0);
    socket.Set_Remote_Port(65535);

    socket.Set_Remote_Host("");
    EXPECT_THROW(socket.Connect(), Runtime_Error);
    EXPECT_EQ(socket.State(), Socket_State::Closed);

    Loopback_Listener listener;
    listener.Listen();
    Aim(socket, "127.0.0.1", listener.Port);
    socket.Connect();
    try {
        socket.Connect();
        ADD_FAILURE() << "second connect accepted";
    } catch (const Runtime_Error& error) {
        EXPECT_EQ(error.Number, Error_Number::Socket_Error);
    }
}

TEST(Linux_Network, Internet_Check_Says_Whether_A_Connection_Can_Be_Made) {
    Loopback_Listener listener;
    listener.Listen();
    Loopback_Listener not_listening;
    Linux_Network network;
    EXPECT_TRUE(network.Check_Internet_Connection(
        "http://127.0.0.1:" + std::to_string(listener.Port) + "/"));
    EXPECT_FALSE(network.Check_Internet_Connection(
        "http://127.0.0.1:" + std::to_string(not_listening.Port) + "/"));
    EXPECT_FALSE(network.Check_Internet_Connection("http://no such host!/"));
}

TEST(Linux_Network, Internet_Check_Gives_Up_On_A_Silent_Address) {
    Loopback_Listener silent;
    silent.Listen_Without_Answering();
    Linux_Network_Options options;
    options.Check_Connect_Ms = 300;
    options.Check_Total_Ms = 600;
    Linux_Network network(options);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        network.Check_Internet_Connection("http://127.0.0.1:" + std::to_string(silent.Port) + "/"));
    // Guards that the limit is applied at all (the default is seconds long).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

}  // namespace
}  // namespace nrvnc
