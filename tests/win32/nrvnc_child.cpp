// A child program for the process and window tests (GUI subsystem, as the
// viewer is). What it does comes from its environment:
//   NRVNC_CHILD_RECORD  a file that receives its command line exactly as
//                       GetCommandLineA gives it, a line feed, and the show
//                       state it was started with (-1 when none was given);
//   NRVNC_CHILD_WINDOW  the title of a top-level window it makes (hidden).
// Then it waits a minute, to be found in the process list and ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    if (const char* record = std::getenv("NRVNC_CHILD_RECORD")) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        GetStartupInfoA(&startup);
        int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
        std::string text = std::string(GetCommandLineA()) + "\n" + std::to_string(show);
        // Written under another name and moved, so a reader sees all or nothing.
        std::string part = std::string(record) + ".part";
        if (FILE* file = std::fopen(part.c_str(), "wb")) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
            MoveFileExA(part.c_str(), record, MOVEFILE_REPLACE_EXISTING);
        }
    }
    if (const char* title = std::getenv("NRVNC_CHILD_WINDOW")) {
        CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                        GetModuleHandleA(nullptr), nullptr);
    }
    Sleep(60000);
    return 0;
}
