// The repeater stand-in, run as a real process and driven over loopback.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "tool_harness.h"

namespace tools_test {
namespace {

const std::string Version = "RFB 003.008\n";

class Repeater : public ::testing::Test {
  protected:
    // Starts the repeater on free ports and reads them from its first line.
    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--viewer-port", "0", "--server-port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        child_ = Spawn(Tool("nrvnc-repeater"), args, {}, Capture_Stdout);
        ASSERT_GT(child_.Pid, 0);
        std::string line = Read_Line(child_.Stdout_Fd, 5s);
        ASSERT_EQ(
            sscanf(line.c_str(), "listening viewer=%d server=%d", &viewer_port_, &server_port_), 2)
            << line;
    }
    void TearDown() override {
        Reap(child_.Pid);
        if (child_.Stdout_Fd >= 0) close(child_.Stdout_Fd);
    }
    bool Still_Running() { return !Wait_Exit(child_.Pid, 0ms).has_value(); }

    // A server that announces itself the way a VNC server in repeater mode
    // does: its ID block, then at once its protocol version.
    Socket Server(const std::string& id) {
        Socket s = Socket::Connect(server_port_);
        EXPECT_TRUE(s.Send(Id_Block(id) + Version));
        return s;
    }
    Socket Viewer(const std::string& id) {
        Socket v = Socket::Connect(viewer_port_);
        EXPECT_TRUE(v.Send(Id_Block(id)));
        return v;
    }

    Child child_;
    int viewer_port_ = 0, server_port_ = 0;
};

class Repeater_Order : public Repeater, public ::testing::WithParamInterface<bool> {};

TEST_P(Repeater_Order, PairsByIdAndRelaysBothWays) {
    Start();
    const bool server_first = GetParam();
    Socket server, viewer;
    if (server_first) {
        server = Server("ID:1234");
        viewer = Viewer("ID:1234");
    } else {
        viewer = Viewer("ID:1234");
        ASSERT_TRUE(viewer.Send("early"));
        server = Server("ID:1234");
        EXPECT_EQ(server.Receive(5, 5s), "early");
    }
    // What one side sent before the other came is held and delivered.
    EXPECT_EQ(viewer.Receive(12, 5s), Version);
    ASSERT_TRUE(viewer.Send(Version));
    EXPECT_EQ(server.Receive(12, 5s), Version);

    // More than the repeater buffers per direction, both ways at once.
    std::string to_server(300000, '\0'), to_viewer(300000, '\0');
    for (size_t i = 0; i < to_server.size(); ++i) {
        to_server[i] = static_cast<char>(i * 7);
        to_viewer[i] = static_cast<char>(i * 13 + 1);
    }
    std::thread send_up([&] { viewer.Send(to_server); });
    std::thread send_down([&] { server.Send(to_viewer); });
    std::string got_by_server, got_by_viewer;
    std::thread read_up([&] { got_by_server = server.Receive(to_server.size(), 10s); });
    got_by_viewer = viewer.Receive(to_viewer.size(), 10s);
    read_up.join();
    send_up.join();
    send_down.join();
    EXPECT_TRUE(got_by_server == to_server);
    EXPECT_TRUE(got_by_viewer == to_viewer);

    // One side closes: the other is closed too.
    viewer.Close();
    EXPECT_TRUE(server.Sees_End(5s));
    EXPECT_TRUE(Still_Running());
}

INSTANTIATE_TEST_SUITE_P(ServerFirstOrViewerFirst, Repeater_Order, ::testing::Values(true, false));

TEST_F(Repeater, BackedUpDataArrivesWholeBeforeTheClose) {
    Start();
    // The server reads nothing for now and its small receive buffer makes the
    // repeater hold what the viewer sends.
    Socket server = Socket::Connect(server_port_, 4096);
    ASSERT_TRUE(server.Send(Id_Block("ID:55")));
    Socket viewer = Viewer("ID:55");
    // The viewer sends until every buffer on the way is full, then leaves.
    std::string sent;
    std::string chunk(65536, '\0');
    for (auto last_progress = Clock::now(); Clock::now() - last_progress < 300ms;) {
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<char>((sent.size() + i) % 251);
        ssize_t n = send(viewer.Fd(), chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent.append(chunk, 0, static_cast<size_t>(n));
            last_progress = Clock::now();
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    viewer.Close();
    std::string got = server.Receive(sent.size() + 1, 20s);
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
    EXPECT_TRUE(server.Sees_End(5s));
}

TEST_F(Repeater, MismatchedIdsDoNotPair) {
    Start();
    Socket server = Server("ID:1234");
    Socket stranger = Viewer("ID:5678");
    Socket prefix = Viewer("ID:12345");
    Socket viewer = Viewer("ID:1234");
    // Had a wrong viewer been paired, the version would have gone to it and
    // this one would wait in vain.
    EXPECT_EQ(viewer.Receive(12, 5s), Version);
    EXPECT_FALSE(stranger.Has_Data());
    EXPECT_FALSE(prefix.Has_Data());
    ASSERT_TRUE(viewer.Send("hello"));
    EXPECT_EQ(server.Receive(5, 5s), "hello");
}

TEST_F(Repeater, ProbesAndJunkDoNoHarm) {
    Start();
    for (int i = 0; i < 5; ++i) Socket::Connect(viewer_port_);  // connect, close at once
    {
        Socket partial = Socket::Connect(viewer_port_);
        partial.Send("ID:12");  // closes before the block is whole
    }
    // Whole blocks that hold no valid ID are refused.
    for (const std::string& junk : {std::string(250, 'x'), Id_Block("ID:"), Id_Block("1234"),
                                    Id_Block("ID:12 34"), std::string(250, '\0')}) {
        Socket bad = Socket::Connect(viewer_port_);
        ASSERT_TRUE(bad.Send(junk));
        EXPECT_TRUE(bad.Sees_End(5s));
    }
    Socket junk_server = Socket::Connect(server_port_);
    ASSERT_TRUE(junk_server.Send(std::string(300, '\xff')));
    EXPECT_TRUE(junk_server.Sees_End(5s));

    Socket server = Server("ID:4242");
    Socket viewer = Viewer("ID:4242");
    EXPECT_EQ(viewer.Receive(12, 5s), Version);
    EXPECT_TRUE(Still_Running());
}

TEST_F(Repeater, NewerConnectionWithSameIdReplacesWaitingOne) {
    Start();
    Socket stale = Server("ID:7777");
    Socket fresh = Socket::Connect(server_port_);
    ASSERT_TRUE(fresh.Send(Id_Block("ID:7777") + "RFB 003.003\n"));
    EXPECT_TRUE(stale.Sees_End(5s));
    Socket viewer = Viewer("ID:7777");
    EXPECT_EQ(viewer.Receive(12, 5s), "RFB 003.003\n");
}

TEST_F(Repeater, UnpairedConnectionsAreDroppedAfterTheTimeout) {
    Start({"--pair-timeout", "1"});
    Socket viewer = Viewer("ID:1111");
    Socket silent = Socket::Connect(server_port_);  // never sends its ID
    EXPECT_TRUE(viewer.Sees_End(10s));
    EXPECT_TRUE(silent.Sees_End(10s));
    EXPECT_TRUE(Still_Running());
}

TEST_F(Repeater, EndsCleanlyOnSigterm) {
    Start();
    Socket server = Server("ID:1");
    Socket viewer = Viewer("ID:1");
    ASSERT_EQ(viewer.Receive(12, 5s), Version);
    kill(child_.Pid, SIGTERM);
    EXPECT_EQ(Wait_Exit(child_.Pid, 5s), std::optional<int>(0));
    EXPECT_TRUE(viewer.Sees_End(5s));
}

TEST(RepeaterOptions, BadOptionsAreRefused) {
    struct Case {
        std::vector<std::string> Args;
        int Exit_Status;
    };
    const std::vector<Case> cases = {
        {{"--viewer-port", "abc"}, 2},
        {{"--server-port", "70000"}, 2},
        {{"--viewer-port", "-1"}, 2},
        {{"--viewer-port"}, 2},
        {{"--pair-timeout", "0"}, 2},
        {{"--bogus"}, 2},
        {{"--listen", "not-an-ip", "--viewer-port", "0"}, 1},
    };
    for (const Case& c : cases) {
        Child child = Spawn(Tool("nrvnc-repeater"), c.Args);
        ASSERT_GT(child.Pid, 0);
        auto status = Wait_Exit(child.Pid, 5s);
        if (!status) Reap(child.Pid);
        EXPECT_EQ(status, std::optional<int>(c.Exit_Status)) << c.Args[0];
    }
}

TEST(RepeaterOptions, PortInUseIsReported) {
    Socket taken = Socket::Listen();
    ASSERT_GE(taken.Fd(), 0);
    Child child = Spawn(Tool("nrvnc-repeater"),
                        {"--viewer-port", std::to_string(taken.Port()), "--server-port", "0"}, {},
                        Capture_Stderr);
    auto status = Wait_Exit(child.Pid, 5s);
    if (!status) Reap(child.Pid);
    EXPECT_EQ(status, std::optional<int>(1));
    EXPECT_NE(Read_All(child.Stderr_Fd, 2s).find("cannot listen"), std::string::npos);
    close(child.Stderr_Fd);
}

}  // namespace
}  // namespace tools_test
