// Test stand-in for the external VNC viewer (installed as `vncviewer`).
//
// It takes the command line the launcher composes, appends its arguments to
// a record file, connects for real (directly, or through a repeater with the
// 250-byte ID block), reads the server's protocol version and shows the
// windows the launcher watches: "VNC Viewer Status for ..." while
// connecting, a main window once connected, "VncViewer Message Box" on a
// failure. It then runs until it is ended.
//
// Environment knobs for tests:
//   NRVNC_VIEWER_RECORD          record file (default ./vncviewer.args)
//   NRVNC_VIEWER_STATUS_DELAY_MS delay before the status window (200)
//   NRVNC_VIEWER_HOLD_STATUS_MS  minimum time the status window stays (500)
//   NRVNC_VIEWER_TIMEOUT_MS      whole connection attempt (8000)
//   NRVNC_VIEWER_EXIT_ON_FAIL    exit with status 2 instead of the error box
//   NRVNC_VIEWER_NO_STATUS       never show a status window
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

int Wake_Pipe[2] = {-1, -1};

void On_Signal(int) {
    const char c = 'T';
    [[maybe_unused]] auto n = write(Wake_Pipe[1], &c, 1);
}

long Env_Ms(const char* name, long fallback) {
    const char* v = getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    long n = strtol(v, &end, 10);
    return (*end || n < 0 || n > 3600000) ? fallback : n;
}

bool Env_Flag(const char* name) {
    const char* v = getenv(name);
    return v && *v && strcmp(v, "0") != 0;
}

void Record_Arguments(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
    line += '\n';
    const char* path = getenv("NRVNC_VIEWER_RECORD");
    if (!path || !*path) path = "vncviewer.args";
    // One write with O_APPEND keeps lines whole when several viewers run.
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        fprintf(stderr, "vncviewer: cannot record arguments in %s: %s\n", path, strerror(errno));
    if (fd >= 0) close(fd);
}

struct Command_Line {
    std::string Target;  // "host", "host:display", "host::port" or "ID:nnnn"
    std::string Proxy;   // "host:port" of the repeater, empty for a direct connection
    std::string Error;   // why the line cannot be used
};

Command_Line Parse_Command_Line(int argc, char** argv) {
    static const std::vector<std::string> flags = {"-viewonly", "-notoolbar", "-autoacceptincoming",
                                                   "-autoscaling", "-fullscreen"};
    static const std::vector<std::string> with_value = {"-password", "-proxy", "-dsmplugin",
                                                        "-encoding"};
    Command_Line cl;
    for (int i = 1; i < argc && cl.Error.empty(); ++i) {
        std::string a = argv[i];
        if (std::find(flags.begin(), flags.end(), a) != flags.end()) continue;
        if (std::find(with_value.begin(), with_value.end(), a) != with_value.end()) {
            if (i + 1 >= argc)
                cl.Error = "Option " + a + " needs a value.";
            else if (a == "-proxy")
                cl.Proxy = argv[++i];
            else
                ++i;
        } else if (!a.empty() && a[0] == '-') {
            cl.Error = "Unknown option " + a + ".";
        } else if (!cl.Target.empty()) {
            cl.Error = "More than one server given: " + cl.Target + " and " + a + ".";
        } else {
            cl.Target = a;
        }
    }
    if (cl.Error.empty() && cl.Target.empty()) cl.Error = "No server given.";
    return cl;
}

bool Parse_Port(const std::string& text, long offset, int& port) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    port = static_cast<int>(std::stol(text) + offset);
    return port > 0 && port <= 65535;
}

// "host", "host:display" (port 5900 + display) or "host::port"; a repeater
// address is "host:port".
bool Split_Address(const std::string& text, bool is_proxy, std::string& host, int& port) {
    size_t colon = text.find(':');
    host = text.substr(0, colon);
    if (host.empty()) return false;
    if (colon == std::string::npos) {
        port = is_proxy ? 5901 : 5900;
        return true;
    }
    if (!is_proxy && text.compare(colon, 2, "::") == 0)
        return Parse_Port(text.substr(colon + 2), 0, port);
    return Parse_Port(text.substr(colon + 1), is_proxy ? 0 : 5900, port);
}

// Shared between the window loop and the connecting thread, which may be
// left behind when the attempt runs out of time (a name lookup cannot be
// cut short).
struct Attempt {
    std::mutex Lock;
    int Outcome = 0;  // 0 running, 1 connected, -1 failed; settled once
    std::string Failure;

    void Settle(const std::string& failure) {
        std::lock_guard<std::mutex> g(Lock);
        if (Outcome != 0) return;
        Failure = failure;
        Outcome = failure.empty() ? 1 : -1;
    }
    int Get_Outcome() {
        std::lock_guard<std::mutex> g(Lock);
        return Outcome;
    }
};

std::string Failure_Text(Attempt& a) {
    std::lock_guard<std::mutex> g(a.Lock);
    return a.Failure;
}

bool Wait_For(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        int n = poll(&p, 1, static_cast<int>(left));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return false;
    }
}

std::string Connect_And_Greet(const Command_Line& cl, Clock::time_point deadline, int& out_fd) {
    std::string host;
    int port = 0;
    const std::string& address = cl.Proxy.empty() ? cl.Target : cl.Proxy;
    if (!Split_Address(address, !cl.Proxy.empty(), host, port))
        return "Invalid server address " + address + ".";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) return "Failed to resolve " + host + ": " + gai_strerror(rc);
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);

    int fd = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::string("Failed to create a socket: ") + strerror(errno);
    out_fd = fd;
    if (connect(fd, found->ai_addr, found->ai_addrlen) != 0 && errno != EINPROGRESS)
        return "Failed to connect to server: " + std::string(strerror(errno));
    if (!Wait_For(fd, POLLOUT, deadline)) return "Failed to connect to server: timed out.";
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) return "Failed to connect to server: " + std::string(strerror(err));

    if (!cl.Proxy.empty()) {
        std::string block = cl.Target;
        block.resize(250, '\0');
        if (send(fd, block.data(), block.size(), MSG_NOSIGNAL) != 250)
            return "Failed to send the ID to the repeater.";
    }
    std::string version;
    char buf[12];
    while (version.size() < 12) {
        if (!Wait_For(fd, POLLIN, deadline)) return "The server did not answer in time.";
        ssize_t n = recv(fd, buf, 12 - version.size(), 0);
        if (n == 0) return "Connection closed by the server.";
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return "Connection failed: " + std::string(strerror(errno));
        if (n > 0) version.append(buf, static_cast<size_t>(n));
    }
    if (version.compare(0, 4, "RFB ") != 0 || version[11] != '\n')
        return "The server is not a VNC server.";
    const char ours[] = "RFB 003.008\n";
    send(fd, ours, 12, MSG_NOSIGNAL);
    return "";
}

struct Viewer_Display {
    Display* Dpy;
    Atom Delete_Window, Net_Wm_Name, Utf8;

    Window Open_Window(const std::string& title, int w, int h) {
        int s = DefaultScreen(Dpy);
        Window win = XCreateSimpleWindow(Dpy, RootWindow(Dpy, s), 40, 40, w, h, 1,
                                         BlackPixel(Dpy, s), WhitePixel(Dpy, s));
        XStoreName(Dpy, win, title.c_str());
        XChangeProperty(Dpy, win, Net_Wm_Name, Utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        XClassHint hint{const_cast<char*>("vncviewer"), const_cast<char*>("Vncviewer")};
        XSetClassHint(Dpy, win, &hint);
        XSetWMProtocols(Dpy, win, &Delete_Window, 1);
        XSelectInput(Dpy, win, ExposureMask | KeyPressMask | ButtonPressMask);
        XMapRaised(Dpy, win);
        XSync(Dpy, False);
        return win;
    }
};

}  // namespace

int main(int argc, char** argv) {
    Record_Arguments(argc, argv);
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        const char* d = getenv("DISPLAY");
        fprintf(stderr, "vncviewer: cannot open display \"%s\"\n", d ? d : "");
        return 1;
    }
    if (pipe2(Wake_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = On_Signal;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);

    Viewer_Display scr{dpy, XInternAtom(dpy, "WM_DELETE_WINDOW", False),
                       XInternAtom(dpy, "_NET_WM_NAME", False),
                       XInternAtom(dpy, "UTF8_STRING", False)};
    const Command_Line cl = Parse_Command_Line(argc, argv);
    const auto start = Clock::now();
    const auto status_at = start + Ms(Env_Ms("NRVNC_VIEWER_STATUS_DELAY_MS", 200));
    const auto hold = Ms(Env_Ms("NRVNC_VIEWER_HOLD_STATUS_MS", 500));
    const auto deadline = start + Ms(Env_Ms("NRVNC_VIEWER_TIMEOUT_MS", 8000));
    const bool show_status = cl.Error.empty() && !Env_Flag("NRVNC_VIEWER_NO_STATUS");
    const std::string status_title =
        "VNC Viewer Status for " + (cl.Proxy.empty() ? cl.Target : std::string("ID"));

    auto attempt = std::make_shared<Attempt>();
    if (!cl.Error.empty()) {
        attempt->Settle(cl.Error);
    } else {
        const int wake = Wake_Pipe[1];
        std::thread([attempt, cl, deadline, wake] {
            int fd = -1;
            std::string failure = Connect_And_Greet(cl, deadline, fd);
            // A connected socket stays open for the life of the process.
            if (!failure.empty() && fd >= 0) close(fd);
            attempt->Settle(failure);
            const char c = 'C';
            [[maybe_unused]] auto n = write(wake, &c, 1);
        }).detach();
    }

    Window status = None, main_win = None, error_box = None;
    Clock::time_point status_shown{};
    std::string shown_text;  // the text drawn in the window that is up
    int exit_code = -1;
    while (exit_code < 0) {
        auto now = Clock::now();
        if (show_status && status == None && main_win == None && error_box == None &&
            now >= status_at) {
            status = scr.Open_Window(status_title, 380, 90);
            status_shown = now;
        }
        if (now >= deadline) attempt->Settle("Failed to connect to server: timed out.");
        const int outcome = attempt->Get_Outcome();
        // The status window stays up for its minimum time before the outcome shows.
        bool ready = outcome != 0 && main_win == None && error_box == None &&
                     (!show_status || (status != None && now >= status_shown + hold));
        if (ready && outcome > 0) {
            shown_text = "Connected to " + cl.Target;
            // The status window goes first: the two are never up together.
            if (status != None) XDestroyWindow(dpy, status);
            status = None;
            main_win = scr.Open_Window(cl.Target + " - NRVNC test viewer", 640, 400);
        } else if (ready) {
            if (Env_Flag("NRVNC_VIEWER_EXIT_ON_FAIL")) {
                fprintf(stderr, "vncviewer: %s\n", Failure_Text(*attempt).c_str());
                exit_code = 2;
                break;
            }
            // The status window stays under the box, so a watcher never sees it
            // gone before the failure shows.
            shown_text = Failure_Text(*attempt);
            error_box = scr.Open_Window("VncViewer Message Box", 380, 100);
        }

        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type == Expose && ev.xexpose.count == 0) {
                const std::string& text = ev.xexpose.window == status
                                              ? "Connecting to " + cl.Target + " ..."
                                              : shown_text;
                XDrawString(dpy, ev.xexpose.window, DefaultGC(dpy, DefaultScreen(dpy)), 12, 30,
                            text.c_str(), static_cast<int>(text.size()));
            } else if (ev.type == ClientMessage &&
                       static_cast<Atom>(ev.xclient.data.l[0]) == scr.Delete_Window) {
                exit_code = 0;
            } else if ((ev.type == KeyPress || ev.type == ButtonPress) &&
                       ev.xany.window == error_box) {
                exit_code = 0;  // the box's OK
            }
        }
        XFlush(dpy);
        if (exit_code >= 0) break;

        // Sleep until the X server, the signal or the connecting thread
        // wakes us, or the next step is due.
        auto next = Clock::now() + Ms(1000);
        if (show_status && status == None && main_win == None && error_box == None)
            next = std::min(next, status_at);
        if (attempt->Get_Outcome() == 0) next = std::min(next, deadline);
        if (status != None) next = std::min(next, status_shown + hold);
        auto wait = std::chrono::duration_cast<Ms>(next - Clock::now()).count();
        pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {Wake_Pipe[0], POLLIN, 0}};
        poll(fds, 2, static_cast<int>(std::clamp<long>(wait, 0, 1000)));
        char c;
        while (read(Wake_Pipe[0], &c, 1) == 1)
            if (c == 'T') exit_code = 0;
    }
    XCloseDisplay(dpy);
    // The connecting thread may still sit in a name lookup; do not wait for it.
    fflush(nullptr);
    _exit(exit_code);
}
