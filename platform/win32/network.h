// The network on Windows: Winsock 2 client sockets, the WinINet FTP client
// and the internet check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/network.h"
#include "platform/win32/ftp.h"

namespace nrvnc {

struct Win32_Resolve_Job;

// A TCP client socket that connects in the background.
//
// Connect returns at once. A dotted address is connected to straight away;
// a host name is resolved (IPv4 only) on a detached thread while State()
// reports Resolving_Host, and the socket picks the result up in a later
// State(). A socket closed or destroyed meanwhile just drops the late
// result. When a name gives several addresses they are tried in turn.
//
// The socket is non-blocking, with its FD_CONNECT notification on an event
// (WSAEventSelect). While the attempt or the lookup runs, that event (or the
// lookup's done event) is registered with Event_Wait, so a Do_Events slice
// ends as soon as the connection is made or refused.
class Win32_Tcp_Socket : public Tcp_Socket {
  public:
    Win32_Tcp_Socket() = default;
    ~Win32_Tcp_Socket() override;
    Win32_Tcp_Socket(const Win32_Tcp_Socket&) = delete;
    Win32_Tcp_Socket& operator=(const Win32_Tcp_Socket&) = delete;

    void Close() override;
    void Set_Remote_Host(const std::string& host) override;
    void Set_Remote_Port(int32_t port) override;
    // Raises 40006 when the socket is not closed or no host is set, and the
    // system's words when no socket can be made.
    void Connect() override;
    int State() override;

  private:
    // Starts connecting to the next address of the list; with none left the
    // state becomes Error. Returns the Winsock error of a socket that could
    // not be made at all, else 0.
    int Start_Next_Address();
    void Close_Socket();

    std::string Remote_Host;
    int32_t Remote_Port = 0;
    int Current_State = Socket_State::Closed;
    uintptr_t Socket = ~uintptr_t{0};  // a SOCKET; INVALID_SOCKET when none
    void* Connect_Event = nullptr;
    std::shared_ptr<Win32_Resolve_Job> Resolving;
    std::shared_ptr<Win32_Resolve_Job> Addresses;  // the resolved list being tried
    std::size_t Next_Address = 0;
};

struct Win32_Network_Options {
    uint16_t Ftp_Port_For_0 = 0;  // see Wininet_Ftp_Client
    Wininet_Ftp_Timeouts Ftp;
    unsigned long Check_Limit_Ms = 8000;  // the whole internet check
};

class Win32_Network : public Network {
  public:
    // Starts Winsock 2 (once per process).
    explicit Win32_Network(Win32_Network_Options options = {});

    std::unique_ptr<Tcp_Socket> Create_Tcp_Socket() override;
    Ftp_Client& Ftp() override;
    // InternetCheckConnectionA with FLAG_ICC_FORCE_CONNECTION (it connects
    // to the address's host and port). The call itself has no time limit,
    // so it runs on a worker thread and counts as failed when it has not
    // answered within Check_Limit_Ms; a late answer is dropped. The wait
    // lets the window system's messages run (Event_Wait::Wait_For_Worker).
    bool Check_Internet_Connection(const std::string& url) override;

  private:
    Win32_Network_Options Options;
    Wininet_Ftp_Client Ftp_Service;
};

// Starts Winsock 2 once per process (never stopped: resolver threads may
// outlive every socket). Raises when it cannot start.
void Start_Winsock();

}  // namespace nrvnc
