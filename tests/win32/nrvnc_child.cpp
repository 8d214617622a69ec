// A child program for the process and file tests (GUI subsystem, as
// the viewer is). What it does comes from its environment:
//   NRVNC_CHILD_RECORD  a file that receives its command line exactly as
//                       GetCommandLineA gives it, a line feed, and the show
//                       state it was started with (-1 when none was given);
//   NRVNC_CHILD_START   a command line it starts as NRVNC starts the viewer;
//                       the record then holds the new process's ID (0 when
//                       the start failed), a line feed and "started";
//   NRVNC_CHILD_READ    a file it opens and reads in a loop for two seconds,
//                       as another instance reads its settings; the record
//                       then holds the number of reads, a line feed and the
//                       number of reads that found the file missing or not
//                       one whole save (a run of one letter, then CR LF).
// Then it waits a minute, to be found in the process list and ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/processes.h"

namespace {

// Written under another name and moved, so a reader sees all or nothing.
void Record(const std::string& text) {
    const char* record = std::getenv("NRVNC_CHILD_RECORD");
    if (record == nullptr) return;
    std::string part = std::string(record) + ".part";
    if (FILE* file = std::fopen(part.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        MoveFileExA(part.c_str(), record, MOVEFILE_REPLACE_EXISTING);
    }
}

bool Whole_Save(const std::string& text) {
    return text.size() > 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 &&
           text.find_first_not_of(text[0]) == text.size() - 2;
}

std::string Read_In_A_Loop(const char* path) {
    int reads = 0, torn = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 2000;) {
        HANDLE file =
            CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            torn += GetLastError() != ERROR_SHARING_VIOLATION;  // gone, not busy
            continue;
        }
        char buffer[8192];
        DWORD got = 0;
        ReadFile(file, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(file);
        ++reads;
        torn += !Whole_Save(std::string(buffer, got));
    }
    return std::to_string(reads) + "\n" + std::to_string(torn);
}

}  // namespace

int main() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    if (const char* path = std::getenv("NRVNC_CHILD_READ")) {
        Record(Read_In_A_Loop(path));
    } else if (const char* line = std::getenv("NRVNC_CHILD_START")) {
        const char* record_path = std::getenv("NRVNC_CHILD_RECORD");
        std::string command = line, record = record_path ? record_path : "";
        SetEnvironmentVariableA("NRVNC_CHILD_START", nullptr);  // the next one just waits
        SetEnvironmentVariableA("NRVNC_CHILD_RECORD", nullptr);
        uint32_t id = 0;
        try {
            id = nrvnc::Win32_Processes().Start(command, nrvnc::Show_State::Hidden);
        } catch (...) {
        }
        SetEnvironmentVariableA("NRVNC_CHILD_RECORD", record.c_str());
        Record(std::to_string(id) + "\nstarted");
    } else {
        Record(std::string(GetCommandLineA()) + "\n" + std::to_string(show));
    }
    Sleep(60000);
    return 0;
}
