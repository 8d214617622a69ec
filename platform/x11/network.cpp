#include "platform/x11/network.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/x11/event_wait.h"

namespace nrvnc {

// Addresses of one host, filled in by the resolver (a worker thread, or the
// caller for an address that needs no lookup). Shared with the worker, so a
// socket that goes away first leaves it to the worker to free.
struct Resolve_Job {
    std::mutex Lock;
    bool Done = false;
    bool Failed = false;
    std::vector<std::pair<sockaddr_storage, socklen_t>> Addresses;
};

namespace {

const char* const Wrong_State_Text =
    "Wrong protocol or connection state for the requested transaction or request";

// Returns false when getaddrinfo failed or found nothing.
bool Resolve(Resolve_Job& job, const std::string& host, int32_t port, int flags) {
    addrinfo hints{};
    // The repeater's address is an IPv4 address, and an IPv6 address of a
    // name on a machine without a working IPv6 route would use up the
    // probe's time.
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    int result = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    std::lock_guard<std::mutex> hold(job.Lock);
    if (result == 0) {
        for (addrinfo* entry = found; entry; entry = entry->ai_next) {
            sockaddr_storage address{};
            memcpy(&address, entry->ai_addr, entry->ai_addrlen);
            job.Addresses.emplace_back(address, entry->ai_addrlen);
        }
        freeaddrinfo(found);
    }
    job.Failed = job.Addresses.empty();
    job.Done = true;
    return !job.Failed;
}

}  // namespace

Linux_Tcp_Socket::~Linux_Tcp_Socket() {
    Close();
}

void Linux_Tcp_Socket::Close() {
    Close_Descriptor();
    Resolving.reset();
    Addresses.reset();
    Next_Address = 0;
    Current_State = Socket_State::Closed;
}

void Linux_Tcp_Socket::Close_Descriptor() {
    if (Fd < 0) return;
    Event_Wait::Unregister(Fd);
    close(Fd);
    Fd = -1;
}

void Linux_Tcp_Socket::Set_Remote_Host(const std::string& host) {
    Remote_Host = host;
}

void Linux_Tcp_Socket::Set_Remote_Port(int32_t port) {
    if (port < 0 || port > 65535) {
        throw Runtime_Error(Error_Number::Invalid_Procedure_Call,
                            "Invalid port number " + std::to_string(port));
    }
    Remote_Port = port;
}

void Linux_Tcp_Socket::Connect() {
    if (Current_State != Socket_State::Closed) {
        throw Runtime_Error(Error_Number::Socket_Error, Wrong_State_Text);
    }
    if (Remote_Host.empty()) {
        throw Runtime_Error(Error_Number::Socket_Error, "No remote host was given");
    }

    // An address needs no lookup and is connected to at once.
    auto numeric = std::make_shared<Resolve_Job>();
    if (Resolve(*numeric, Remote_Host, Remote_Port, AI_NUMERICHOST)) {
        Addresses = numeric;
        Next_Address = 0;
        if (int error = Start_Next_Address(); error != 0) {
            Close();
            throw Runtime_Error(Error_Number::Socket_Error, strerror(error));
        }
        return;
    }

    auto job = std::make_shared<Resolve_Job>();
    try {
        std::thread([job, host = Remote_Host, port = Remote_Port] {
            Resolve(*job, host, port, 0);
            Event_Wait::Wake();
        }).detach();
    } catch (const std::system_error& error) {
        throw Runtime_Error(Error_Number::Socket_Error, error.what());
    }
    Resolving = job;
    Current_State = Socket_State::Resolving_Host;
}

int Linux_Tcp_Socket::Start_Next_Address() {
    Close_Descriptor();
    Current_State = Socket_State::Error;
    while (Addresses && Next_Address < Addresses->Addresses.size()) {
        const auto& [address, length] = Addresses->Addresses[Next_Address++];
        Fd = socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (Fd < 0) return errno;
        if (connect(Fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            Current_State = Socket_State::Connected;
            return 0;
        }
        if (errno == EINPROGRESS) {
            Current_State = Socket_State::Connecting;
            Event_Wait::Register(Fd, Event_Wait::Writable);
            return 0;
        }
        Close_Descriptor();
    }
    return 0;
}

int Linux_Tcp_Socket::State() {
    if (Current_State == Socket_State::Resolving_Host) {
        std::unique_lock<std::mutex> hold(Resolving->Lock);
        if (!Resolving->Done) return Current_State;
        bool failed = Resolving->Failed;
        hold.unlock();
        Addresses = std::move(Resolving);
        Next_Address = 0;
        if (failed) {
            Current_State = Socket_State::Error;
        } else {
            Start_Next_Address();
        }
    }

    if (Current_State == Socket_State::Connecting) {
        pollfd entry{Fd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&entry, 1, 0);
        } while (ready < 0 && errno == EINTR);
        if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(Fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
            // A reset (or a broken pipe) can only follow a connection that
            // was made: a peer that accepts and resets at once was reached.
            if (error == 0 || error == ECONNRESET || error == EPIPE) {
                Event_Wait::Unregister(Fd);
                Current_State = Socket_State::Connected;
            } else {
                Start_Next_Address();
            }
        } else {
            // The registration is one-shot; renew it for the next slice.
            Event_Wait::Register(Fd, Event_Wait::Writable);
        }
    }
    return Current_State;
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
