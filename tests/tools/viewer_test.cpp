// The viewer stand-in, run as a real process: without a display, and under
// a private Xvfb against loopback servers and the repeater stand-in.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>

#include "tool_harness.h"

namespace tools_test {
namespace {

const std::string Version = "RFB 003.008\n";
const std::string Error_Box = "VncViewer Message Box";
const std::vector<std::string> Fixed_Options = {"-viewonly",    "-notoolbar", "-autoacceptincoming",
                                                "-autoscaling", "-password",  "qx4817"};

std::vector<std::string> Command(const std::vector<std::string>& target) {
    std::vector<std::string> args = Fixed_Options;
    args.insert(args.end(), target.begin(), target.end());
    args.insert(args.end(), {"-dsmplugin", "SecureVNCPlugin.dsm"});
    return args;
}

std::string Joined(const std::vector<std::string>& args) {
    std::string s;
    for (const auto& a : args) s += (s.empty() ? "" : " ") + a;
    return s;
}

std::vector<std::string> Lines_Of(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A VNC server on loopback that greets the first client as told and keeps
// what the client sends back (the viewer's own version).
class Fake_Server {
  public:
    enum class Greeting { Version, Junk, Close_At_Once, Silent };

    Fake_Server(Greeting greeting, Socket listener = Socket::Listen())
        : listener_(std::move(listener)), port_(listener_.Port()) {
        thread_ = std::thread([this, greeting] { Run(greeting); });
    }
    ~Fake_Server() {
        stop_ = true;
        thread_.join();
    }
    int Port() const { return port_; }
    std::string Received() {
        std::lock_guard<std::mutex> g(lock_);
        return received_;
    }

  private:
    void Run(Greeting greeting) {
        Socket client;
        while (!stop_ && client.Fd() < 0) client = listener_.Accept(50ms);
        if (client.Fd() < 0) return;
        if (greeting == Greeting::Close_At_Once) return;
        if (greeting == Greeting::Version) client.Send(Version);
        if (greeting == Greeting::Junk) client.Send("HELLO THERE\n");
        while (!stop_) {
            std::string got = client.Receive(12, 50ms);
            std::lock_guard<std::mutex> g(lock_);
            received_ += got;
        }
    }

    Socket listener_;
    int port_;
    std::atomic<bool> stop_ = false;
    std::mutex lock_;
    std::string received_;
    std::thread thread_;
};

int Closed_Port() {
    Socket s = Socket::Listen();
    return s.Port();  // closed again when s goes
}

TEST(ViewerWithoutDisplay, RecordsArgumentsThenExitsWithStatus1) {
    const auto dir = Make_Temp_Dir();
    ASSERT_FALSE(dir.empty());
    const auto record = dir / "record.txt";
    const std::vector<std::vector<std::string>> runs = {
        Command({"myhost"}), Command({"-proxy", "127.0.0.1:5901", "ID:1234"})};
    for (const auto& args : runs) {
        Child child = Spawn(Tool("vncviewer"), args,
                            {{"DISPLAY", std::nullopt}, {"NRVNC_VIEWER_RECORD", record.string()}},
                            Capture_Stderr);
        ASSERT_GT(child.Pid, 0);
        auto status = Wait_Exit(child.Pid, 10s);
        if (!status) Reap(child.Pid);
        EXPECT_EQ(status, std::optional<int>(1));
        EXPECT_NE(Read_All(child.Stderr_Fd, 2s).find("cannot open display"), std::string::npos);
        close(child.Stderr_Fd);
    }
    // Appended, one line per run.
    EXPECT_EQ(Lines_Of(record), (std::vector<std::string>{Joined(runs[0]), Joined(runs[1])}));

    // Without NRVNC_VIEWER_RECORD the record goes to the working folder.
    Child child = Spawn(Tool("vncviewer"), {"-viewonly", "otherhost"},
                        {{"DISPLAY", std::nullopt}, {"NRVNC_VIEWER_RECORD", std::nullopt}},
                        Capture_None, dir.string());
    auto status = Wait_Exit(child.Pid, 10s);
    if (!status) Reap(child.Pid);
    EXPECT_EQ(status, std::optional<int>(1));
    EXPECT_EQ(Lines_Of(dir / "vncviewer.args"), std::vector<std::string>{"-viewonly otherhost"});
    std::filesystem::remove_all(dir);
}

class Viewer_Under_X : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!x_.Running()) GTEST_SKIP() << "Xvfb is not available";
        dir_ = Make_Temp_Dir();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override {
        for (pid_t pid : started_) Reap(pid);
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    pid_t Run_Viewer(const std::vector<std::string>& args, Env_Changes env = {}) {
        env.emplace("DISPLAY", x_.Name());
        env.emplace("NRVNC_VIEWER_RECORD", (dir_ / "record.txt").string());
        // Long enough that sampling the window list cannot miss the status window.
        env.emplace("NRVNC_VIEWER_HOLD_STATUS_MS", "800");
        Child child = Spawn(Tool("vncviewer"), args, env);
        EXPECT_GT(child.Pid, 0);
        started_.push_back(child.Pid);
        return child.Pid;
    }

    // Samples the window titles until done() holds for the latest sample,
    // or the time is up; returns every sample taken.
    std::vector<std::set<std::string>> Watch(
        const std::function<bool(const std::set<std::string>&)>& done,
        std::chrono::milliseconds timeout = 15s) {
        std::vector<std::set<std::string>> samples;
        Wait_Until(
            [&] {
                samples.push_back(x_.Titles());
                return done(samples.back());
            },
            timeout);
        return samples;
    }

    static bool Ever(const std::vector<std::set<std::string>>& samples, const std::string& title) {
        for (const auto& s : samples)
            if (s.count(title)) return true;
        return false;
    }

    // The viewer's whole run to the main window: the status window first,
    // then the main window alone, and never the error box.
    void Expect_Connects(const std::vector<std::set<std::string>>& samples,
                         const std::string& status_title, const std::string& main_title) {
        ASSERT_FALSE(samples.empty());
        EXPECT_EQ(samples.back(), std::set<std::string>{main_title});
        EXPECT_FALSE(Ever(samples, Error_Box));
        size_t first_status = samples.size();
        for (size_t i = 0; i < samples.size() && first_status == samples.size(); ++i)
            if (samples[i].count(status_title)) first_status = i;
        EXPECT_LT(first_status, samples.size()) << "status window never seen: " << status_title;
        for (size_t i = 0; i < first_status && i < samples.size(); ++i)
            EXPECT_EQ(samples[i].count(main_title), 0u) << "main window before the status window";
    }

    Xvfb x_;
    std::filesystem::path dir_;
    std::vector<pid_t> started_;
};

TEST_F(Viewer_Under_X, DirectConnectionShowsStatusThenMainWindow) {
    // "host::port" names the port, "host:display" means port 5900 + display.
    Fake_Server by_port(Fake_Server::Greeting::Version);
    Socket display_listener;
    int display = 0;
    for (display = 10; display < 100 && display_listener.Fd() < 0; ++display)
        display_listener = Socket::Listen(5900 + display);
    --display;
    ASSERT_GE(display_listener.Fd(), 0) << "no free port in 5910..5999";
    Fake_Server by_display(Fake_Server::Greeting::Version, std::move(display_listener));

    struct Case {
        std::string Target;
        Fake_Server& Server;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1::" + std::to_string(by_port.Port()), by_port},
        {"localhost:" + std::to_string(display), by_display},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Target);
        pid_t pid = Run_Viewer(Command({c.Target}));
        const std::string main_title = c.Target + " - NRVNC test viewer";
        auto samples = Watch([&](const auto& t) { return t.count(main_title) > 0; });
        Expect_Connects(samples, "VNC Viewer Status for " + c.Target, main_title);
        EXPECT_TRUE(Wait_Until([&] { return c.Server.Received() == Version; }, 5s));
        // It keeps running with its main window until ended.
        EXPECT_FALSE(Wait_Exit(pid, 0ms).has_value());
        kill(pid, SIGTERM);
        EXPECT_EQ(Wait_Exit(pid, 5s), std::optional<int>(0));
        EXPECT_TRUE(Wait_Until([&] { return x_.Titles().empty(); }, 5s));
    }
    EXPECT_EQ(Lines_Of(dir_ / "record.txt"),
              (std::vector<std::string>{Joined(Command({cases[0].Target})),
                                        Joined(Command({cases[1].Target}))}));
}

TEST_F(Viewer_Under_X, StatusAndMainWindowsCarryUtf8Names) {
    Fake_Server server(Fake_Server::Greeting::Version);
    const std::string target = "127.0.0.1::" + std::to_string(server.Port());
    Run_Viewer(Command({target}), {{"NRVNC_VIEWER_HOLD_STATUS_MS", "60000"}});
    ASSERT_TRUE(Wait_Until([&] { return !x_.Titles().empty(); }, 10s));
    EXPECT_EQ(x_.Titles(true), std::set<std::string>{"VNC Viewer Status for " + target});
}

TEST_F(Viewer_Under_X, ProxyConnectionGoesThroughTheRepeater) {
    Child repeater = Spawn(Tool("nrvnc-repeater"), {"--viewer-port", "0", "--server-port", "0"}, {},
                           Capture_Stdout);
    started_.push_back(repeater.Pid);
    int viewer_port = 0, server_port = 0;
    std::string line = Read_Line(repeater.Stdout_Fd, 5s);
    close(repeater.Stdout_Fd);
    ASSERT_EQ(sscanf(line.c_str(), "listening viewer=%d server=%d", &viewer_port, &server_port), 2);

    // The remote side registers with the repeater first, as a VNC server does.
    Socket server = Socket::Connect(server_port);
    ASSERT_TRUE(server.Send(Id_Block("ID:1234") + Version));

    const auto args = Command({"-proxy", "127.0.0.1:" + std::to_string(viewer_port), "ID:1234"});
    Run_Viewer(args);
    const std::string main_title = "ID:1234 - NRVNC test viewer";
    auto samples = Watch([&](const auto& t) { return t.count(main_title) > 0; });
    Expect_Connects(samples, "VNC Viewer Status for ID", main_title);
    // The viewer's answer reaches the server only if the repeater paired them.
    EXPECT_EQ(server.Receive(12, 5s), Version);
    EXPECT_EQ(Lines_Of(dir_ / "record.txt"), std::vector<std::string>{Joined(args)});
}

TEST_F(Viewer_Under_X, FailuresShowTheMessageBoxAndKeepRunning) {
    Fake_Server junk(Fake_Server::Greeting::Junk);
    Fake_Server closing(Fake_Server::Greeting::Close_At_Once);
    Fake_Server silent(Fake_Server::Greeting::Silent);
    const std::string closed = std::to_string(Closed_Port());
    struct Case {
        std::vector<std::string> Args;
        std::string Status_Title;  // empty: no status window for a line it cannot use
    };
    const std::vector<Case> cases = {
        {Command({"127.0.0.1::" + closed}), "VNC Viewer Status for 127.0.0.1::" + closed},
        {Command({"127.0.0.1::" + std::to_string(junk.Port())}),
         "VNC Viewer Status for 127.0.0.1::" + std::to_string(junk.Port())},
        {Command({"127.0.0.1::" + std::to_string(closing.Port())}),
         "VNC Viewer Status for 127.0.0.1::" + std::to_string(closing.Port())},
        {Command({"127.0.0.1::" + std::to_string(silent.Port())}),
         "VNC Viewer Status for 127.0.0.1::" + std::to_string(silent.Port())},
        {Command({"-proxy", "127.0.0.1:" + closed, "ID:1234"}), "VNC Viewer Status for ID"},
        {Command({"127.0.0.1:abc"}), "VNC Viewer Status for 127.0.0.1:abc"},
        {Command({}), ""},
        {Command({"my", "host"}), ""},
        {{"-viewonly", "-bogus", "myhost"}, ""},
        {{"myhost", "-password"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Joined(c.Args));
        pid_t pid = Run_Viewer(c.Args, {{"NRVNC_VIEWER_TIMEOUT_MS", "1500"}});
        auto samples = Watch([](const auto& t) { return t.count(Error_Box) > 0; });
        ASSERT_TRUE(samples.back().count(Error_Box));
        if (c.Status_Title.empty()) {
            EXPECT_EQ(samples.back(), std::set<std::string>{Error_Box});
        } else {
            // The status window stays under the box, so a watcher cannot take
            // its going for a success.
            EXPECT_EQ(samples.back(), (std::set<std::string>{Error_Box, c.Status_Title}));
        }
        EXPECT_FALSE(Wait_Exit(pid, 0ms).has_value());
        kill(pid, SIGTERM);
        EXPECT_EQ(Wait_Exit(pid, 5s), std::optional<int>(0));
        EXPECT_TRUE(Wait_Until([&] { return x_.Titles().empty(); }, 5s));
    }
}

TEST_F(Viewer_Under_X, KnobsExitOnFailureAndSkipTheStatusWindow) {
    // Exit instead of the box.
    pid_t pid =
        Run_Viewer(Command({"127.0.0.1::" + std::to_string(Closed_Port())}),
                   {{"NRVNC_VIEWER_EXIT_ON_FAIL", "1"}, {"NRVNC_VIEWER_TIMEOUT_MS", "1500"}});
    std::optional<int> status;
    auto samples = Watch([&](const auto&) { return (status = Wait_Exit(pid, 0ms)).has_value(); });
    EXPECT_EQ(status, std::optional<int>(2));
    EXPECT_FALSE(Ever(samples, Error_Box));

    // No status window, straight to the main window.
    Fake_Server server(Fake_Server::Greeting::Version);
    const std::string target = "127.0.0.1::" + std::to_string(server.Port());
    Run_Viewer(Command({target}), {{"NRVNC_VIEWER_NO_STATUS", "1"}});
    const std::string main_title = target + " - NRVNC test viewer";
    samples = Watch([&](const auto& t) { return t.count(main_title) > 0; });
    EXPECT_EQ(samples.back(), std::set<std::string>{main_title});
    EXPECT_FALSE(Ever(samples, "VNC Viewer Status for " + target));
}

TEST_F(Viewer_Under_X, ClosingTheMessageBoxEndsTheViewer) {
    pid_t pid = Run_Viewer(Command({}));
    ASSERT_TRUE(Wait_Until([&] { return x_.Titles().count(Error_Box) > 0; }, 10s));
    // Press a key in the box, as an operator acknowledging it would.
    Display* d = XOpenDisplay(x_.Name().c_str());
    ASSERT_NE(d, nullptr);
    Window root_ret, parent, *kids = nullptr;
    unsigned n = 0;
    XQueryTree(d, DefaultRootWindow(d), &root_ret, &parent, &kids, &n);
    ASSERT_EQ(n, 1u);
    XEvent ev{};
    ev.xkey.type = KeyPress;
    ev.xkey.display = d;
    ev.xkey.window = kids[0];
    ev.xkey.root = DefaultRootWindow(d);
    ev.xkey.keycode = 36;
    XSendEvent(d, kids[0], False, KeyPressMask, &ev);
    XFlush(d);
    XFree(kids);
    XCloseDisplay(d);
    EXPECT_EQ(Wait_Exit(pid, 5s), std::optional<int>(0));
}

}  // namespace
}  // namespace tools_test
