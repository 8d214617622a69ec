#include "platform/x11/network.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/error.h"
#include "platform/x11/event_wait.h"

namespace nrvnc {

Linux_Tcp_Socket::~Linux_Tcp_Socket() {
    Close();
}

Connecting_Socket::Progress Linux_Tcp_Socket::Open(const std::string& address,
                                                   std::string& no_socket) {
    const auto* target = reinterpret_cast<const sockaddr*>(address.data());
    Fd = socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (Fd < 0) {
        no_socket = strerror(errno);
        return Progress::Failed;
    }
    if (connect(Fd, target, static_cast<socklen_t>(address.size())) == 0) return Progress::Made;
    if (errno != EINPROGRESS) return Progress::Failed;
    Event_Wait::Register(Fd, Event_Wait::Writable);
    return Progress::Pending;
}

Connecting_Socket::Progress Linux_Tcp_Socket::Look() {
    pollfd entry{Fd, POLLOUT, 0};
    int ready;
    do {
        ready = poll(&entry, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        // The registration is one-shot; renew it for the next slice.
        Event_Wait::Register(Fd, Event_Wait::Writable);
        return Progress::Pending;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(Fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    // A reset (or a broken pipe) can only follow a connection that was
    // made: a peer that accepts and resets at once was reached.
    if (error != 0 && error != ECONNRESET && error != EPIPE) return Progress::Failed;
    Event_Wait::Unregister(Fd);
    return Progress::Made;
}

void Linux_Tcp_Socket::Drop() {
    if (Fd < 0) return;
    Event_Wait::Unregister(Fd);
    close(Fd);
    Fd = -1;
}

Linux_Network::Linux_Network(Linux_Network_Options options)
    : Options(options), Ftp_Service(options.Ftp_Port_For_0, options.Ftp) {}

std::unique_ptr<Tcp_Socket> Linux_Network::Create_Tcp_Socket() {
    return std::make_unique<Linux_Tcp_Socket>();
}

Ftp_Client& Linux_Network::Ftp() {
    return Ftp_Service;
}

namespace {

// Host and port of "scheme://[user@]host[:port]/...": the port the scheme
// implies when none is given. False when there is no host.
bool Split_Url(const std::string& url, std::string& host, int32_t& port) {
    std::string::size_type start = url.find("://");
    std::string scheme = start == std::string::npos ? "http" : url.substr(0, start);
    std::string rest = start == std::string::npos ? url : url.substr(start + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (std::string::size_type at = rest.rfind('@'); at != std::string::npos)
        rest = rest.substr(at + 1);
    for (char& c : scheme) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    port = scheme == "https" ? 443 : scheme == "ftp" ? 21 : 80;
    std::string port_text;
    if (!rest.empty() && rest.front() == '[') {  // [IPv6 address]
        std::string::size_type close = rest.find(']');
        if (close == std::string::npos) return false;
        host = rest.substr(1, close - 1);
        if (close + 1 < rest.size() && rest[close + 1] == ':') port_text = rest.substr(close + 2);
    } else {
        std::string::size_type colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string::npos) port_text = rest.substr(colon + 1);
    }
    if (!port_text.empty()) {
        if (port_text.size() > 5 || port_text.find_first_not_of("0123456789") != std::string::npos)
            return false;
        port = std::stoi(port_text);
        if (port == 0 || port > 65535) return false;
    }
    return !host.empty();
}

}  // namespace

bool Linux_Network::Check_Internet_Connection(const std::string& url) {
    // A TCP connection to the address's host and port is the whole check:
    // nothing is sent, so no TLS or HTTP library needs loading at start-up.
    std::string host;
    int32_t port = 0;
    if (!Split_Url(url, host, port)) return false;
    Linux_Tcp_Socket socket;
    try {
        socket.Set_Remote_Host(host);
        socket.Set_Remote_Port(port);
        socket.Connect();
    } catch (const Runtime_Error&) {
        return false;
    }
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(std::min(Options.Check_Connect_Ms, Options.Check_Total_Ms));
    for (;;) {
        int state = socket.State();
        if (state == Socket_State::Connected) return true;
        if (state == Socket_State::Error) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return false;
        // The socket and the name lookup wake the wait when they move on.
        Event_Wait::Wait_For_Activity(static_cast<int>(left));
    }
}

}  // namespace nrvnc
