// The network on Linux: non-blocking TCP client sockets, the FTP client and
// the internet check.
#pragma once

#include <memory>
#include <string>

#include "platform/network.h"
#include "platform/x11/ftp.h"

namespace nrvnc {

struct Resolve_Job;

// A TCP client socket that connects in the background.
//
// Connect returns at once. A dotted address is connected to straight away;
// a host name is resolved (IPv4 only) on a detached thread while State()
// reports Resolving_Host, and the socket picks the result up in a later
// State(). A socket closed or destroyed meanwhile just drops the late
// result. When a name gives several addresses they are tried in turn.
//
// State() looks at the attempt without waiting: Connecting until the
// connection is made (Connected) or fails (Error; a refused connection stays
// Error). While the attempt runs, the descriptor is registered with
// Event_Wait, so a Do_Events slice ends as soon as it becomes writable.
class Linux_Tcp_Socket : public Tcp_Socket {
  public:
    Linux_Tcp_Socket() = default;
    ~Linux_Tcp_Socket() override;
    Linux_Tcp_Socket(const Linux_Tcp_Socket&) = delete;
    Linux_Tcp_Socket& operator=(const Linux_Tcp_Socket&) = delete;

    void Close() override;
    void Set_Remote_Host(const std::string& host) override;
    void Set_Remote_Port(int32_t port) override;
    // Raises 40006 when the socket is not closed or no host is set, and the
    // errno words when no socket can be made.
    void Connect() override;
    int State() override;

  private:
    // Starts connecting to the next address of the list; with none left the
    // state becomes Error. Returns the errno of a socket that could not be
    // made at all, else 0.
    int Start_Next_Address();
    void Close_Descriptor();

    std::string Remote_Host;
    int32_t Remote_Port = 0;
    int Current_State = Socket_State::Closed;
    int Fd = -1;
    std::shared_ptr<Resolve_Job> Resolving;
    std::shared_ptr<Resolve_Job> Addresses;  // the resolved list being tried
    std::size_t Next_Address = 0;
};

struct Linux_Network_Options {
    uint16_t Ftp_Port_For_0 = 0;  // see Curl_Ftp_Client
    Ftp_Timeouts Ftp;
    long Check_Connect_Ms = 5000;
    long Check_Total_Ms = 8000;
};

class Linux_Network : public Network {
  public:
    explicit Linux_Network(Linux_Network_Options options = {});

    std::unique_ptr<Tcp_Socket> Create_Tcp_Socket() override;
    Ftp_Client& Ftp() override;
    // Makes a TCP connection to the address's host and port (the port of
    // its scheme when none is given; nothing is sent) and says whether that
    // worked within the shorter of the two check limits. The name lookup is
    // bounded by the same limit.
    bool Check_Internet_Connection(const std::string& url) override;

  private:
    Linux_Network_Options Options;
    Curl_Ftp_Client Ftp_Service;
};

}  // namespace nrvnc
