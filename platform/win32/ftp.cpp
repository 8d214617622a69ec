#include "platform/win32/ftp.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/error.h"
#include "platform/win32/errors.h"
#include "platform/win32/files.h"

namespace nrvnc {

namespace {

uint16_t Port_From_Environment() {
    const char* value = getenv("NRVNC_FTP_PORT");
    if (value == nullptr || *value == '\0') return 0;
    char* end = nullptr;
    unsigned long port = strtoul(value, &end, 10);
    if (*end != '\0' || port == 0 || port > 65535) return 0;
    return static_cast<uint16_t>(port);
}

// What a worker found: its result, and the error of its thread.
template <typename Value>
struct Outcome {
    Value Result{};
    DWORD Error = 0;
    std::string Words;
};

// The server's last answer, else the system's words for the error.
std::string Failure_Words(DWORD error) {
    if (error == ERROR_INTERNET_EXTENDED_ERROR) {
        DWORD code = 0, length = 0;
        InternetGetLastResponseInfoA(&code, nullptr, &length);
        std::string answer(length + 1, '\0');
        if (InternetGetLastResponseInfoA(&code, answer.data(), &length)) {
            answer.resize(length);
            while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n'))
                answer.pop_back();
            if (!answer.empty()) return answer;
        }
    }
    return System_Words(error);
}

// Runs work on a worker thread and waits at most limit_ms for it. Returns
// nothing when the work ran late (or no thread could be started); the
// worker then hands its late result to release, on its own thread.
template <typename Value>
std::optional<Outcome<Value>> Run_Bounded(unsigned long limit_ms, std::function<Value()> work,
                                          std::function<void(Value&)> release) {
    struct Shared {
        std::mutex Lock;
        HANDLE Done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        bool Abandoned = false;
        Outcome<Value> Found;
        ~Shared() {
            if (Done) CloseHandle(Done);
        }
    };
    auto shared = std::make_shared<Shared>();
    if (shared->Done == nullptr) return std::nullopt;
    try {
        std::thread([shared, work = std::move(work), release = std::move(release)] {
            Outcome<Value> found;
            found.Result = work();
            found.Error = GetLastError();
            if (found.Error != 0) found.Words = Failure_Words(found.Error);
            std::lock_guard<std::mutex> hold(shared->Lock);
            if (shared->Abandoned) {
                if (release) release(found.Result);
                return;
            }
            shared->Found = std::move(found);
            SetEvent(shared->Done);
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    WaitForSingleObject(shared->Done, limit_ms);
    std::lock_guard<std::mutex> hold(shared->Lock);
    if (WaitForSingleObject(shared->Done, 0) == WAIT_OBJECT_0) return std::move(shared->Found);
    shared->Abandoned = true;
    return std::nullopt;
}

void Close_Internet(HINTERNET& handle) {
    if (handle) InternetCloseHandle(handle);
    handle = nullptr;
}

void Set_Timeout(HINTERNET handle, DWORD option, unsigned long milliseconds) {
    DWORD value = milliseconds;
    InternetSetOptionA(handle, option, &value, sizeof value);
}

// A transfer that may exceed the bound; the bytes that arrived.
struct Transfer {
    bool Done = false;
    bool Too_Long = false;
    std::string Bytes;
};

}  // namespace

Wininet_Ftp_Client::Wininet_Ftp_Client(uint16_t port_for_0, Wininet_Ftp_Timeouts timeouts)
    : Port_For_0(port_for_0), Timeouts(timeouts) {
    if (Port_For_0 == 0) Port_For_0 = Port_From_Environment();
    if (Port_For_0 == 0) Port_For_0 = INTERNET_DEFAULT_FTP_PORT;
}

Wininet_Ftp_Client::~Wininet_Ftp_Client() {
    // Connections first: each belongs to a session.
    for (auto& [handle, entry] : Handles)
        if (entry.Session != 0) Release(entry, true);
    for (auto& [handle, entry] : Handles) Release(entry, true);
}

void Wininet_Ftp_Client::Note_Failure(unsigned long code, const std::string& words) {
    Last_Code = code;
    Last_Text = words.empty() ? System_Words(code) : words;
}

Wininet_Ftp_Client::Entry* Wininet_Ftp_Client::Find(Handle handle, bool session) {
    auto found = Handles.find(handle);
    if (found == Handles.end() || (found->second.Session == 0) != session) {
        Note_Failure(ERROR_INVALID_HANDLE, "");
        return nullptr;
    }
    if (found->second.Internet == nullptr) {
        Note_Failure(ERROR_INTERNET_OPERATION_CANCELLED, "");
        return nullptr;
    }
    return &found->second;
}

// Closing a connection says goodbye to the server (QUIT), which may not
// answer: the close runs on a worker and is waited for at most Close_Ms.
void Wininet_Ftp_Client::Release(Entry& entry, bool bounded) {
    HINTERNET internet = static_cast<HINTERNET>(entry.Internet);
    entry.Internet = nullptr;
    if (internet == nullptr) return;
    if (!bounded) {
        InternetCloseHandle(internet);
        return;
    }
    Run_Bounded<bool>(
        Timeouts.Close_Ms, [internet] { return InternetCloseHandle(internet) != FALSE; }, nullptr);
}

Ftp_Client::Handle Wininet_Ftp_Client::Internet_Open(const std::string& agent) {
    HINTERNET session =
        InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) {
        Note_Failure(GetLastError(), "");
        return 0;
    }
    // Inherited by the connections made through the session.
    Set_Timeout(session, INTERNET_OPTION_CONNECT_TIMEOUT, Timeouts.Connect_Ms);
    Set_Timeout(session, INTERNET_OPTION_CONNECT_RETRIES, 1);
    Set_Timeout(session, INTERNET_OPTION_SEND_TIMEOUT, Timeouts.Step_Ms);
    Set_Timeout(session, INTERNET_OPTION_RECEIVE_TIMEOUT, Timeouts.Step_Ms);
    Set_Timeout(session, INTERNET_OPTION_DATA_SEND_TIMEOUT, Timeouts.Step_Ms);
    Set_Timeout(session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, Timeouts.Step_Ms);
    Handle handle = Next_Handle++;
    Handles[handle] = Entry{session, 0};
    return handle;
}

Ftp_Client::Handle Wininet_Ftp_Client::Internet_Connect(Handle session, const std::string& server,
                                                        uint16_t port, const std::string& user,
                                                        const std::string& password) {
    Entry* owner = Find(session, true);
    if (owner == nullptr) return 0;
    HINTERNET internet = static_cast<HINTERNET>(owner->Internet);
    INTERNET_PORT target = port == 0 ? Port_For_0 : port;
    auto outcome = Run_Bounded<HINTERNET>(
        Timeouts.Connect_Ms,
        [=] {
            return InternetConnectA(internet, server.c_str(), target, user.c_str(),
                                    password.c_str(), INTERNET_SERVICE_FTP, 0, 0);
        },
        [](HINTERNET& late) { Close_Internet(late); });
    if (!outcome) {
        // Closing the session is what cancels the connect still under way.
        Release(*owner, false);
        Note_Failure(ERROR_INTERNET_TIMEOUT, "");
        return 0;
    }
    if (outcome->Result == nullptr) {
        Note_Failure(outcome->Error, outcome->Words);
        return 0;
    }
    Handle handle = Next_Handle++;
    Handles[handle] = Entry{outcome->Result, session};
    return handle;
}

bool Wininet_Ftp_Client::Set_Current_Directory(Handle connection, const std::string& folder) {
    Entry* entry = Find(connection, false);
    if (entry == nullptr) return false;
    HINTERNET internet = static_cast<HINTERNET>(entry->Internet);
    auto outcome = Run_Bounded<bool>(
        Timeouts.Step_Ms,
        [=] { return FtpSetCurrentDirectoryA(internet, folder.c_str()) != FALSE; }, nullptr);
    if (!outcome) {
        Release(*entry, false);
        Note_Failure(ERROR_INTERNET_TIMEOUT, "");
        return false;
    }
    if (!outcome->Result) Note_Failure(outcome->Error, outcome->Words);
    return outcome->Result;
}

bool Wininet_Ftp_Client::Get_File(Handle connection, const std::string& remote_name,
                                  const std::string& local_path, bool ascii,
                                  std::size_t max_bytes) {
    Entry* entry = Find(connection, false);
    if (entry == nullptr) return false;
    HINTERNET internet = static_cast<HINTERNET>(entry->Internet);
    DWORD flags =
        (ascii ? FTP_TRANSFER_TYPE_ASCII : FTP_TRANSFER_TYPE_BINARY) | INTERNET_FLAG_RELOAD;
    auto outcome = Run_Bounded<Transfer>(
        Timeouts.Step_Ms,
        [=] {
            Transfer transfer;
            HINTERNET file = FtpOpenFileA(internet, remote_name.c_str(), GENERIC_READ, flags, 0);
            if (file == nullptr) return transfer;
            char buffer[4096];
            for (;;) {
                DWORD got = 0;
                if (!InternetReadFile(file, buffer, sizeof buffer, &got)) break;
                if (got == 0) {
                    transfer.Done = true;
                    break;
                }
                if (got > max_bytes - transfer.Bytes.size()) {
                    transfer.Too_Long = true;
                    break;
                }
                transfer.Bytes.append(buffer, got);
            }
            DWORD error = GetLastError();
            // Closing a transfer cut short makes WinINet abort it (ABOR).
            InternetCloseHandle(file);
            SetLastError(transfer.Done ? 0 : error);
            return transfer;
        },
        nullptr);
    if (!outcome) {
        Release(*entry, false);
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
            if (entry.Session == handle) Release(entry, true);
        std::erase_if(Handles,
                      [handle](const auto& item) { return item.second.Session == handle; });
        found = Handles.find(handle);
    }
    Release(found->second, true);
    Handles.erase(found);
}

}  // namespace nrvnc
