// The network on Windows: Winsock 2 client sockets, the WinINet FTP client
// and the internet check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/common/connecting_socket.h"
#include "platform/network.h"
#include "platform/win32/ftp.h"

namespace nrvnc {

// A TCP client socket that connects in the background (Connecting_Socket):
// non-blocking, with its FD_CONNECT notification on an event
// (WSAEventSelect) that is registered with Event_Wait while the attempt runs.
class Win32_Tcp_Socket : public Connecting_Socket {
  public:
    ~Win32_Tcp_Socket() override;
    // Starts Winsock first.
    void Connect() override;

  private:
    Progress Open(const std::string& address, std::string& no_socket) override;
    Progress Look() override;
    void Drop() override;

    uintptr_t Socket = ~uintptr_t{0};  // a SOCKET; INVALID_SOCKET when none
    void* Connect_Event = nullptr;
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
