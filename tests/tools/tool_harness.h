// Helpers for the stand-in tests: child processes, loopback sockets, Xvfb.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tools_test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline std::string Tool(const std::string& name) {
    return std::string(NRVNC_TOOLS_DIR) + "/" + name;
}

// Environment changes for a child: a value sets, nullopt removes.
using Env_Changes = std::map<std::string, std::optional<std::string>>;

struct Child {
    pid_t Pid = -1;
    int Stdout_Fd = -1;  // read end when stdout was captured
    int Stderr_Fd = -1;
};

// What Spawn captures; stderr not captured goes to /dev/null.
enum Capture : unsigned { Capture_None = 0, Capture_Stdout = 1, Capture_Stderr = 2 };

inline Child Spawn(const std::string& program, const std::vector<std::string>& args,
                   const Env_Changes& env_changes = {}, unsigned capture = Capture_None,
                   const std::string& working_dir = "") {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string kv = *e;
        auto eq = kv.find('=');
        if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : env_changes) {
        if (v)
            env[k] = *v;
        else
            env.erase(k);
    }
    std::vector<std::string> env_texts, arg_texts = {program};
    for (const auto& [k, v] : env) env_texts.push_back(k + "=" + v);
    arg_texts.insert(arg_texts.end(), args.begin(), args.end());
    std::vector<char*> envp, argv;
    for (auto& s : env_texts) envp.push_back(s.data());
    for (auto& s : arg_texts) argv.push_back(s.data());
    envp.push_back(nullptr);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    Child child;
    int out[2] = {-1, -1}, err[2] = {-1, -1};
    if ((capture & Capture_Stdout) && pipe2(out, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        child.Stdout_Fd = out[0];
    }
    if ((capture & Capture_Stderr) && pipe2(err, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        child.Stderr_Fd = err[0];
    } else {
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&fa, working_dir.c_str());
    if (posix_spawn(&child.Pid, program.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0)
        child.Pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    for (int fd : {out[1], err[1]})
        if (fd >= 0) close(fd);
    return child;
}

// The child's exit status (or 128 + signal), or nullopt when it still runs
// after the timeout.
inline std::optional<int> Wait_Exit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0) return -1;
        if (Clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(5ms);
    }
}

// Ends a child that a test left running, so no test leaks processes.
inline void Reap(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (!Wait_Exit(pid, 3s)) {
        kill(pid, SIGKILL);
        Wait_Exit(pid, 3s);
    }
}

// Reads from fd until the text holds a newline, EOF or the timeout.
inline std::string Read_Line(int fd, std::chrono::milliseconds timeout) {
    std::string text;
    const auto end = Clock::now() + timeout;
    while (text.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char c;
        if (read(fd, &c, 1) != 1) break;
        text += c;
    }
    return text.substr(0, text.find('\n'));
}

inline std::string Read_All(int fd, std::chrono::milliseconds timeout) {
    std::string text;
    const auto end = Clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[4096];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

// A loopback TCP connection or listener, closed on destruction.
class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    Socket& operator=(Socket&& o) noexcept {
        Close();
        fd_ = std::exchange(o.fd_, -1);
        return *this;
    }
    ~Socket() { Close(); }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    int Fd() const { return fd_; }

    // receive_buffer > 0 shrinks the socket's receive buffer, so that a peer
    // writing to it backs up soon.
    static Socket Connect(int port, int receive_buffer = 0) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receive_buffer > 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            close(fd);
            return Socket();
        }
        return Socket(fd);
    }

    // Listens on 127.0.0.1:port (0 = any free port); Port() tells which.
    static Socket Listen(int port = 0) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 8) != 0) {
            close(fd);
            return Socket();
        }
        return Socket(fd);
    }

    int Port() const {
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        return ntohs(sa.sin_port);
    }

    Socket Accept(std::chrono::milliseconds timeout) const {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return Socket();
        return Socket(accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
    }

    bool Send(const std::string& data) const {
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Up to n bytes; fewer on end of stream or timeout.
    std::string Receive(size_t n, std::chrono::milliseconds timeout) const {
        std::string data;
        const auto end = Clock::now() + timeout;
        while (data.size() < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[65536];
            ssize_t got = recv(fd_, buf, std::min(sizeof buf, n - data.size()), 0);
            if (got <= 0) break;
            data.append(buf, static_cast<size_t>(got));
        }
        return data;
    }

    // True when the peer closed (or reset) the connection within the timeout.
    bool Sees_End(std::chrono::milliseconds timeout) const {
        const auto end = Clock::now() + timeout;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
            char buf[4096];
            if (recv(fd_, buf, sizeof buf, 0) <= 0) return true;
        }
    }

    // True when data is waiting right now.
    bool Has_Data() const {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }

  private:
    int fd_ = -1;
};

inline std::string Id_Block(const std::string& id) {
    std::string block = id;
    block.resize(250, '\0');
    return block;
}

inline bool Wait_Until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A throw-away folder under the system's temporary folder.
inline std::filesystem::path Make_Temp_Dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nrvnc-tools-XXXXXX").string();
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

// A private X server for one test. Xvfb picks a free display number itself
// and reports it through -displayfd.
class Xvfb {
  public:
    Xvfb() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        int p[2];
        if (pipe(p) != 0) return;
        fcntl(p[0], F_SETFD, FD_CLOEXEC);
        child_ = Spawn("/usr/bin/Xvfb", {"-displayfd", std::to_string(p[1]), "-nolisten", "tcp",
                                         "-screen", "0", "800x600x24"});
        close(p[1]);
        std::string number = Read_Line(p[0], 10s);
        close(p[0]);
        if (child_.Pid <= 0 || number.empty()) return;
        name_ = ":" + number;
        display_ = XOpenDisplay(name_.c_str());
    }
    ~Xvfb() {
        if (display_) XCloseDisplay(display_);
        Reap(child_.Pid);
    }
    bool Running() const { return display_ != nullptr; }
    const std::string& Name() const { return name_; }

    // The titles of the top-level windows (no window manager runs, so these
    // are the root's children): WM_NAME and, separately, _NET_WM_NAME.
    std::set<std::string> Titles(bool net_wm_name = false) const {
        std::set<std::string> titles;
        Window root_ret, parent;
        Window* kids = nullptr;
        unsigned n = 0;
        XSync(display_, False);
        if (!XQueryTree(display_, DefaultRootWindow(display_), &root_ret, &parent, &kids, &n))
            return titles;
        // A window may vanish between the query and the name lookup.
        auto old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        Atom net = XInternAtom(display_, "_NET_WM_NAME", False);
        Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
        for (unsigned i = 0; i < n; ++i) {
            if (!net_wm_name) {
                char* name = nullptr;
                if (XFetchName(display_, kids[i], &name) && name) titles.insert(name);
                if (name) XFree(name);
                continue;
            }
            Atom type;
            int format;
            unsigned long count, after;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display_, kids[i], net, 0, 1024, False, utf8, &type, &format,
                                   &count, &after, &data) == Success &&
                data && type == utf8)
                titles.insert(std::string(reinterpret_cast<char*>(data), count));
            if (data) XFree(data);
        }
        XSync(display_, False);
        XSetErrorHandler(old);
        if (kids) XFree(kids);
        return titles;
    }

  private:
    Child child_;
    std::string name_;
    Display* display_ = nullptr;
};

}  // namespace tools_test
