// The network: a TCP client socket, an FTP client and the internet check.
//
// Nothing here blocks for long. The socket connects in the background and
// its state advances while events are let run (Forms_Runtime::Do_Events).
// FTP and the internet check block, but each step gives up after a bounded
// time and then reports failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nrvnc {

// States of a client socket, numbered as the program's socket control
// numbers them. Only Connected decides anything.
namespace Socket_State {
constexpr int Closed = 0;
constexpr int Resolving_Host = 4;
constexpr int Host_Resolved = 5;
constexpr int Connecting = 6;
constexpr int Connected = 7;
constexpr int Error = 9;
}  // namespace Socket_State

class Tcp_Socket {
public:
    virtual ~Tcp_Socket() = default;

    // Closes the connection or the attempt; harmless when already closed.
    virtual void Close() = 0;
    virtual void Set_Remote_Host(const std::string& host) = 0;
    // Raises a Runtime_Error for a port outside 0..65535.
    virtual void Set_Remote_Port(int32_t port) = 0;
    // Starts connecting and returns at once. Raises when the socket is not
    // closed or the attempt cannot be started at all. Name resolution never
    // holds the caller up.
    virtual void Connect() = 0;
    virtual int State() = 0;
};

// An FTP client shaped after the open / connect / change folder / get file /
// close sequence. Handles are opaque, 0 means failure.
class Ftp_Client {
public:
    using Handle = uintptr_t;
    virtual ~Ftp_Client() = default;

    // Opens an internet session with the given agent name.
    virtual Handle Internet_Open(const std::string& agent) = 0;
    // Logs in to an FTP server (port 0 = the default, 21). Transfers are in
    // active mode. Returns 0 when the server cannot be reached or refuses the
    // login.
    virtual Handle Internet_Connect(Handle session, const std::string& server, uint16_t port,
                                    const std::string& user, const std::string& password) = 0;
    virtual bool Set_Current_Directory(Handle connection, const std::string& folder) = 0;
    // Fetches a file of the current folder into a local file, overwriting
    // it. ascii selects text transfer (lines arrive ended by CR LF). A file
    // larger than max_bytes is not fetched: the transfer stops once the
    // bound is passed and false is returned, with no local file left.
    virtual bool Get_File(Handle connection, const std::string& remote_name,
                          const std::string& local_path, bool ascii, std::size_t max_bytes) = 0;
    virtual void Close_Handle(Handle handle) = 0;
};

class Network {
public:
    virtual ~Network() = default;

    virtual std::unique_ptr<Tcp_Socket> Create_Tcp_Socket() = 0;
    virtual Ftp_Client& Ftp() = 0;

    // Forces a connection attempt to the address (a web address such as
    // "http://host/") and says whether it could be made.
    virtual bool Check_Internet_Connection(const std::string& url) = 0;
};

}  // namespace nrvnc
