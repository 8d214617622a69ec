// Other programs' windows, the window manager's "show the desktop", and the
// nrvnc program where there is no X display.
#include "tests/x11/x11_test_support.h"
// clang-format off
#include "platform/x11/desktop.h"
// clang-format on

namespace x11_test {
namespace {

class Desktop_Test : public X11_Test {
  protected:
    Window Top_Level(const std::string& wm_name) {
        Window w = XCreateSimpleWindow(c_, DefaultRootWindow(c_), 10, 10, 50, 50, 0, 0, 0);
        if (!wm_name.empty()) XStoreName(c_, w, wm_name.c_str());
        XMapWindow(c_, w);
        XSync(c_, False);
        return w;
    }
};

TEST_F(Desktop_Test, FindsOtherProgramsWindowsByTitleInAnyCaseInsideFrames) {
    nrvnc::X11_Desktop desktop(*display_);
    Window w = Top_Level("VNC Viewer : Connection Details");
    for (auto [title, found] : {std::pair{"VNC Viewer : Connection Details", true},
                                {"vnc viewer : connection details", true},
                                {"VNC VIEWER : CONNECTION DETAILS", true},
                                {"VNC Viewer", false},
                                {"VNC Viewer : Connection Details ", false}})
        EXPECT_EQ(desktop.Window_Exists(title), found) << title;
    XDestroyWindow(c_, w);
    XSync(c_, False);
    EXPECT_FALSE(desktop.Window_Exists("VNC Viewer : Connection Details"));

    // A frame as a window manager makes it: untitled, holding a decoration
    // window and the client, which carries WM_STATE.
    Window frame = Top_Level("");
    Window decoration = XCreateSimpleWindow(c_, frame, 0, 0, 50, 10, 0, 0, 0);
    XStoreName(c_, decoration, "decoration");
    XMapWindow(c_, decoration);
    Window client = Top_Level("Status of Connection");
    XReparentWindow(c_, client, frame, 0, 10);
    long wm_state[2] = {1, 0};
    Atom wm_state_atom = XInternAtom(c_, "WM_STATE", False);
    XChangeProperty(c_, client, wm_state_atom, wm_state_atom, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(wm_state), 2);
    XSync(c_, False);
    EXPECT_TRUE(desktop.Window_Exists("status of connection"));
    EXPECT_FALSE(desktop.Window_Exists("decoration"));  // not a top-level window
}

TEST_F(Desktop_Test, TaskbarCommandsDoNothingWithoutAWindowManager) {
    nrvnc::X11_Desktop desktop(*display_);
    const Window root = DefaultRootWindow(c_);
    XSelectInput(c_, root, SubstructureNotifyMask);
    auto showing_desktop_messages = [&] {
        XSync(c_, False);
        std::vector<long> values;
        for (XEvent e; XCheckTypedEvent(c_, ClientMessage, &e);)
            if (e.xclient.message_type == XInternAtom(c_, "_NET_SHOWING_DESKTOP", False))
                values.push_back(e.xclient.data.l[0]);
        return values;
    };
    auto minimize_and_restore = [&] {
        desktop.Post_Taskbar_Command(nrvnc::Taskbar_Minimize_All);
        desktop.Post_Taskbar_Command(nrvnc::Taskbar_Undo_Minimize_All);
    };
    minimize_and_restore();
    EXPECT_TRUE(showing_desktop_messages().empty());

    // A window manager announces itself with a check window naming itself;
    // then the commands become "show the desktop" on and off.
    Window check = XCreateSimpleWindow(c_, root, 0, 0, 1, 1, 0, 0, 0);
    Atom check_atom = XInternAtom(c_, "_NET_SUPPORTING_WM_CHECK", False);
    for (Window w : {root, check})
        XChangeProperty(c_, w, check_atom, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&check), 1);
    XSync(c_, False);
    minimize_and_restore();
    EXPECT_EQ(showing_desktop_messages(), (std::vector<long>{1, 0}));
    XDeleteProperty(c_, root, check_atom);
}

#ifdef NRVNC_PROGRAM
TEST(Program_Test, WithoutADisplayItSaysSoInOneLineAndEnds) {
    const char* saved = getenv("DISPLAY");
    for (auto [display, line] :
         {std::pair{"", "nrvnc: cannot open the X display: DISPLAY is not set\n"},
          {":987", "nrvnc: cannot open the X display \":987\"\n"}}) {
        *display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
        Child nrvnc = Spawn({NRVNC_PROGRAM}, 2);
        EXPECT_EQ(Read(nrvnc.Out_Fd, 10s), line);
        EXPECT_EQ(Exit_Status(nrvnc.Pid), 1);
        close(nrvnc.Out_Fd);
    }
    saved ? setenv("DISPLAY", saved, 1) : unsetenv("DISPLAY");
}
#endif

}  // namespace
}  // namespace x11_test
