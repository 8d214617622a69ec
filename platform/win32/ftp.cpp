#include "platform/win32/ftp.h"

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "builtin_values.h"
#include "platform/error.h"
#include "platform/win32/errors.h"
#include "platform/win32/event_wait.h"
#include "platform/win32/files.h"

namespace nrvnc {

HMODULE Load_System_Library(const char* file_name) {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(folder, length) + "\\" + file_name;
    // A full path, and its dependencies searched from its own folder first.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

const Wininet_Functions* Wininet() {
    static const Wininet_Functions* loaded = []() -> const Wininet_Functions* {
        HMODULE module = Load_System_Library("wininet.dll");
        if (module == nullptr) return nullptr;
        static Wininet_Functions functions;
        auto bind = [module](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                reinterpret_cast<void*>(GetProcAddress(module, name)));
            return function != nullptr;
        };
        if (bind(functions.Open, "InternetOpenA") && bind(functions.Connect, "InternetConnectA") &&
            bind(functions.Set_Option, "InternetSetOptionA") &&
            bind(functions.Query_Option, "InternetQueryOptionA") &&
            bind(functions.Close, "InternetCloseHandle") &&
            bind(functions.Last_Response, "InternetGetLastResponseInfoA") &&
            bind(functions.Read_File, "InternetReadFile") &&
            bind(functions.Check_Connection, "InternetCheckConnectionA") &&
            bind(functions.Set_Current_Directory, "FtpSetCurrentDirectoryA") &&
            bind(functions.Open_File, "FtpOpenFileA"))
            return &functions;
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }();
    if (loaded == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
    return loaded;
}

namespace {

// The server's last answer on this thread, without its line end.
std::string Last_Response(const Wininet_Functions& wininet) {
    DWORD code = 0, length = 0;
    wininet.Last_Response(&code, nullptr, &length);
    std::string answer(length + 1, '\0');
    length = static_cast<DWORD>(answer.size());
    if (!wininet.Last_Response(&code, answer.data(), &length)) return "";
    answer.resize(strnlen(answer.c_str(), answer.size()));
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n')) answer.pop_back();
    return answer;
}

}  // namespace

// One blocking WinINet call on a worker thread, shared by the worker and
// the user-interface thread that waits for it.
struct Worker_Step {
    const Wininet_Functions& Wininet;
    std::mutex Lock;
    HANDLE Reported = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE Ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool Given_Up = false;
    HINTERNET Blocking = nullptr;  // a handle the worker opened and now works in

    explicit Worker_Step(const Wininet_Functions& wininet) : Wininet(wininet) {}
    ~Worker_Step() {
        if (Reported) CloseHandle(Reported);
        if (Ended) CloseHandle(Ended);
    }
};

namespace {

template <typename Value>
struct Step : Worker_Step {
    Value Result{};
    DWORD Error = 0;
    std::string Words;

    using Worker_Step::Worker_Step;

    // The worker hands its result over; a failure with the thread's last
    // error and the server's last answer.
    // False when the waiter has given up: the result is then the worker's.
    bool Report(Value& value, bool failed) {
        DWORD error = failed ? GetLastError() : 0;
        std::string words = failed ? Last_Response(Wininet) : "";
        std::lock_guard<std::mutex> hold(Lock);
        if (Given_Up) return false;
        Result = std::move(value);
        Error = error;
        Words = std::move(words);
        SetEvent(Reported);
        return true;
    }
    // The worker works in handle from now on, closed by the waiter when it
    // gives up. False when it has given up already.
    bool Adopt(HINTERNET handle) {
        std::lock_guard<std::mutex> hold(Lock);
        Blocking = handle;
        return !Given_Up;
    }
    // The adopted handle back, for the worker to close; nullptr when the
    // waiter closed it.
    HINTERNET Disown() {
        std::lock_guard<std::mutex> hold(Lock);
        HINTERNET handle = Given_Up ? nullptr : Blocking;
        Blocking = nullptr;
        return handle;
    }
    bool Is_Given_Up() {
        std::lock_guard<std::mutex> hold(Lock);
        return Given_Up;
    }
};

template <typename Value>
struct Outcome {
    Value Result;
    DWORD Error;
    std::string Words;
};

// Runs work on a worker thread and waits at most limit_ms for its report.
// Returns nothing when it ran late (or no thread could be started): the
// handle it works in (the one it adopted, else cancel) is then closed on a
// thread of its own, since a close may wait for the server, and the worker
// gets close_ms more to end.
// The worker itself is handed to still_working when it has reported and
// goes on (closing its handle) after that.
template <typename Value>
std::optional<Outcome<Value>> Run_Step(const Wininet_Functions& wininet, unsigned long limit_ms,
                                       unsigned long close_ms, HINTERNET cancel,
                                       std::function<void(Step<Value>&)> work,
                                       std::shared_ptr<Worker_Step>* still_working = nullptr) {
    auto step = std::make_shared<Step<Value>>(wininet);
    if (!step->Reported || !step->Ended) return std::nullopt;
    try {
        std::thread([step, work = std::move(work)] {
            work(*step);
            SetEvent(step->Ended);
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    Event_Wait::Wait_For_Worker(step->Reported, limit_ms);
    HINTERNET blocked_in = nullptr;
    {
        std::lock_guard<std::mutex> hold(step->Lock);
        if (WaitForSingleObject(step->Reported, 0) == WAIT_OBJECT_0) {
            if (still_working) *still_working = step;
            return Outcome<Value>{std::move(step->Result), step->Error, std::move(step->Words)};
        }
        step->Given_Up = true;
        blocked_in = step->Blocking ? step->Blocking : cancel;
        step->Blocking = nullptr;
    }
    if (blocked_in) {
        auto cancel_call = [close = wininet.Close, blocked_in] { close(blocked_in); };
        try {
            std::thread(cancel_call).detach();
        } catch (const std::system_error&) {
            cancel_call();
        }
    }
    Event_Wait::Wait_For_Worker(step->Ended, close_ms);
    return std::nullopt;
}

void Set_Timeout(const Wininet_Functions& wininet, HINTERNET handle, DWORD option,
                 unsigned long milliseconds) {
    DWORD value = milliseconds;
    wininet.Set_Option(handle, option, &value, sizeof value);
}

// A transfer that may exceed the bound; the bytes that arrived.
struct Transfer {
    bool Done = false;
    bool Too_Long = false;
    std::string Bytes;
};

}  // namespace

Wininet_Ftp_Client::Wininet_Ftp_Client(uint16_t port_for_0, Wininet_Ftp_Timeouts timeouts)
    : Port_For_0(port_for_0 != 0 ? port_for_0 : Builtin::FTP_Port), Timeouts(timeouts) {}

Wininet_Ftp_Client::~Wininet_Ftp_Client() {
    for (auto& [handle, entry] : Handles) Release(entry);
}

void Wininet_Ftp_Client::Note_Failure(unsigned long code, const std::string& words) {
    // WinINet may fail without an error code: after a junk greeting, say.
    Last_Code = code != 0 ? code : ERROR_INTERNET_EXTENDED_ERROR;
    Last_Text = System_Words(Last_Code);
    if (!words.empty()) Last_Text += " The server's last answer: " + words;
}

Wininet_Ftp_Client::Entry* Wininet_Ftp_Client::Find_Connection(Handle handle) {
    auto found = Handles.find(handle);
    if (found == Handles.end() || found->second.Session == 0) {
        Note_Failure(ERROR_INVALID_HANDLE, "");
        return nullptr;
    }
    Entry& entry = found->second;
    // A transfer cut off at its bound may still be closing: the connection
    // is free again once it has.
    if (entry.Closing) Event_Wait::Wait_For_Worker(entry.Closing->Ended, Timeouts.Step_Ms);
    entry.Closing.reset();
    if (entry.Internet == nullptr) {
        Note_Failure(ERROR_INTERNET_OPERATION_CANCELLED, "");
        return nullptr;
    }
    return &entry;
}

// Closing a connection says goodbye to the server (QUIT), which may not
// answer: the close runs on a worker and is waited for at most Close_Ms.
void Wininet_Ftp_Client::Release(Entry& entry) {
    HINTERNET connection = entry.Internet, root = entry.Root;
    entry.Internet = entry.Root = nullptr;
    if (root == nullptr) return;
    const Wininet_Functions& wininet = *Wininet();
    Run_Step<bool>(wininet, Timeouts.Close_Ms, 0, nullptr, [=](Step<bool>& step) {
        bool closed = (!connection || step.Wininet.Close(connection)) && step.Wininet.Close(root);
        step.Report(closed, false);
    });
}

Ftp_Client::Handle Wininet_Ftp_Client::Internet_Open(const std::string& agent) {
    if (Wininet() == nullptr) {
        Note_Failure(GetLastError(), "WinINet cannot be loaded");
        return 0;
    }
    Handle handle = Next_Handle++;
    Handles[handle].Agent = agent;
    return handle;
}

Ftp_Client::Handle Wininet_Ftp_Client::Internet_Connect(Handle session, const std::string& server,
                                                        uint16_t port, const std::string& user,
                                                        const std::string& password) {
    auto owner = Handles.find(session);
    if (owner == Handles.end() || owner->second.Session != 0) {
        Note_Failure(ERROR_INVALID_HANDLE, "");
        return 0;
    }
    const Wininet_Functions& wininet = *Wininet();
    // A root of its own: closing it is what cancels a connect under way,
    // and it must not take the session's later attempts with it.
    HINTERNET root = wininet.Open(owner->second.Agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG,
                                  nullptr, nullptr, 0);
    if (root == nullptr) {
        Note_Failure(GetLastError(), "");
        return 0;
    }
    // Inherited by the connection and its transfers.
    Set_Timeout(wininet, root, INTERNET_OPTION_CONNECT_TIMEOUT, Timeouts.Connect_Ms);
    Set_Timeout(wininet, root, INTERNET_OPTION_CONNECT_RETRIES, 1);
    for (DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        Set_Timeout(wininet, root, option, Timeouts.Step_Ms);
    INTERNET_PORT target = port == 0 ? Port_For_0 : port;
    auto outcome = Run_Step<HINTERNET>(
        wininet, Timeouts.Connect_Ms, Timeouts.Close_Ms, root, [=](Step<HINTERNET>& step) {
            HINTERNET connection =
                step.Wininet.Connect(root, server.c_str(), target, user.c_str(), password.c_str(),
                                     INTERNET_SERVICE_FTP, 0, 0);
            if (!step.Report(connection, connection == nullptr) && connection)
                step.Wininet.Close(connection);  // too late: nobody takes it
        });
    if (!outcome) {
        Note_Failure(ERROR_INTERNET_TIMEOUT, "");
        return 0;
    }
    if (outcome->Result == nullptr) {
        Note_Failure(outcome->Error, outcome->Words);
        Run_Step<bool>(wininet, Timeouts.Close_Ms, 0, nullptr, [root](Step<bool>& step) {
            bool closed = step.Wininet.Close(root);
            step.Report(closed, false);
        });
        return 0;
    }
    Handle handle = Next_Handle++;
    Entry& entry = Handles[handle];
    entry.Session = session;
    entry.Root = root;
    entry.Internet = outcome->Result;
    return handle;
}

bool Wininet_Ftp_Client::Set_Current_Directory(Handle connection, const std::string& folder) {
    Entry* entry = Find_Connection(connection);
    if (entry == nullptr) return false;
    HINTERNET internet = entry->Internet;
    auto outcome = Run_Step<bool>(
        *Wininet(), Timeouts.Step_Ms, Timeouts.Close_Ms, internet, [=](Step<bool>& step) {
            bool entered = step.Wininet.Set_Current_Directory(internet, folder.c_str());
            step.Report(entered, !entered);
        });
    if (!outcome) {
        entry->Internet = nullptr;  // closed by the cancel
        Note_Failure(ERROR_INTERNET_TIMEOUT, "");
        return false;
    }
    if (!outcome->Result) Note_Failure(outcome->Error, outcome->Words);
    return outcome->Result;
}

bool Wininet_Ftp_Client::Get_File(Handle connection, const std::string& remote_name,
                                  const std::string& local_path, bool ascii,
                                  std::size_t max_bytes) {
    Entry* entry = Find_Connection(connection);
    if (entry == nullptr) return false;
    HINTERNET internet = entry->Internet;
    // Straight from the server, and no copy in WinINet's cache: the file is
    // deleted once read, and a copy there would outlive it.
    DWORD flags = (ascii ? FTP_TRANSFER_TYPE_ASCII : FTP_TRANSFER_TYPE_BINARY) |
                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    auto outcome = Run_Step<Transfer>(
        *Wininet(), Timeouts.Step_Ms, Timeouts.Close_Ms, internet,
        [=](Step<Transfer>& step) {
            Transfer transfer;
            HINTERNET file =
                step.Wininet.Open_File(internet, remote_name.c_str(), GENERIC_READ, flags, 0);
            if (file == nullptr) {
                step.Report(transfer, true);
                return;
            }
            // WinINet's copy of the file, if it keeps one (Wine does): deleted
            // once the handle is gone, a late one too.
            char copy[MAX_PATH] = "";
            DWORD copy_size = sizeof copy;
            if (!step.Wininet.Query_Option(file, INTERNET_OPTION_DATAFILE_NAME, copy, &copy_size))
                copy[0] = '\0';
            auto delete_copy = [&copy] {
                // A close on another thread may still hold it for a moment.
                for (int tries = 0; *copy && !DeleteFileA(copy) &&
                                    GetLastError() != ERROR_FILE_NOT_FOUND && tries < 40;
                     ++tries)
                    Sleep(50);
            };
            if (!step.Adopt(file)) {
                step.Wininet.Close(file);
                delete_copy();
                return;
            }
            char buffer[4096];
            DWORD got = 0;
            while (step.Wininet.Read_File(file, buffer, sizeof buffer, &got)) {
                // Given up: the handle was closed for us, and nothing more is read.
                if (step.Is_Given_Up()) {
                    delete_copy();
                    return;
                }
                transfer.Done = got == 0;
                transfer.Too_Long = got > max_bytes - transfer.Bytes.size();
                if (transfer.Done || transfer.Too_Long) break;
                transfer.Bytes.append(buffer, got);
            }
            DWORD error = GetLastError();
            // A transfer cut off is reported first: its close waits for the
            // server's answer to the abort. One that ended is closed first,
            // so that nothing of it is left when the caller goes on.
            if (transfer.Too_Long) step.Report(transfer, false);
            if (HINTERNET own = step.Disown()) step.Wininet.Close(own);
            delete_copy();
            SetLastError(error);
            if (!transfer.Too_Long) step.Report(transfer, !transfer.Done);
        },
        &entry->Closing);
    if (!outcome) {
        Note_Failure(ERROR_INTERNET_TIMEOUT, "");
        return false;
    }
    if (outcome->Result.Too_Long) {
        Note_Failure(ERROR_FILE_TOO_LARGE,
                     "The file is larger than " + std::to_string(max_bytes) + " bytes");
        return false;
    }
    if (!outcome->Result.Done) {
        Note_Failure(outcome->Error, outcome->Words);
        return false;
    }
    Win32_File_System files;
    std::string temporary;
    try {
        temporary = files.Write_Temporary_File(local_path, outcome->Result.Bytes);
        files.Replace_File(temporary, local_path);
    } catch (const Runtime_Error& error) {
        if (!temporary.empty()) DeleteFileA(temporary.c_str());
        Note_Failure(GetLastError(), error.Description);
        return false;
    }
    return true;
}

void Wininet_Ftp_Client::Close_Handle(Handle handle) {
    auto found = Handles.find(handle);
    if (found == Handles.end()) return;
    if (found->second.Session == 0) {
        // Closing a session closes what was opened through it.
        for (auto& [other, entry] : Handles)
            if (entry.Session == handle) Release(entry);
        std::erase_if(Handles,
                      [handle](const auto& item) { return item.second.Session == handle; });
        found = Handles.find(handle);
    }
    Release(found->second);
    Handles.erase(found);
}

}  // namespace nrvnc
