// The desktop around the program: other programs' windows.
#pragma once

#include <string>

namespace nrvnc {

// Commands of the taskbar: minimise every window, and undo that.
constexpr int Taskbar_Minimize_All = 419;       // hexadecimal 01A3
constexpr int Taskbar_Undo_Minimize_All = 416;  // hexadecimal 01A0

class Desktop {
public:
    virtual ~Desktop() = default;

    // True when a top-level window of any program has exactly this title,
    // compared without regard to letter case.
    virtual bool Window_Exists(const std::string& title) = 0;

    // Posts a command to the taskbar (or what stands for it); does not wait
    // and does nothing when there is none.
    virtual void Post_Taskbar_Command(int command) = 0;
};

}  // namespace nrvnc
