#include "platform/win32/network.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// after winsock2.h
#include <windows.h>
#include <wininet.h>

#include <mutex>
#include <system_error>
#include <thread>

#include "platform/error.h"
#include "platform/win32/errors.h"
#include "platform/win32/event_wait.h"

namespace nrvnc {

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

void Win32_Tcp_Socket::Connect() {
    Start_Winsock();
    Connecting_Socket::Connect();
}

Connecting_Socket::Progress Win32_Tcp_Socket::Open(const std::string& address,
                                                   std::string& no_socket) {
    const auto* target = reinterpret_cast<const sockaddr*>(address.data());
    Socket = socket(target->sa_family, SOCK_STREAM, IPPROTO_TCP);
    Connect_Event = Socket == INVALID_SOCKET ? nullptr : WSACreateEvent();
    if (Connect_Event == WSA_INVALID_EVENT) Connect_Event = nullptr;
    // WSAEventSelect also makes the socket non-blocking.
    if (Connect_Event == nullptr || WSAEventSelect(Socket, Connect_Event, FD_CONNECT) != 0) {
        no_socket = System_Words(WSAGetLastError());
        return Progress::Failed;
    }
    if (connect(Socket, target, static_cast<int>(address.size())) == 0) return Progress::Made;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return Progress::Failed;
    Event_Wait::Register(Connect_Event);
    return Progress::Pending;
}

Connecting_Socket::Progress Win32_Tcp_Socket::Look() {
    WSANETWORKEVENTS happened{};
    if (WSAEnumNetworkEvents(Socket, Connect_Event, &happened) != 0) return Progress::Failed;
    if (!(happened.lNetworkEvents & FD_CONNECT)) {
        // The registration is one-shot; renew it for the next slice.
        Event_Wait::Register(Connect_Event);
        return Progress::Pending;
    }
    if (happened.iErrorCode[FD_CONNECT_BIT] != 0) return Progress::Failed;
    Event_Wait::Unregister(Connect_Event);
    return Progress::Made;
}

void Win32_Tcp_Socket::Drop() {
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
