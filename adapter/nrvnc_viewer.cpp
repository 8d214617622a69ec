// nrvnc-viewer: the viewer NRVNC starts on Linux (installed as `vncviewer`
// beside `nrvnc`), an adapter to TigerVNC's viewer.
//
// It reads the command line NRVNC composes for its viewer, shows the status
// window at once ("VNC Viewer Status for <host>", or "... for ID" through a
// repeater), connects (through the repeater with the ID block), reads the
// server's greeting, then starts TigerVNC on a private Unix socket and
// relays between the two while it follows the handshake itself. Once the
// server's init message has passed, the session is established: the status
// window goes and a notice says the connection is not encrypted. Any
// failure before that opens the error box ("VncViewer Message Box") over
// the status window with a one-line reason; the whole attempt has 8 s.
// The adapter ends when TigerVNC or the server ends the session, and
// TigerVNC never outlives it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "adapter/handshake.h"
#include "adapter/tigervnc.h"
#include "tools/viewer_session.h"

namespace {

using viewer::Clock;
using Ms = std::chrono::milliseconds;

constexpr auto Attempt_Limit = std::chrono::seconds(8);
// The status window stays at least this long, so that NRVNC's watch sees
// it come and go even when a local server answers at once.
constexpr auto Status_Hold = Ms(500);
constexpr std::size_t Relay_Limit = 1 << 20;  // bytes waiting per direction

int Wake_Pipe[2] = {-1, -1};

void On_Signal(int) {
    const char c = 'T';
    [[maybe_unused]] auto n = write(Wake_Pipe[1], &c, 1);
}

// The connecting thread's result. The thread may be left behind in a name
// lookup that cannot be cut short; it then closes what it opened itself.
struct Attempt {
    std::mutex Lock;
    bool Done = false, Abandoned = false;
    int Fd = -1;
    std::string Greeting, Failure;
};

std::string Read_Greeting(viewer::Tcp_Connection& tcp, const viewer::Command_Line& command,
                          Clock::time_point deadline, std::string& greeting) {
    std::string bytes;
    std::string failure = tcp.Receive(12, bytes, deadline);
    adapter::Greeting_Kind kind = adapter::Classify_Greeting(bytes);
    if (failure.empty() && kind == adapter::Greeting_Kind::Repeater_Hello) {
        failure = tcp.Receive(12, bytes, deadline);  // the server's, once paired
        kind = adapter::Classify_Greeting(bytes);
        if (kind == adapter::Greeting_Kind::Repeater_Hello) kind = adapter::Greeting_Kind::Text;
    }
    if (failure.empty() && kind == adapter::Greeting_Kind::Rfb) {
        greeting = bytes;
        return "";
    }
    if (!bytes.empty()) return adapter::Greeting_Failure(kind, bytes);
    if (Clock::now() >= deadline)
        return command.Proxy.empty() ? "The server did not answer within 8 seconds."
                                     : "The repeater did not connect a server for " +
                                           command.Target + " within 8 seconds.";
    return failure;
}

void Connect(std::shared_ptr<Attempt> attempt, viewer::Command_Line command,
             Clock::time_point deadline) {
    viewer::Tcp_Connection tcp;
    std::string greeting;
    std::string failure = viewer::Connect_To_Server(command, deadline, tcp);
    if (failure.empty()) failure = Read_Greeting(tcp, command, deadline, greeting);
    std::lock_guard<std::mutex> hold(attempt->Lock);
    if (attempt->Abandoned) return;  // tcp closes with this frame
    attempt->Done = true;
    attempt->Failure = failure;
    attempt->Greeting = greeting;
    if (failure.empty()) attempt->Fd = static_cast<int>(tcp.Release());
    const char c = 'C';
    [[maybe_unused]] auto n = write(Wake_Pipe[1], &c, 1);
}

struct Windows {
    Display* Dpy;
    Atom Delete_Window = XInternAtom(Dpy, "WM_DELETE_WINDOW", False);
    Atom Net_Wm_Name = XInternAtom(Dpy, "_NET_WM_NAME", False);
    Atom Utf8 = XInternAtom(Dpy, "UTF8_STRING", False);

    // A plain window with a title and its lines of text (drawn on exposure).
    Window Open(const std::string& title, int x, int y, int width, int height) {
        const int s = DefaultScreen(Dpy);
        if (x < 0) x = std::max(0, DisplayWidth(Dpy, s) - width - 20);
        if (y < 0) y = std::max(0, DisplayHeight(Dpy, s) - height - 40);
        Window w = XCreateSimpleWindow(Dpy, RootWindow(Dpy, s), x, y, width, height, 1,
                                       BlackPixel(Dpy, s), WhitePixel(Dpy, s));
        XStoreName(Dpy, w, title.c_str());
        XChangeProperty(Dpy, w, Net_Wm_Name, Utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        XClassHint hint{const_cast<char*>("nrvnc-viewer"), const_cast<char*>("NRVNC-viewer")};
        XSetClassHint(Dpy, w, &hint);
        XSizeHints size{};
        size.flags = PPosition | PSize;
        size.x = x;
        size.y = y;
        size.width = width;
        size.height = height;
        XSetWMNormalHints(Dpy, w, &size);
        XSetWMProtocols(Dpy, w, &Delete_Window, 1);
        XSelectInput(Dpy, w, ExposureMask | KeyPressMask | ButtonPressMask);
        XMapRaised(Dpy, w);
        XSync(Dpy, False);
        return w;
    }
    void Draw(Window w, const std::vector<std::string>& lines) {
        GC gc = DefaultGC(Dpy, DefaultScreen(Dpy));
        int y = 26;
        for (const std::string& line : lines) {
            XDrawString(Dpy, w, gc, 14, y, line.c_str(), static_cast<int>(line.size()));
            y += 18;
        }
    }
};

int Width_For(const std::vector<std::string>& lines) {
    std::size_t longest = 0;
    for (const std::string& l : lines) longest = std::max(longest, l.size());
    return std::clamp(static_cast<int>(longest) * 6 + 30, 320, 900);
}

// Writes what it can of `out` to `fd`; false when the peer has gone.
bool Flush(int fd, std::string& out) {
    while (!out.empty()) {
        ssize_t n = send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            out.erase(0, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }
    return true;
}

// Reads what is there; nullopt at the end of the stream or on an error.
std::optional<std::string> Read_Some(int fd) {
    char buffer[65536];
    ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) return std::string(buffer, static_cast<std::size_t>(n));
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return std::string();
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const viewer::Command_Line command =
        viewer::Parse_Command_Line(std::vector<std::string>(argv + 1, argv + argc));
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        const char* d = getenv("DISPLAY");
        fprintf(stderr, "nrvnc-viewer: cannot open display \"%s\"\n", d ? d : "");
        return 1;
    }
    if (pipe2(Wake_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = On_Signal;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Windows windows{dpy};
    const auto start = Clock::now();
    const auto deadline = start + Attempt_Limit;
    const std::string shown_target = command.Proxy.empty() ? command.Target : "ID";
    const std::vector<std::string> status_text = {
        "Connecting to " + command.Target +
        (command.Proxy.empty() ? "" : " through the repeater " + command.Proxy) + " ..."};
    Window status =
        windows.Open("VNC Viewer Status for " + shown_target, 40, 40, Width_For(status_text), 60);
    Window box = None, notice = None;
    std::vector<std::string> box_text;
    const std::vector<std::string> notice_text = {
        "This connection is not encrypted: TigerVNC cannot speak",
        "the encryption plug-in. Click to close this notice."};

    auto attempt = std::make_shared<Attempt>();
    if (command.Error.empty()) {
        std::thread(Connect, attempt, command, deadline).detach();
    } else {
        attempt->Done = true;
        attempt->Failure = command.Error;
    }

    enum class Phase { Connecting, Starting_Viewer, Handshaking, Established, Failed, Done };
    Phase phase = Phase::Connecting;
    adapter::TigerVNC tigervnc;
    std::optional<adapter::Handshake> handshake;
    int server = -1, client = -1;
    std::string to_server, to_client, greeting;
    bool server_open = false;

    auto close_connections = [&] {
        if (server >= 0) close(server);
        if (client >= 0) close(client);
        server = client = -1;
    };
    auto fail = [&](const std::string& reason) {
        close_connections();
        tigervnc.End();
        box_text = {reason, "Click or press a key to close."};
        // Over the status window, which stays: NRVNC's watch needs both.
        box = windows.Open("VncViewer Message Box", 60, 60, Width_For(box_text), 70);
        phase = Phase::Failed;
        fprintf(stderr, "nrvnc-viewer: %s\n", reason.c_str());
    };

    while (phase != Phase::Done) {
        const auto now = Clock::now();
        // Steps that are due.
        if (phase == Phase::Connecting) {
            std::lock_guard<std::mutex> hold(attempt->Lock);
            if (attempt->Done) {
                server = attempt->Fd;
                greeting = attempt->Greeting;
                phase = Phase::Starting_Viewer;
            } else if (now >= deadline + Ms(300)) {  // the thread's own limit comes first
                attempt->Abandoned = true;
            }
        }
        if (phase == Phase::Connecting && attempt->Abandoned) {
            fail("No answer from " + command.Target + " within 8 seconds.");
        } else if (phase == Phase::Starting_Viewer && server < 0 && box == None) {
            fail(attempt->Failure);
        } else if (phase == Phase::Starting_Viewer && !server_open) {
            server_open = true;
            const std::string program = adapter::Find_TigerVNC();
            const std::string failure =
                program.empty() ? "TigerVNC's viewer (xtigervncviewer, package tigervnc-viewer) "
                                  "is not installed."
                                : tigervnc.Start(program, command.View_Only, command.Password);
            if (!failure.empty()) fail(failure);
        }
        if ((phase == Phase::Starting_Viewer || phase == Phase::Handshaking) &&
            Clock::now() >= deadline)
            fail(phase == Phase::Handshaking
                     ? "No session with " + command.Target +
                           " within 8 seconds: the server stopped answering."
                     : std::string("TigerVNC did not connect within 8 seconds."));
        if ((phase == Phase::Starting_Viewer || phase == Phase::Handshaking) && tigervnc.Ended())
            fail("TigerVNC ended before the connection was made.");
        if (phase == Phase::Established && status != None && now >= start + Status_Hold) {
            XDestroyWindow(dpy, status);
            status = None;
            notice = windows.Open("NRVNC - connection not encrypted", -1, -1,
                                  Width_For(notice_text), 56);
        }

        // Wait for the X server, a signal, the connecting thread, a socket.
        std::vector<pollfd> fds = {{ConnectionNumber(dpy), POLLIN, 0}, {Wake_Pipe[0], POLLIN, 0}};
        if (phase == Phase::Starting_Viewer && tigervnc.Listener() >= 0)
            fds.push_back({tigervnc.Listener(), POLLIN, 0});
        const bool relaying = phase == Phase::Handshaking || phase == Phase::Established;
        const std::size_t relay_at = fds.size();
        if (relaying) {
            fds.push_back({server,
                           static_cast<short>((to_client.size() < Relay_Limit ? POLLIN : 0) |
                                              (to_server.empty() ? 0 : POLLOUT)),
                           0});
            fds.push_back({client,
                           static_cast<short>((to_server.size() < Relay_Limit ? POLLIN : 0) |
                                              (to_client.empty() ? 0 : POLLOUT)),
                           0});
        }
        XFlush(dpy);
        const int wait_ms = XPending(dpy) ? 0 : 100;  // TigerVNC's end is polled
        poll(fds.data(), fds.size(), wait_ms);

        char c;
        while (read(Wake_Pipe[0], &c, 1) == 1)
            if (c == 'T') phase = Phase::Done;
        if (phase == Phase::Done) break;

        if (phase == Phase::Starting_Viewer && fds.size() > 2 && (fds[2].revents & POLLIN)) {
            client = tigervnc.Accept();
            if (client >= 0) {
                to_client = greeting;
                handshake.emplace(greeting);
                phase = Phase::Handshaking;
            }
        }
        if (relaying && (phase == Phase::Handshaking || phase == Phase::Established)) {
            const bool established = phase == Phase::Established;
            std::string ended;
            if (fds[relay_at].revents & (POLLIN | POLLHUP | POLLERR)) {
                auto got = Read_Some(server);
                if (!got) {
                    ended = "The server closed the connection.";
                } else if (handshake && !established) {
                    to_client += handshake->From_Server(*got);
                } else {
                    to_client += *got;
                }
            }
            if (ended.empty() && (fds[relay_at + 1].revents & (POLLIN | POLLHUP | POLLERR))) {
                auto got = Read_Some(client);
                if (!got) {
                    ended = "TigerVNC ended before the connection was made.";
                } else {
                    to_server += *got;
                    if (!established) handshake->From_Viewer(*got);
                }
            }
            if (ended.empty() && !Flush(server, to_server))
                ended = "The server closed the connection.";
            if (ended.empty() && !Flush(client, to_client))
                ended = "TigerVNC ended before the connection was made.";
            if (established && !ended.empty()) {
                phase = Phase::Done;  // the session is over, whichever side ended it
            } else if (!ended.empty()) {
                fail(ended);
            } else if (!established && handshake->Outcome() == adapter::Handshake::State::Failed) {
                fail(handshake->Failure());
            } else if (!established &&
                       handshake->Outcome() == adapter::Handshake::State::Established) {
                phase = Phase::Established;
            }
        }
        if (phase == Phase::Established && tigervnc.Ended()) phase = Phase::Done;

        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            const Window w = ev.xany.window;
            if (ev.type == Expose && ev.xexpose.count == 0) {
                windows.Draw(w, w == status ? status_text : w == box ? box_text : notice_text);
            } else if ((ev.type == ClientMessage &&
                        static_cast<Atom>(ev.xclient.data.l[0]) == windows.Delete_Window) ||
                       ev.type == KeyPress || ev.type == ButtonPress) {
                if (w == notice) {
                    XDestroyWindow(dpy, notice);
                    notice = None;
                } else if (w == box || w == status) {
                    phase = Phase::Done;  // the box's OK, or the attempt given up
                }
            }
        }
    }
    close_connections();
    tigervnc.End();
    XCloseDisplay(dpy);
    fflush(nullptr);
    // The connecting thread may still sit in a name lookup; do not wait for it.
    _exit(0);
}
