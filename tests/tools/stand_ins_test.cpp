// The repeater and viewer stand-ins, run as real processes and driven over
// loopback; the viewer's windows are looked at under a private Xvfb.
// gtest before Xlib.h, which makes None, Bool and Status macros.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xlib.h>
// clang-format on
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "tests/support/real_peers.h"
#include "tests/tools/child_process.h"

namespace child_test {
namespace {

using namespace nrvnc::test;

const std::string Version = "RFB 003.008\n";
const std::string Box = "VncViewer Message Box";

// The 250-byte block that opens a connection to the repeater.
std::string Id(const std::string& id) {
    std::string block = id;
    block.resize(250, '\0');
    return block;
}

// A loopback connection that sends `first` at once; closed when it goes.
struct Peer {
    explicit Peer(int port, const std::string& first = "") {
        sockaddr_in sa = Loopback_Listener::Loopback(static_cast<uint16_t>(port));
        EXPECT_EQ(connect(Fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        Send(first);
    }
    ~Peer() { close(Fd); }
    void Send(const std::string& data) const {
        for (size_t done = 0, n = 1; done < data.size() && n > 0; done += n)
            n = std::max<ssize_t>(0, send(Fd, &data[done], data.size() - done, MSG_NOSIGNAL));
    }
    // True when the other end closes this connection within the time.
    bool Sees_End() const {
        Read(Fd, 5s);
        char c;
        ssize_t n = recv(Fd, &c, 1, MSG_DONTWAIT);
        return n == 0 || (n < 0 && errno != EAGAIN);
    }
    int Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
};

// The repeater stand-in on free ports, which it names in its first line.
struct Repeater_Process {
    Repeater_Process() {
        std::string line = Read(Process.Out_Fd, 5s, SIZE_MAX, true);
        EXPECT_EQ(sscanf(line.c_str(), "listening viewer=%d server=%d", &Viewer, &Server), 2);
    }
    ~Repeater_Process() {
        Reap(Process.Pid);
        close(Process.Out_Fd);
    }
    Child Process =
        Spawn({NRVNC_TOOLS_DIR "/nrvnc-repeater", "--viewer-port", "0", "--server-port", "0"}, 1);
    int Viewer = 0, Server = 0;
};

class Repeater : public ::testing::Test {
  protected:
    // Whatever a test sent, the repeater is still there for the next pair.
    void TearDown() override { EXPECT_EQ(waitpid(r_.Process.Pid, nullptr, WNOHANG), 0); }
    Repeater_Process r_;
};

TEST_F(Repeater, PairsByIdAndRelaysBothWays) {
    for (bool server_first : {true, false}) {
        SCOPED_TRACE(server_first ? "server first" : "viewer first");
        const std::string id = server_first ? "ID:1234" : "ID:98765";
        // A server in repeater mode sends its version right after its ID;
        // what either side sends before the other comes is held for it.
        std::optional<Peer> server, viewer;
        if (server_first) server.emplace(r_.Server, Id(id) + Version);
        Peer other(r_.Viewer, Id("ID:5678")), longer(r_.Viewer, Id(id + "0"));
        viewer.emplace(r_.Viewer, Id(id) + "early");
        if (!server_first) server.emplace(r_.Server, Id(id) + Version);
        EXPECT_EQ(Read(server->Fd, 5s, 5), "early");
        EXPECT_EQ(Read(viewer->Fd, 5s, 12), Version);
        // Had a viewer with another ID been paired, the version went to it.
        EXPECT_EQ(Read(other.Fd, 50ms) + Read(longer.Fd, 50ms), "");

        // More than the repeater buffers per direction, both ways at once.
        std::string up(300000, '\0'), down(300000, '\0'), got_up;
        for (size_t i = 0; i < up.size(); ++i) {
            up[i] = static_cast<char>(i * 7);
            down[i] = static_cast<char>(i * 13 + 1);
        }
        std::thread send_up([&] { viewer->Send(up); }), send_down([&] { server->Send(down); });
        std::thread read_up([&] { got_up = Read(server->Fd, 10s, up.size()); });
        std::string got_down = Read(viewer->Fd, 10s, down.size());
        for (std::thread* t : {&send_up, &send_down, &read_up}) t->join();
        EXPECT_TRUE(got_up == up);
        EXPECT_TRUE(got_down == down);

        // One side leaves: the other is closed too.
        viewer.reset();
        EXPECT_TRUE(server->Sees_End());
    }
}

// The command line the launcher composes around a target.
std::vector<std::string> Command(const std::vector<std::string>& target) {
    std::vector<std::string> args = {NRVNC_TOOLS_DIR "/vncviewer",
                                     "-viewonly",
                                     "-notoolbar",
                                     "-autoacceptincoming",
                                     "-autoscaling",
                                     "-password",
                                     "qx4817"};
    args.insert(args.end(), target.begin(), target.end());
    args.insert(args.end(), {"-dsmplugin", "SecureVNCPlugin.dsm"});
    return args;
}

class Viewer_Under_X : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!x_.Running()) GTEST_SKIP() << "Xvfb is not available";
        ASSERT_NE(d_ = XOpenDisplay(x_.Name().c_str()), nullptr);
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows come and go
        env_.Set("DISPLAY", x_.Name().c_str());
        env_.Set("NRVNC_VIEWER_HOLD_STATUS_MS", "800");  // long enough to be seen
    }
    void TearDown() override {
        for (pid_t pid : started_) Reap(pid);
        if (d_) XCloseDisplay(d_);
    }
    void Run(const std::vector<std::string>& command) { started_.push_back(Spawn(command).Pid); }
    // The top-level windows' titles (no window manager: the root's children).
    std::set<std::string> Titles() {
        std::set<std::string> titles;
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &kids, &n);
        for (unsigned i = 0; i < n; ++i) {
            char* name = nullptr;
            if (XFetchName(d_, kids[i], &name) && name) titles.insert(name);
            if (name) XFree(name);
        }
        if (kids) XFree(kids);
        return titles;
    }
    // Samples the titles until `last` shows; whether `first` showed in an
    // earlier sample, and the titles at the end.
    std::pair<bool, std::set<std::string>> Watch(const std::string& first,
                                                 const std::string& last) {
        bool seen = false;
        std::set<std::string> now;
        Eventually([&] {
            now = Titles();
            seen = seen || (!now.count(last) && now.count(first));
            return now.count(last) > 0;
        });
        return {seen, now};
    }

    Xvfb x_{96, "800x600x24"};
    Display* d_ = nullptr;
    Environment_Guard env_;
    std::vector<pid_t> started_;
};

TEST_F(Viewer_Under_X, FailuresShowTheMessageBox) {
    Loopback_Listener refusing;  // bound, not listening
    const std::string port = std::to_string(refusing.Port);
    const struct {
        std::vector<std::string> Args;
        std::string Status_Title;  // none for a command line it cannot use
    } cases[] = {
        {Command({"127.0.0.1::" + port}), "VNC Viewer Status for 127.0.0.1::" + port},
        {Command({"-proxy", "127.0.0.1:" + port, "ID:1234"}), "VNC Viewer Status for ID"},
        {Command({}), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.size());
        Run(c.Args);
        auto [status_seen, titles] = Watch(c.Status_Title, Box);
        EXPECT_EQ(status_seen, !c.Status_Title.empty());
        // The status window stays under the box: its going never looks like success.
        std::set<std::string> expected = {Box, c.Status_Title};
        expected.erase("");
        EXPECT_EQ(titles, expected);
        Reap(started_.back());
        EXPECT_TRUE(Eventually([&] { return Titles().empty(); }));
    }
}

}  // namespace
}  // namespace child_test
