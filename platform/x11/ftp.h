// The FTP client on Linux, over libcurl, which is loaded only when the
// first connection is made; without it every connection fails.
//
// Handles are small numbers owned by this object: a session from
// Internet_Open, a connection from Internet_Connect. Each connection owns one
// libcurl easy handle, so the login made by Internet_Connect is reused by the
// later steps (libcurl logs in again by itself if the server dropped the
// control connection meanwhile). Closing a session closes its connections.
//
// Every step blocks until it is done, but never longer than the time limits:
// a server that accepts the connection and then says nothing makes the step
// fail after Total_Ms. Transfers run in active mode (PORT), as the server
// expects. A download goes to a temporary file beside the local file and
// replaces it only when complete, so a failed transfer leaves an older local
// file as it was. Closing a connection says goodbye (QUIT) and waits at most
// Quit_Ms for the answer.
//
// Not thread-safe: the program uses it from the user-interface thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/network.h"

namespace nrvnc {

struct Ftp_Timeouts {
    long Connect_Ms = 10000;  // TCP connect and the server's greeting
    long Total_Ms = 20000;    // one whole step (login, change folder, transfer)
    long Quit_Ms = 2000;      // the answer to the goodbye (QUIT) when closing
};

struct Curl_Library;

class Curl_Ftp_Client : public Ftp_Client {
  public:
    // port_for_0 is the port used when a caller passes port 0 (the core
    // always does); when it is 0 itself, the built-in FTP port.
    // curl_library names the libcurl file to load (empty: the usual names).
    explicit Curl_Ftp_Client(uint16_t port_for_0 = 0, Ftp_Timeouts timeouts = {},
                             std::string curl_library = "");
    ~Curl_Ftp_Client() override;
    Curl_Ftp_Client(const Curl_Ftp_Client&) = delete;
    Curl_Ftp_Client& operator=(const Curl_Ftp_Client&) = delete;

    Handle Internet_Open(const std::string& agent) override;
    // server is a host name or address, or the URL form "ftp://host".
    Handle Internet_Connect(Handle session, const std::string& server, uint16_t port,
                            const std::string& user, const std::string& password) override;
    // Relative to the current folder, or absolute when it starts with '/'.
    // The folder becomes current only when the server let us enter it.
    bool Set_Current_Directory(Handle connection, const std::string& folder) override;
    // local_path is a native path. ascii transfers in TYPE A: lines arrive
    // ended by CR LF whatever the server stores.
    bool Get_File(Handle connection, const std::string& remote_name, const std::string& local_path,
                  bool ascii, std::size_t max_bytes) override;
    void Close_Handle(Handle handle) override;

    // libcurl's words for the last failure, for diagnostics.
    const std::string& Last_Error() const { return Last_Error_Text; }

  private:
    struct Connection;

    Connection* Find_Connection(Handle connection);
    bool Perform(Connection& connection);

    uint16_t Port_For_0;
    Ftp_Timeouts Timeouts;
    std::string Library_Name;
    const Curl_Library* Lib = nullptr;  // loaded by the first Internet_Connect
    Handle Next_Handle = 1;
    std::map<Handle, std::string> Sessions;  // session handle -> agent name
    std::map<Handle, std::unique_ptr<Connection>> Connections;
    std::string Last_Error_Text;
};

}  // namespace nrvnc
