#include "platform/x11/desktop.h"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/x11/encoding.h"
#include "platform/x11/event_wait.h"

namespace nrvnc {

namespace {

constexpr long Wm_State_Iconic = 3;

bool Has_Property(Display* dpy, Window w, Atom property) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool has = XGetWindowProperty(dpy, w, property, 0, 0, False, AnyPropertyType, &actual, &format,
                                  &count, &after, &data) == Success &&
               actual != None;
    if (data) XFree(data);
    return has;
}

bool Contains(const std::vector<unsigned long>& list, unsigned long value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

// The titles of the top-level windows, on a connection of its own so that
// the events it asks for never reach the forms.
//
// Every window whose children or WM_STATE decide what counts as top-level,
// and every window whose title is kept, is watched (its structure and
// properties) before it is read, so that a change made after the read is
// always reported. Any report that can change the answer marks the list
// stale, and the next look reads it again.
struct X11_Desktop::Title_Tracker {
    Display* Dpy = nullptr;
    bool Own_Connection = false;
    Window Root = 0;
    Atom Wm_State = None, Net_Wm_Name = None, Utf8 = None;
    bool Stale = true;
    std::vector<std::string> Titles;  // folded case

    Title_Tracker(X11_Display& x) {
        Dpy = XOpenDisplay(DisplayString(x.Dpy()));
        Own_Connection = Dpy != nullptr;
        // No connection to spare: read everything on every look, as the
        // events of the shared connection belong to the forms.
        if (!Dpy) Dpy = x.Dpy();
        Root = DefaultRootWindow(Dpy);
        const char* names[] = {"WM_STATE", "_NET_WM_NAME", "UTF8_STRING"};
        Atom atoms[3] = {None, None, None};
        XInternAtoms(Dpy, const_cast<char**>(names), 3, False, atoms);
        Wm_State = atoms[0], Net_Wm_Name = atoms[1], Utf8 = atoms[2];
        if (Own_Connection) {
            fcntl(ConnectionNumber(Dpy), F_SETFD, FD_CLOEXEC);
            XSelectInput(Dpy, Root, SubstructureNotifyMask);
        }
    }

    ~Title_Tracker() {
        if (!Own_Connection) return;
        Event_Wait::Unregister(ConnectionNumber(Dpy));
        XCloseDisplay(Dpy);
    }

    void Take_News() {
        if (!Own_Connection) {
            Stale = true;
            return;
        }
        while (XPending(Dpy) > 0) {
            XEvent e;
            XNextEvent(Dpy, &e);
            switch (e.type) {
                case CreateNotify:
                case DestroyNotify:
                case ReparentNotify:
                    Stale = true;
                    break;
                case PropertyNotify:
                    if (e.xproperty.atom == Wm_State || e.xproperty.atom == XA_WM_NAME ||
                        e.xproperty.atom == Net_Wm_Name)
                        Stale = true;
                    break;
                default:  // moves, maps, other properties: the titles stay
                    break;
            }
        }
        // The next Do_Events slice ends when more news comes.
        Event_Wait::Register(ConnectionNumber(Dpy), Event_Wait::Readable);
    }

    void Watch(Window w) {
        if (Own_Connection) XSelectInput(Dpy, w, SubstructureNotifyMask | PropertyChangeMask);
    }

    // The client window in a window manager's frame below w (which carries
    // no WM_STATE itself): the first window, level by level, that carries
    // WM_STATE. 0 when there is none.
    Window Client_In(Window w, int depth) {
        if (depth <= 0) return 0;
        Window root = 0, parent = 0;
        Window* kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(Dpy, w, &root, &parent, &kids, &n)) return 0;
        std::vector<Window> children(kids, kids + n);
        if (kids) XFree(kids);
        for (Window k : children) Watch(k);
        for (Window k : children)
            if (Has_Property(Dpy, k, Wm_State)) return k;
        for (Window k : children)
            if (Window found = Client_In(k, depth - 1)) return found;
        return 0;
    }

    void Read_Titles() {
        Titles.clear();
        Window root = 0, parent = 0;
        Window* kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(Dpy, Root, &root, &parent, &kids, &n)) return;
        std::vector<Window> top(kids, kids + n);
        if (kids) XFree(kids);
        for (Window w : top) {
            Watch(w);
            // A window with no client inside is a top-level window of its
            // own: there is no window manager, or the window was never shown.
            Window client = Has_Property(Dpy, w, Wm_State) ? w : Client_In(w, 3);
            if (!client) client = w;
            Titles.push_back(Fold_Case_Utf8(Read_Window_Title(Dpy, client, Net_Wm_Name, Utf8)));
        }
    }

    bool Has_Title(const std::string& folded) {
        Take_News();
        if (Stale) {
            Stale = false;
            Read_Titles();
        }
        return std::find(Titles.begin(), Titles.end(), folded) != Titles.end();
    }
};

X11_Desktop::X11_Desktop(X11_Display& display) : x_(display) {}

X11_Desktop::~X11_Desktop() = default;

bool X11_Desktop::Window_Exists(const std::string& title) {
    if (!titles_) titles_ = std::make_unique<Title_Tracker>(x_);
    return titles_->Has_Title(Fold_Case_Utf8(To_Utf8(title)));
}

void X11_Desktop::Post_Taskbar_Command(int command) {
    if (command == Taskbar_Minimize_All)
        Minimize_All();
    else if (command == Taskbar_Undo_Minimize_All)
        Undo_Minimize_All();
}

void X11_Desktop::Minimize_All() {
    if (!x_.Look_For_Window_Manager()) return;
    Display* dpy = x_.Dpy();
    Atom wm_state = x_.Intern("WM_STATE");
    Atom dock = x_.Intern("_NET_WM_WINDOW_TYPE_DOCK");
    Atom desktop = x_.Intern("_NET_WM_WINDOW_TYPE_DESKTOP");
    auto clients =
        Read_Long_Property(dpy, x_.Root(), x_.Intern("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (clients.empty())
        clients = Read_Long_Property(dpy, x_.Root(), x_.Intern("_NET_CLIENT_LIST"), XA_WINDOW);
    for (Window w : clients) {
        if (Contains(minimized_, w)) continue;
        auto state = Read_Long_Property(dpy, w, wm_state, wm_state);
        if (!state.empty() && static_cast<long>(state[0]) == Wm_State_Iconic) continue;
        auto type = Read_Long_Property(dpy, w, x_.Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM);
        if (!type.empty() && (type[0] == dock || type[0] == desktop)) continue;
        XIconifyWindow(dpy, w, x_.Screen());
        minimized_.push_back(w);
    }
    XFlush(dpy);
}

void X11_Desktop::Undo_Minimize_All() {
    std::vector<Window> windows;
    windows.swap(minimized_);
    if (windows.empty() || !x_.Look_For_Window_Manager()) return;
    Display* dpy = x_.Dpy();
    Atom wm_state = x_.Intern("WM_STATE");
    auto managed = Read_Long_Property(dpy, x_.Root(), x_.Intern("_NET_CLIENT_LIST"), XA_WINDOW);
    auto active = Read_Long_Property(dpy, x_.Root(), x_.Intern("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    Window was_active = active.empty() ? 0 : active[0];

    // Activating is how a taskbar restores a window; bottom first, so the
    // old stacking order comes back.
    auto activate = [&](Window w) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = x_.Intern("_NET_ACTIVE_WINDOW");
        e.xclient.format = 32;
        e.xclient.data.l[0] = 2;  // on behalf of a taskbar or pager
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, x_.Root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    };
    bool restored = false;
    for (Window w : windows) {
        if (!Contains(managed, w)) continue;  // closed meanwhile
        auto state = Read_Long_Property(dpy, w, wm_state, wm_state);
        // One the operator brought back already is left where it is.
        if (state.empty() || static_cast<long>(state[0]) != Wm_State_Iconic) continue;
        activate(w);
        restored = true;
        if (w == was_active) was_active = 0;
    }
    if (restored && was_active && Contains(managed, was_active)) {
        // The program's own windows are about to go; another window that
        // had the focus (the viewer) keeps it.
        auto pid = Read_Long_Property(dpy, was_active, x_.Intern("_NET_WM_PID"), XA_CARDINAL);
        if (pid.empty() || static_cast<long>(pid[0]) != static_cast<long>(getpid()))
            activate(was_active);
    }
    XFlush(dpy);
}

}  // namespace nrvnc
