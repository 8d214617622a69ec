#include "platform/win32/processes.h"

#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include "platform/error.h"
#include "platform/win32/errors.h"

namespace nrvnc {

namespace {

constexpr DWORD Terminate_Wait_Ms = 3000;

std::string First_Word(const std::string& line) {
    std::string::size_type start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return std::string();
    std::string::size_type end = line.find_first_of(" \t", start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

uint32_t Win32_Processes::Start(const std::string& command_line, Show_State show) {
    std::string name = First_Word(command_line);
    if (name.empty()) {
        throw Runtime_Error(Error_Number::Invalid_Procedure_Call,
                            "Invalid procedure call or argument: empty command line");
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show == Show_State::Hidden ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // CreateProcessA may write into the command line; it gets a copy.
    std::string line = command_line;
    // The viewer must outlive NRVNC, also when NRVNC runs inside a job that
    // ends its processes when it closes (remote-support and management tools
    // start programs so): it leaves the job, or stays in it where the job
    // does not allow that.
    BOOL made = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                               CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr, &startup, &started);
    if (!made && GetLastError() == ERROR_ACCESS_DENIED) {
        line = command_line;
        made = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &started);
    }
    if (!made) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            throw Runtime_Error(Error_Number::File_Not_Found, "File not found: " + name);
        }
        throw Runtime_Error(File_Error_Number(error), System_Words(error) + ": " + name);
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return started.dwProcessId;
}

std::vector<Process_Entry> Win32_Processes::List() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        throw Runtime_Error(Error_Number::Path_File_Access_Error, System_Words(error));
    }
    std::vector<Process_Entry> entries;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        entries.push_back({entry.szExeFile, entry.th32ProcessID});
    CloseHandle(snapshot);
    return entries;
}

void Win32_Processes::Terminate(uint32_t process_id) {
    if (process_id == 0 || process_id == GetCurrentProcessId()) return;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id);
    if (process == nullptr) return;
    // TerminateProcess only starts the end; the wait makes "ended when this
    // returns" true on Windows. Under Wine the process is gone at once, so
    // the tests cannot show that the wait is needed.
    if (TerminateProcess(process, 1)) WaitForSingleObject(process, Terminate_Wait_Ms);
    CloseHandle(process);
}

}  // namespace nrvnc
