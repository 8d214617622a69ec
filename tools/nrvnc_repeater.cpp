// Test stand-in for the repeater service.
//
// Viewers connect to one port, servers to another. Each side first sends a
// 250-byte block holding "ID:" and the session code, padded with NULs. A
// viewer and a server with the same ID text are paired and from then on the
// bytes are relayed both ways; when one side closes, both are closed. A
// connection that closes before its ID (the launcher's reachability probe)
// is simply dropped. Unpaired connections are dropped after --pair-timeout
// seconds. With --greet, a viewer is first greeted with "RFB 000.000\n", as
// some repeaters do before the server's own greeting.
//
//   nrvnc-repeater [--viewer-port P] [--server-port Q] [--listen ADDR]
//                  [--pair-timeout S] [--greet]
//
// Port 0 picks a free port. The ports in use are printed on start:
// "listening viewer=P server=Q". Events go to stderr.
#include <arpa/inet.h>
#include <fcntl.h>
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
#include <list>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t Id_Block_Size = 250;
constexpr size_t Buffer_Limit = 256 * 1024;  // per direction; reading pauses when full
constexpr size_t Max_Connections = 200;

int Wake_Pipe[2] = {-1, -1};
bool Greet_Viewers = false;

void On_Signal(int) {
    const char c = 'T';
    [[maybe_unused]] auto n = write(Wake_Pipe[1], &c, 1);
}

struct Connection {
    int Fd = -1;
    bool Is_Server = false;
    std::string Id_Block;  // the first 250 bytes
    std::string Id;        // set once the block is complete and valid
    std::string Early;     // bytes read after the ID while unpaired
    std::string Out;       // bytes waiting to be written to this side
    Connection* Partner = nullptr;
    Clock::time_point Deadline;  // for unpaired and draining connections
    bool Draining = false;       // partner gone: only what is left is written
    bool Dead = false;
};

std::list<Connection> Connections;

const char* Side(const Connection& c) {
    return c.Is_Server ? "server" : "viewer";
}

// Writes what it can without blocking; false when the peer has gone.
bool Flush(Connection& c) {
    while (!c.Out.empty()) {
        ssize_t n = send(c.Fd, c.Out.data(), c.Out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.Out.erase(0, static_cast<size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

void Drop(Connection& c, const char* why) {
    if (c.Dead) return;
    c.Dead = true;
    fprintf(stderr, "repeater: %s %s closed (%s)\n", Side(c), c.Id.empty() ? "-" : c.Id.c_str(),
            why);
    if (Connection* p = c.Partner) {
        c.Partner = nullptr;
        p->Partner = nullptr;
        // What the closed side sent last still arrives, within a bounded time.
        if (Flush(*p) && !p->Out.empty()) {
            p->Draining = true;
            p->Deadline = Clock::now() + std::chrono::seconds(5);
        } else {
            Drop(*p, "partner closed");
        }
    }
    close(c.Fd);
}

// The text before the first NUL, if it is "ID:" and printable characters.
std::string Id_Text(const std::string& block) {
    std::string id = block.substr(0, block.find('\0'));
    if (id.size() < 4 || id.compare(0, 3, "ID:") != 0) return "";
    for (char ch : id)
        if (ch < 0x21 || ch > 0x7e) return "";
    return id;
}

void Pair_Up(Connection& c) {
    for (Connection& other : Connections) {
        if (&other == &c || other.Dead || other.Draining || other.Partner || other.Id != c.Id)
            continue;
        if (other.Is_Server == c.Is_Server) {
            Drop(other, "replaced by a newer connection with the same ID");
            continue;
        }
        c.Partner = &other;
        other.Partner = &c;
        other.Out += c.Early;
        c.Out += other.Early;
        c.Early.clear();
        other.Early.clear();
        fprintf(stderr, "repeater: paired %s\n", c.Id.c_str());
        if (!Flush(c)) Drop(c, "write failed");
        if (!other.Dead && !Flush(other)) Drop(other, "write failed");
        return;
    }
}

void Read_From(Connection& c) {
    char buf[16384];
    size_t room = sizeof buf;
    if (c.Id.empty()) room = Id_Block_Size - c.Id_Block.size();
    ssize_t n = recv(c.Fd, buf, room, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        Drop(c, n == 0 ? "end of stream" : strerror(errno));
        return;
    }
    if (c.Id.empty()) {
        c.Id_Block.append(buf, static_cast<size_t>(n));
        if (c.Id_Block.size() < Id_Block_Size) return;
        c.Id = Id_Text(c.Id_Block);
        if (c.Id.empty()) {
            Drop(c, "bad ID block");
            return;
        }
        fprintf(stderr, "repeater: %s waits with %s\n", Side(c), c.Id.c_str());
        Pair_Up(c);
    } else if (c.Partner) {
        c.Partner->Out.append(buf, static_cast<size_t>(n));
        if (!Flush(*c.Partner)) Drop(*c.Partner, "write failed");
    } else {
        c.Early.append(buf, static_cast<size_t>(n));
    }
}

bool Wants_Input(const Connection& c) {
    if (c.Draining) return false;
    if (c.Id.empty()) return true;
    if (c.Partner) return c.Partner->Out.size() < Buffer_Limit;
    return c.Early.size() < Buffer_Limit;
}

int Listen_On(const std::string& address, int& port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        fprintf(stderr, "repeater: not an IPv4 address: %s\n", address.c_str());
        return -1;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t len = sizeof sa;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&sa), len) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        fprintf(stderr, "repeater: cannot listen on %s:%d: %s\n", address.c_str(), port,
                strerror(errno));
        return -1;
    }
    port = ntohs(sa.sin_port);
    return fd;
}

void Accept_From(int listener, bool is_server, Clock::duration pair_timeout) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (Connections.size() >= Max_Connections) {
        close(fd);
        return;
    }
    Connection& c = Connections.emplace_back();
    c.Fd = fd;
    c.Is_Server = is_server;
    c.Deadline = Clock::now() + pair_timeout;
    if (!is_server && Greet_Viewers) {
        c.Out = "RFB 000.000\n";
        if (!Flush(c)) Drop(c, "write failed");
    }
}

bool Parse_Number(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    errno = 0;
    out = strtol(text, &end, 10);
    return *text && !*end && errno == 0 && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv) {
    int viewer_port = 5901, server_port = 5500;
    long pair_seconds = 60;
    std::string address = "127.0.0.1";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        long n = 0;
        bool ok = i + 1 < argc;
        if (a == "--greet") {
            Greet_Viewers = true;
        } else if (ok && a == "--listen") {
            address = argv[++i];
        } else if (ok && (a == "--viewer-port" || a == "--server-port") &&
                   Parse_Number(argv[i + 1], 0, 65535, n)) {
            (a == "--viewer-port" ? viewer_port : server_port) = static_cast<int>(n);
            ++i;
        } else if (ok && a == "--pair-timeout" && Parse_Number(argv[i + 1], 1, 86400, n)) {
            pair_seconds = n;
            ++i;
        } else {
            fprintf(stderr,
                    "usage: nrvnc-repeater [--viewer-port P] [--server-port Q] "
                    "[--listen ADDR] [--pair-timeout SECONDS] [--greet]\n(bad argument: %s)\n",
                    a.c_str());
            return 2;
        }
    }
    if (pipe2(Wake_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = On_Signal;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    int viewer_listener = Listen_On(address, viewer_port);
    int server_listener = viewer_listener < 0 ? -1 : Listen_On(address, server_port);
    if (server_listener < 0) return 1;
    printf("listening viewer=%d server=%d\n", viewer_port, server_port);
    fflush(stdout);
    const auto pair_timeout = std::chrono::seconds(pair_seconds);

    for (;;) {
        std::vector<pollfd> fds = {
            {Wake_Pipe[0], POLLIN, 0}, {viewer_listener, POLLIN, 0}, {server_listener, POLLIN, 0}};
        std::vector<Connection*> polled;
        auto next = Clock::now() + std::chrono::seconds(1);
        for (Connection& c : Connections) {
            short events = (Wants_Input(c) ? POLLIN : 0) | (c.Out.empty() ? 0 : POLLOUT);
            fds.push_back({c.Fd, events, 0});
            polled.push_back(&c);
            if (!c.Partner) next = std::min(next, c.Deadline);
        }
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
        if (poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(wait.count(), 0))) < 0 &&
            errno != EINTR)
            return 1;
        if (fds[0].revents) break;  // SIGTERM and friends
        if (fds[1].revents & POLLIN) Accept_From(viewer_listener, false, pair_timeout);
        if (fds[2].revents & POLLIN) Accept_From(server_listener, true, pair_timeout);

        for (size_t i = 0; i < polled.size(); ++i) {
            Connection& c = *polled[i];
            short ev = fds[i + 3].revents;
            if (!c.Dead && (ev & POLLOUT) && !Flush(c)) Drop(c, "write failed");
            if (!c.Dead && c.Draining && (c.Out.empty() || (ev & (POLLHUP | POLLERR))))
                Drop(c, "partner closed");
            if (!c.Dead && !c.Draining && (ev & (POLLIN | POLLHUP | POLLERR))) Read_From(c);
        }
        const auto now = Clock::now();
        for (Connection& c : Connections)
            if (!c.Dead && !c.Partner && now >= c.Deadline)
                Drop(c, c.Draining ? "partner closed, not read in time" : "no partner in time");
        Connections.remove_if([](const Connection& c) { return c.Dead; });
    }
    for (Connection& c : Connections) close(c.Fd);
    return 0;
}
