// The FTP client on Windows, over WinINet.
//
// InternetOpenA (the system's proxy settings), InternetConnectA (FTP,
// active mode: flags 0), FtpSetCurrentDirectoryA, and for the transfer
// FtpOpenFileA + InternetReadFile in the requested type with
// INTERNET_FLAG_RELOAD, so the size of what arrives can be bounded (which
// FtpGetFileA cannot do). The file is written beside the local path and
// replaces it only when complete, so a failed transfer leaves an older
// local file as it was.
//
// Every step is bounded in time. WinINet's own time-outs are set on the
// session (connect, send, receive, data send and receive), but WinINet does
// not apply them to every FTP step (the connect and the server's greeting
// in particular), so each blocking call runs on a worker thread and the
// caller waits at most the step's limit. A step that runs late fails: the
// handle it works on is closed (which is how WinINet cancels a blocking
// call from another thread) and counts as closed from then on; whatever the
// worker still gets is released by the worker.
//
// Handles are numbers of this object, each standing for one WinINet handle;
// closing a session closes the connections opened through it. Not
// thread-safe: the program uses it from the user-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "platform/network.h"

namespace nrvnc {

struct Wininet_Ftp_Timeouts {
    unsigned long Connect_Ms = 10000;  // TCP connect, greeting and login
    unsigned long Step_Ms = 20000;     // change folder, one whole transfer
    unsigned long Close_Ms = 2000;     // the goodbye (QUIT) when a connection closes
};

class Wininet_Ftp_Client : public Ftp_Client {
  public:
    // port_for_0 is the port used when a caller passes port 0 (the core
    // always does). When it is 0 itself, the environment variable
    // NRVNC_FTP_PORT is used when it holds a port number, else 21. Tests and
    // whole-program runs point the download at a loopback server this way.
    explicit Wininet_Ftp_Client(uint16_t port_for_0 = 0, Wininet_Ftp_Timeouts timeouts = {});
    ~Wininet_Ftp_Client() override;
    Wininet_Ftp_Client(const Wininet_Ftp_Client&) = delete;
    Wininet_Ftp_Client& operator=(const Wininet_Ftp_Client&) = delete;

    Handle Internet_Open(const std::string& agent) override;
    Handle Internet_Connect(Handle session, const std::string& server, uint16_t port,
                            const std::string& user, const std::string& password) override;
    bool Set_Current_Directory(Handle connection, const std::string& folder) override;
    // A remote file longer than max_bytes is cut off there (the transfer is
    // aborted) and not written.
    bool Get_File(Handle connection, const std::string& remote_name, const std::string& local_path,
                  bool ascii, std::size_t max_bytes) override;
    void Close_Handle(Handle handle) override;

    // The last failure: its Windows (WinINet) error code, 0 when none, and
    // its words (the server's last answer where there is one). For tests
    // and diagnostics.
    unsigned long Last_Error_Code() const { return Last_Code; }
    const std::string& Last_Error() const { return Last_Text; }

  private:
    struct Entry {
        void* Internet = nullptr;  // the HINTERNET; null once closed or cancelled
        Handle Session = 0;        // connections: the session they belong to
    };

    Entry* Find(Handle handle, bool session);
    void Release(Entry& entry, bool bounded);
    void Note_Failure(unsigned long code, const std::string& words);

    uint16_t Port_For_0;
    Wininet_Ftp_Timeouts Timeouts;
    Handle Next_Handle = 1;
    std::map<Handle, Entry> Handles;
    unsigned long Last_Code = 0;
    std::string Last_Text;
};

}  // namespace nrvnc
