// The network on Linux: non-blocking TCP client sockets, the FTP client and
// the internet check.
#pragma once

#include <memory>
#include <string>

#include "platform/common/connecting_socket.h"
#include "platform/network.h"
#include "platform/x11/ftp.h"

namespace nrvnc {

// A TCP client socket that connects in the background (Connecting_Socket):
// a non-blocking descriptor, registered with Event_Wait while the attempt
// runs.
class Linux_Tcp_Socket : public Connecting_Socket {
  public:
    ~Linux_Tcp_Socket() override;

  private:
    Progress Open(const std::string& address, std::string& no_socket) override;
    Progress Look() override;
    void Drop() override;

    int Fd = -1;
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
