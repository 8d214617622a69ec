// The desktop around the program on X11: other programs' top-level windows,
// and minimising them all and giving them back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/x11/display.h"
#include "platform/x11/xlib.h"

namespace nrvnc {

class X11_Desktop : public Desktop {
  public:
    explicit X11_Desktop(X11_Display& display);
    ~X11_Desktop() override;
    X11_Desktop(const X11_Desktop&) = delete;
    X11_Desktop& operator=(const X11_Desktop&) = delete;

    // Looks at every top-level window: a child of the root, or, where a
    // window manager has put it in a frame, the client window inside the
    // frame (the one that carries WM_STATE). Titles compare without regard
    // to letter case.
    //
    // The titles are kept on a connection of their own, opened at the first
    // call, and read again only after the X server told that something they
    // depend on changed (a window made, gone or moved to another parent, a
    // title or WM_STATE set). A call therefore costs no round trip while
    // nothing changes, and sees a change as soon as the server reports it;
    // the connection is registered with Event_Wait, so a Do_Events slice
    // ends when there is news.
    bool Window_Exists(const std::string& title) override;

    // With a window manager (EWMH), Taskbar_Minimize_All minimises every
    // program's window that is on the screen now (not docks and desktop
    // windows, not windows that are minimised already) and remembers them;
    // Taskbar_Undo_Minimize_All restores exactly those that are still there
    // and still minimised, in their old stacking order, and then gives the
    // focus back to the window that had it if it is another one (a viewer
    // started meanwhile stays in front). Nothing depends on the window
    // manager's "show the desktop" mode, which most of them leave by
    // themselves when a new window appears. Without a window manager, and
    // for any other command, nothing happens.
    void Post_Taskbar_Command(int command) override;

  private:
    struct Title_Tracker;
    void Minimize_All();
    void Undo_Minimize_All();

    X11_Display& x_;
    std::unique_ptr<Title_Tracker> titles_;
    std::vector<Window> minimized_;  // bottom to top of the stacking order
};

}  // namespace nrvnc
