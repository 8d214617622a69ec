// The desktop around the program on Windows: other programs' top-level
// windows and the taskbar.
#pragma once

#include <string>

#include "platform/desktop.h"

namespace nrvnc {

class Win32_Desktop : public Desktop {
  public:
    // FindWindowA with no class and the title: any process's top-level
    // window, hidden ones included; the system compares without regard to
    // letter case.
    bool Window_Exists(const std::string& title) override;

    // Taskbar_Minimize_All and Taskbar_Undo_Minimize_All are posted as
    // WM_COMMAND to the window of class "Shell_TrayWnd" when it is visible.
    // Without one (or with Wine's hidden one), and for any other command,
    // nothing happens.
    void Post_Taskbar_Command(int command) override;
};

}  // namespace nrvnc
