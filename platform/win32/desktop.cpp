#include "platform/win32/desktop.h"

#include <windows.h>

namespace nrvnc {

bool Win32_Desktop::Window_Exists(const std::string& title) {
    return FindWindowA(nullptr, title.c_str()) != nullptr;
}

void Win32_Desktop::Post_Taskbar_Command(int command) {
    if (command != Taskbar_Minimize_All && command != Taskbar_Undo_Minimize_All) return;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbar != nullptr) PostMessageA(taskbar, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

}  // namespace nrvnc
