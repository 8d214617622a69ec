#include "platform/common/connecting_socket.h"

// The name lookup is the same call on both systems; only its header differs.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <mutex>
#include <system_error>
#include <thread>

#include "platform/common/event_wake.h"
#include "platform/error.h"

namespace nrvnc {

// Shared with the lookup thread, so a socket that goes away first leaves it
// to the thread to free.
struct Lookup_Job {
    std::mutex Lock;
    bool Done = false;
    std::vector<std::string> Addresses;
};

std::vector<std::string> Connecting_Socket::Addresses_Of(const std::string& host, int32_t port,
                                                         bool numeric_only) {
    addrinfo hints{};
    // The repeater's address is an IPv4 address, and an IPv6 address of a
    // name on a machine without a working IPv6 route would use up the
    // probe's time.
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = numeric_only ? AI_NUMERICHOST : 0;
    addrinfo* found = nullptr;
    std::vector<std::string> addresses;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return addresses;
    for (addrinfo* entry = found; entry; entry = entry->ai_next)
        addresses.emplace_back(reinterpret_cast<const char*>(entry->ai_addr), entry->ai_addrlen);
    freeaddrinfo(found);
    return addresses;
}

void Connecting_Socket::Close() {
    Drop();
    Resolving.reset();
    Addresses.clear();
    Next_Address = 0;
    Current_State = Socket_State::Closed;
}

void Connecting_Socket::Set_Remote_Host(const std::string& host) {
    Remote_Host = host;
}

void Connecting_Socket::Set_Remote_Port(int32_t port) {
    if (port < 0 || port > 65535) {
        throw Runtime_Error(Error_Number::Invalid_Procedure_Call,
                            "Invalid port number " + std::to_string(port));
    }
    Remote_Port = port;
}

void Connecting_Socket::Connect() {
    if (Current_State != Socket_State::Closed) {
        throw Runtime_Error(
            Error_Number::Socket_Error,
            "Wrong protocol or connection state for the requested transaction or request");
    }
    if (Remote_Host.empty()) {
        throw Runtime_Error(Error_Number::Socket_Error, "No remote host was given");
    }
    // An address needs no lookup and is connected to at once.
    Addresses = Addresses_Of(Remote_Host, Remote_Port, true);
    Next_Address = 0;
    if (!Addresses.empty()) {
        if (std::string words = Start_Next_Address(); !words.empty()) {
            Close();
            throw Runtime_Error(Error_Number::Socket_Error, words);
        }
        return;
    }
    auto job = std::make_shared<Lookup_Job>();
    try {
        std::thread([job, host = Remote_Host, port = Remote_Port] {
            std::vector<std::string> found = Addresses_Of(host, port, false);
            {
                std::lock_guard<std::mutex> hold(job->Lock);
                job->Addresses = std::move(found);
                job->Done = true;
            }
            Event_Wait::Wake();
        }).detach();
    } catch (const std::system_error& error) {
        throw Runtime_Error(Error_Number::Socket_Error, error.what());
    }
    Resolving = job;
    Current_State = Socket_State::Resolving_Host;
}

std::string Connecting_Socket::Start_Next_Address() {
    Drop();
    Current_State = Socket_State::Error;
    while (Next_Address < Addresses.size()) {
        std::string no_socket;
        Progress progress = Open(Addresses[Next_Address++], no_socket);
        if (progress != Progress::Failed) {
            Current_State =
                progress == Progress::Made ? Socket_State::Connected : Socket_State::Connecting;
            return {};
        }
        Drop();
        if (!no_socket.empty()) return no_socket;
    }
    return {};
}

int Connecting_Socket::State() {
    if (Current_State == Socket_State::Resolving_Host) {
        std::unique_lock<std::mutex> hold(Resolving->Lock);
        if (!Resolving->Done) return Current_State;
        Addresses = std::move(Resolving->Addresses);
        hold.unlock();
        Resolving.reset();
        Next_Address = 0;
        Start_Next_Address();
    }
    if (Current_State == Socket_State::Connecting) {
        Progress progress = Look();
        if (progress == Progress::Made) Current_State = Socket_State::Connected;
        if (progress == Progress::Failed) Start_Next_Address();
    }
    return Current_State;
}

}  // namespace nrvnc
