// Other programs' windows and the window manager's "show the desktop".
#include "tests/x11/x11_test_support.h"
// clang-format off
#include "platform/x11/desktop.h"
// clang-format on

namespace x11_test {
namespace {

class Desktop_Test : public X11_Test {
  protected:
    Window Top_Level(const std::string& wm_name, bool map = true) {
        Display* c = client_->Dpy();
        Window w = XCreateSimpleWindow(c, client_->Root(), 10, 10, 50, 50, 0, 0, 0);
        if (!wm_name.empty()) XStoreName(c, w, wm_name.c_str());
        if (map) XMapWindow(c, w);
        XSync(c, False);
        return w;
    }
    void Set_Utf8_Name(Window w, const std::string& name) {
        XChangeProperty(client_->Dpy(), w, client_->Atom_Of("_NET_WM_NAME"),
                        client_->Atom_Of("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(name.data()),
                        static_cast<int>(name.size()));
        XSync(client_->Dpy(), False);
    }
};

TEST_F(Desktop_Test, FindsAnotherProgramsWindowByExactTitleInAnyCase) {
    nrvnc::X11_Desktop desktop(*display_);
    Window w = Top_Level("VNC Viewer : Connection Details");
    struct Case {
        const char* Title;
        bool Found;
    } cases[] = {
        {"VNC Viewer : Connection Details", true},   {"vnc viewer : connection details", true},
        {"VNC VIEWER : CONNECTION DETAILS", true},   {"VNC Viewer", false},
        {"VNC Viewer : Connection Details ", false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(desktop.Window_Exists(c.Title), c.Found) << c.Title;

    // _NET_WM_NAME, when set, is the title.
    Set_Utf8_Name(w, "VNC Viewer: Ke\xC3\xA9n");
    EXPECT_TRUE(desktop.Window_Exists("vnc viewer: KE\xC9N"));  // Latin-1 from the program
    EXPECT_FALSE(desktop.Window_Exists("VNC Viewer : Connection Details"));

    XDestroyWindow(client_->Dpy(), w);
    XSync(client_->Dpy(), False);
    EXPECT_FALSE(desktop.Window_Exists("VNC Viewer: Keen"));
    EXPECT_FALSE(desktop.Window_Exists("vnc viewer: KE\xC9N"));
}

TEST_F(Desktop_Test, LooksThroughWindowManagerFramesToTheClient) {
    nrvnc::X11_Desktop desktop(*display_);
    Display* c = client_->Dpy();
    // A frame as a window manager makes it: untitled, with a decoration
    // window and the client (which carries WM_STATE) inside.
    Window frame = Top_Level("");
    Window decoration = XCreateSimpleWindow(c, frame, 0, 0, 50, 10, 0, 0, 0);
    XStoreName(c, decoration, "decoration");
    XMapWindow(c, decoration);
    Window client = Top_Level("Status of Connection");
    XReparentWindow(c, client, frame, 0, 10);
    long wm_state[2] = {1, 0};
    Atom wm_state_atom = client_->Atom_Of("WM_STATE");
    XChangeProperty(c, client, wm_state_atom, wm_state_atom, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(wm_state), 2);
    XSync(c, False);

    EXPECT_TRUE(desktop.Window_Exists("status of connection"));
    EXPECT_FALSE(desktop.Window_Exists("decoration"));  // not a top-level window

    // The program's own forms count as well.
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("  Norvane 1"), events);
    Settle();
    EXPECT_TRUE(desktop.Window_Exists("  NORVANE 1"));
}

TEST_F(Desktop_Test, TaskbarCommandsBecomeShowingDesktopOnlyWithAWindowManager) {
    nrvnc::X11_Desktop desktop(*display_);
    Display* c = client_->Dpy();
    XSelectInput(c, client_->Root(), SubstructureNotifyMask);
    XSync(c, False);
    auto showing_desktop_messages = [&] {
        XSync(c, False);
        std::vector<long> values;
        XEvent e;
        while (XCheckTypedEvent(c, ClientMessage, &e))
            if (e.xclient.message_type == client_->Atom_Of("_NET_SHOWING_DESKTOP"))
                values.push_back(e.xclient.data.l[0]);
        return values;
    };

    // No window manager: nothing is sent, nothing breaks.
    desktop.Post_Taskbar_Command(nrvnc::Taskbar_Minimize_All);
    desktop.Post_Taskbar_Command(nrvnc::Taskbar_Undo_Minimize_All);
    EXPECT_TRUE(showing_desktop_messages().empty());

    // A window manager announces itself with a check window that points at
    // itself.
    Window check = XCreateSimpleWindow(c, client_->Root(), 0, 0, 1, 1, 0, 0, 0);
    Atom check_atom = client_->Atom_Of("_NET_SUPPORTING_WM_CHECK");
    for (Window w : {client_->Root(), check})
        XChangeProperty(c, w, check_atom, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&check), 1);
    XSync(c, False);
    desktop.Post_Taskbar_Command(nrvnc::Taskbar_Minimize_All);
    desktop.Post_Taskbar_Command(nrvnc::Taskbar_Undo_Minimize_All);
    desktop.Post_Taskbar_Command(273);  // not a taskbar command
    EXPECT_EQ(showing_desktop_messages(), (std::vector<long>{1, 0}));

    // A window manager that has gone leaves a stale root property behind.
    XDestroyWindow(c, check);
    XSync(c, False);
    desktop.Post_Taskbar_Command(nrvnc::Taskbar_Minimize_All);
    EXPECT_TRUE(showing_desktop_messages().empty());
    XDeleteProperty(c, client_->Root(), check_atom);
    XSync(c, False);
}

}  // namespace
}  // namespace x11_test
