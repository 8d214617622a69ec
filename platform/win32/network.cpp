#include "platform/win32/network.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// after winsock2.h
#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/win32/errors.h"
#include "platform/win32/event_wait.h"

namespace nrvnc {

// Addresses of one host, filled in by the resolver (a worker thread, or the
// caller for an address that needs no lookup). Shared with the worker, so a
// socket that goes away first leaves it to the worker to free.
struct Win32_Resolve_Job {
    Win32_Resolve_Job() : Done_Event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32_Resolve_Job() {
        if (Done_Event) CloseHandle(Done_Event);
    }
    std::mutex Lock;
    bool Done = false;
    bool Failed = false;
    std::vector<std::pair<sockaddr_storage, int>> Addresses;
    HANDLE Done_Event;
};

namespace {

const char* const Wrong_State_Text =
    "Wrong protocol or connection state for the requested transaction or request";

// Returns false when getaddrinfo failed or found nothing.
bool Resolve(Win32_Resolve_Job& job, const std::string& host, int32_t port, int flags) {
    addrinfo hints{};
    // The repeater's address is an IPv4 address, and an IPv6 address of a
    // name on a machine without a working IPv6 route would use up the
    // probe's time.
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    int result = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    std::lock_guard<std::mutex> hold(job.Lock);
    if (result == 0) {
        for (addrinfo* entry = found; entry; entry = entry->ai_next) {
            sockaddr_storage address{};
            memcpy(&address, entry->ai_addr, entry->ai_addrlen);
            job.Addresses.emplace_back(address, static_cast<int>(entry->ai_addrlen));
        }
        freeaddrinfo(found);
    }
    job.Failed = job.Addresses.empty();
    job.Done = true;
    if (job.Done_Event) SetEvent(job.Done_Event);
    return !job.Failed;
}

}  // namespace

void Start_Winsock() {
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] {
        WSADATA data{};
        result = WSAStartup(MAKEWORD(2, 2), &data);
    });
    if (result != 0) throw Runtime_Error(Error_Number::Socket_Error, System_Words(result));
}

Win32_Tcp_Socket::~Win32_Tcp_Socket() {
    Close();
}

void Win32_Tcp_Socket::Close() {
    Close_Socket();
    if (Resolving) Event_Wait::Unregister(Resolving->Done_Event);
    Resolving.reset();
    Addresses.reset();
    Next_Address = 0;
    Current_State = Socket_State::Closed;
}

void Win32_Tcp_Socket::Close_Socket() {
    if (Connect_Event) {
        Event_Wait::Unregister(Connect_Event);
        WSACloseEvent(Connect_Event);
        Connect_Event = nullptr;
    }
    if (Socket != INVALID_SOCKET) {
        closesocket(Socket);
        Socket = INVALID_SOCKET;
    }
}

void Win32_Tcp_Socket::Set_Remote_Host(const std::string& host) {
    Remote_Host = host;
}

void Win32_Tcp_Socket::Set_Remote_Port(int32_t port) {
    if (port < 0 || port > 65535) {
        throw Runtime_Error(Error_Number::Invalid_Procedure_Call,
                            "Invalid port number " + std::to_string(port));
    }
    Remote_Port = port;
}

void Win32_Tcp_Socket::Connect() {
    if (Current_State != Socket_State::Closed) {
        throw Runtime_Error(Error_Number::Socket_Error, Wrong_State_Text);
    }
    if (Remote_Host.empty()) {
        throw Runtime_Error(Error_Number::Socket_Error, "No remote host was given");
    }
    Start_Winsock();

    // An address needs no lookup and is connected to at once.
    auto numeric = std::make_shared<Win32_Resolve_Job>();
    if (Resolve(*numeric, Remote_Host, Remote_Port, AI_NUMERICHOST)) {
        Addresses = numeric;
        Next_Address = 0;
        if (int error = Start_Next_Address(); error != 0) {
            Close();
            throw Runtime_Error(Error_Number::Socket_Error, System_Words(error));
        }
        return;
    }

    auto job = std::make_shared<Win32_Resolve_Job>();
    try {
        std::thread([job, host = Remote_Host, port = Remote_Port] {
            Resolve(*job, host, port, 0);
            Event_Wait::Wake();
        }).detach();
    } catch (const std::system_error& error) {
        throw Runtime_Error(Error_Number::Socket_Error, error.what());
    }
    Resolving = job;
    Event_Wait::Register(job->Done_Event);
    Current_State = Socket_State::Resolving_Host;
}

int Win32_Tcp_Socket::Start_Next_Address() {
    Close_Socket();
    Current_State = Socket_State::Error;
    while (Addresses && Next_Address < Addresses->Addresses.size()) {
        const auto& [address, length] = Addresses->Addresses[Next_Address++];
        Socket = socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
        if (Socket == INVALID_SOCKET) return WSAGetLastError();
        Connect_Event = WSACreateEvent();
        // WSAEventSelect also makes the socket non-blocking.
        if (Connect_Event == WSA_INVALID_EVENT ||
            WSAEventSelect(Socket, Connect_Event, FD_CONNECT) != 0) {
            int error = WSAGetLastError();
            if (Connect_Event == WSA_INVALID_EVENT) Connect_Event = nullptr;
            Close_Socket();
            return error;
        }
        if (connect(Socket, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            Current_State = Socket_State::Connected;
            return 0;
        }
        if (WSAGetLastError() == WSAEWOULDBLOCK) {
            Current_State = Socket_State::Connecting;
            Event_Wait::Register(Connect_Event);
            return 0;
        }
        Close_Socket();
    }
    return 0;
}

int Win32_Tcp_Socket::State() {
    if (Current_State == Socket_State::Resolving_Host) {
        std::unique_lock<std::mutex> hold(Resolving->Lock);
        if (!Resolving->Done) {
            hold.unlock();
            // The registration is one-shot; renew it for the next slice.
            Event_Wait::Register(Resolving->Done_Event);
            return Current_State;
        }
        bool failed = Resolving->Failed;
        hold.unlock();
        Event_Wait::Unregister(Resolving->Done_Event);
        Addresses = std::move(Resolving);
        Next_Address = 0;
        if (failed) {
            Current_State = Socket_State::Error;
        } else {
            Start_Next_Address();
        }
    }

    if (Current_State == Socket_State::Connecting) {
        WSANETWORKEVENTS happened{};
        if (WSAEnumNetworkEvents(Socket, Connect_Event, &happened) != 0) {
            Start_Next_Address();
        } else if (happened.lNetworkEvents & FD_CONNECT) {
            if (happened.iErrorCode[FD_CONNECT_BIT] == 0) {
                Event_Wait::Unregister(Connect_Event);
                Current_State = Socket_State::Connected;
            } else {
                Start_Next_Address();
            }
        } else {
            Event_Wait::Register(Connect_Event);
        }
    }
    return Current_State;
}

Win32_Network::Win32_Network(Win32_Network_Options options)
    : Options(options), Ftp_Service(options.Ftp_Port_For_0, options.Ftp) {
    Start_Winsock();
}

std::unique_ptr<Tcp_Socket> Win32_Network::Create_Tcp_Socket() {
    return std::make_unique<Win32_Tcp_Socket>();
}

Ftp_Client& Win32_Network::Ftp() {
    return Ftp_Service;
}

bool Win32_Network::Check_Internet_Connection(const std::string& url) {
    struct Check {
        HANDLE Done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        bool Reached = false;
        ~Check() {
            if (Done) CloseHandle(Done);
        }
    };
    const Wininet_Functions* wininet = Wininet();
    auto check = std::make_shared<Check>();
    if (wininet == nullptr || check->Done == nullptr) return false;
    try {
        std::thread([check, url, wininet] {
            check->Reached = wininet->Check_Connection(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0);
            SetEvent(check->Done);
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    if (!Event_Wait::Wait_For_Worker(check->Done, Options.Check_Limit_Ms)) return false;
    return check->Reached;
}

}  // namespace nrvnc
