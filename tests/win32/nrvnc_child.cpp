// A child program for the process tests (GUI subsystem, as the viewer is):
// NRVNC_CHILD_RECORD names a file that receives its command line exactly as
// GetCommandLineA gives it, a line feed, and the show state it was started
// with (-1 when none was given). Then it waits a minute, to be found in the
// process list and ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Record(const std::string& text) {
    const char* record = std::getenv("NRVNC_CHILD_RECORD");
    if (record == nullptr) return;
    if (FILE* file = std::fopen(record, "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

}  // namespace

int main() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    Record(std::string(GetCommandLineA()) + "\n" + std::to_string(show));
    Sleep(60000);
    return 0;
}
