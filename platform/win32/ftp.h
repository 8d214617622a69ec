// The FTP client on Windows, over WinINet.
//
// WinINet is loaded from the system folder when the first session opens
// (Wininet()), never imported: Windows looks for an imported DLL that is
// not one of its known DLLs in the program's folder first, and the viewer's
// folder, where the program lives, is often writable.
//
// Each connection gets its own InternetOpenA (the system's proxy settings),
// then InternetConnectA (FTP, active mode: flags 0), FtpSetCurrentDirectoryA,
// and for the transfer FtpOpenFileA + InternetReadFile in the requested
// type, so the size of what arrives can be bounded (which FtpGetFileA cannot
// do). Nothing is read from WinINet's cache, and nothing stays there: a
// WinINet that keeps a copy in spite of INTERNET_FLAG_NO_CACHE_WRITE (Wine
// does) has it deleted when the transfer's handle is gone. The file is
// written beside the local path and replaces it only when complete, so a
// failed transfer leaves an older local file as it was.
//
// Every step is bounded in time. WinINet's own time-outs are set (connect,
// send, receive, data send and receive), but WinINet does not apply them to
// every FTP step (the connect and the server's greeting in particular), so
// each blocking call runs on a worker thread while the caller waits at most
// the step's limit, letting the window system's messages run
// (Event_Wait::Wait_For_Worker). A step that runs late fails: the handle the
// worker is blocked in is closed (which is how WinINet cancels a blocking
// call), the worker gets Close_Ms more to end, and nothing it reads later is
// used or written. A late connect closes only its own InternetOpenA handle,
// so the next attempt gets its own time. A transfer that passes its bound is
// reported at once; the worker closes it (the server's answer to the abort
// may take long) after that.
//
// Handles are numbers of this object; closing a session closes the
// connections opened through it. Not thread-safe: the program uses it from
// the user-interface thread only.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/network.h"

namespace nrvnc {

struct Worker_Step;

// The WinINet functions the program uses.
struct Wininet_Functions {
    decltype(&InternetOpenA) Open;
    decltype(&InternetConnectA) Connect;
    decltype(&InternetSetOptionA) Set_Option;
    decltype(&InternetQueryOptionA) Query_Option;
    decltype(&InternetCloseHandle) Close;
    decltype(&InternetGetLastResponseInfoA) Last_Response;
    decltype(&InternetReadFile) Read_File;
    decltype(&InternetCheckConnectionA) Check_Connection;
    decltype(&FtpSetCurrentDirectoryA) Set_Current_Directory;
    decltype(&FtpOpenFileA) Open_File;
};

// WinINet from the system folder, loaded at the first call and kept; nullptr
// (with the thread's last error set) when it cannot be loaded.
const Wininet_Functions* Wininet();

// A DLL of the system folder by its file name, never one from the program's
// folder, the working folder or the PATH; its own dependencies are looked
// for in the system folder first.
HMODULE Load_System_Library(const char* file_name);

struct Wininet_Ftp_Timeouts {
    unsigned long Connect_Ms = 10000;  // TCP connect, greeting and login
    unsigned long Step_Ms = 20000;     // change folder, one whole transfer
    unsigned long Close_Ms = 2000;     // the goodbye (QUIT), and a late worker's end
};

class Wininet_Ftp_Client : public Ftp_Client {
  public:
    // port_for_0 is the port used when a caller passes port 0 (the core
    // always does); when it is 0 itself, the built-in FTP port.
    explicit Wininet_Ftp_Client(uint16_t port_for_0 = 0, Wininet_Ftp_Timeouts timeouts = {});
    ~Wininet_Ftp_Client() override;
    Wininet_Ftp_Client(const Wininet_Ftp_Client&) = delete;
    Wininet_Ftp_Client& operator=(const Wininet_Ftp_Client&) = delete;

    // Fails (0) only when WinINet cannot be loaded.
    Handle Internet_Open(const std::string& agent) override;
    Handle Internet_Connect(Handle session, const std::string& server, uint16_t port,
                            const std::string& user, const std::string& password) override;
    bool Set_Current_Directory(Handle connection, const std::string& folder) override;
    // A remote file longer than max_bytes is cut off there (the transfer is
    // aborted) and not written.
    bool Get_File(Handle connection, const std::string& remote_name, const std::string& local_path,
                  bool ascii, std::size_t max_bytes) override;
    void Close_Handle(Handle handle) override;

    // The last failure: its Windows (WinINet) error code, never 0 after a
    // failure, and its words (the server's last answer where there is one).
    // For tests and diagnostics.
    unsigned long Last_Error_Code() const { return Last_Code; }
    const std::string& Last_Error() const { return Last_Text; }

  private:
    struct Entry {
        Handle Session = 0;            // connections: the session they belong to; 0 for a session
        std::string Agent;             // sessions: the name given to Internet_Open
        HINTERNET Root = nullptr;      // connections: their own InternetOpenA handle
        HINTERNET Internet = nullptr;  // connections: null once closed or cancelled
        std::shared_ptr<Worker_Step> Closing;  // a transfer's worker still closing it
    };

    Entry* Find_Connection(Handle handle);
    void Release(Entry& entry);
    void Note_Failure(unsigned long code, const std::string& words);

    uint16_t Port_For_0;
    Wininet_Ftp_Timeouts Timeouts;
    Handle Next_Handle = 1;
    std::map<Handle, Entry> Handles;
    unsigned long Last_Code = 0;
    std::string Last_Text;
};

}  // namespace nrvnc
