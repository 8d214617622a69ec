#include "platform/win32/desktop.h"

#include <windows.h>

namespace nrvnc {

bool Win32_Desktop::Window_Exists(const std::string& title) {
    return FindWindowA(nullptr, title.c_str()) != nullptr;
}

void Win32_Desktop::Post_Taskbar_Command(int command) {
    if (command != Taskbar_Minimize_All && command != Taskbar_Undo_Minimize_All) return;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    // Only a taskbar the user can see takes the command. Wine keeps a hidden
    // one without a desktop of its own, and there the command opens its start
    // menu instead, which then swallows the operator's first click.
    if (taskbar != nullptr && IsWindowVisible(taskbar))
        PostMessageA(taskbar, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

}  // namespace nrvnc
