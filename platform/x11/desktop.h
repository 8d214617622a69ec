// The desktop around the program on X11: other programs' top-level windows
// and the window manager's "show the desktop" mode.
#pragma once

#include <string>

#include "platform/desktop.h"
#include "platform/x11/display.h"
#include "platform/x11/xlib.h"

namespace nrvnc {

class X11_Desktop : public Desktop {
  public:
    explicit X11_Desktop(X11_Display& display) : x_(display) {}

    // Looks at every top-level window: a child of the root, or, where a
    // window manager has put it in a frame, the client window inside the
    // frame (the one that carries WM_STATE). Titles compare without regard
    // to letter case.
    bool Window_Exists(const std::string& title) override;

    // Minimise all is the window manager's "showing the desktop" mode:
    // Taskbar_Minimize_All turns it on, Taskbar_Undo_Minimize_All off.
    // Without a window manager, and for any other command, nothing happens.
    void Post_Taskbar_Command(int command) override;

  private:
    Window Find_Client(Window w, int depth);
    X11_Display& x_;
};

}  // namespace nrvnc
