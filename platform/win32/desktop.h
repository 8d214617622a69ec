// The desktop around the program on Windows: other programs' top-level
// windows and the taskbar.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace nrvnc {

class Win32_Desktop : public Desktop {
  public:
    // FindWindowA with no class and the title: any process's top-level
    // window, hidden ones included; the system compares without regard to
    // letter case. An answer less than 8 ms old is given again without
    // asking (the title compared exactly), so a polling loop that waits
    // 10 ms between passes still asks in every pass; a window found before
    // that still bears the same text answers for FindWindowA.
    bool Window_Exists(const std::string& title) override;

    // Taskbar_Minimize_All and Taskbar_Undo_Minimize_All are posted as
    // WM_COMMAND to the window of class "Shell_TrayWnd" when it is visible.
    // Without one (or with Wine's hidden one), and for any other command,
    // nothing happens. After the undo, once the restored windows are back
    // (at most about 400 ms), the front goes to the viewer: the window of a
    // program this one started, else the window that was in front before
    // the undo when it is not one of ours.
    void Post_Taskbar_Command(int command) override;

  private:
    struct Answer {
        std::string Title;
        HWND Window;        // what FindWindowA gave, null when nothing
        std::wstring Text;  // that window's title when it was found
        std::chrono::steady_clock::time_point When;
    };
    static bool Ask(Answer& answer);
    static void Front_After_Restore(HWND front);
    static constexpr std::size_t Answers_Kept = 8;
    std::vector<Answer> answers_;
};

}  // namespace nrvnc
