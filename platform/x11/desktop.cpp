#include "platform/x11/desktop.h"

#include <X11/Xatom.h>

#include "platform/x11/encoding.h"

namespace nrvnc {

namespace {

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

}  // namespace

// The client window in a window manager's frame: the first window, breadth
// first, that carries WM_STATE. 0 when there is none.
Window X11_Desktop::Find_Client(Window w, int depth) {
    Display* dpy = x_.Dpy();
    if (Has_Property(dpy, w, x_.Intern("WM_STATE"))) return w;
    if (depth <= 0) return 0;
    Window root = 0, parent = 0;
    Window* kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &kids, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i)
        if (Has_Property(dpy, kids[i], x_.Intern("WM_STATE"))) found = kids[i];
    for (unsigned i = 0; i < n && !found; ++i) found = Find_Client(kids[i], depth - 1);
    if (kids) XFree(kids);
    return found;
}

bool X11_Desktop::Window_Exists(const std::string& title) {
    Display* dpy = x_.Dpy();
    std::string wanted = Fold_Case_Utf8(To_Utf8(title));
    Window root = 0, parent = 0;
    Window* kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, x_.Root(), &root, &parent, &kids, &n)) return false;
    bool found = false;
    for (unsigned i = 0; i < n && !found; ++i) {
        // A window with no client inside is a top-level window of its own:
        // there is no window manager, or the window was never shown.
        Window client = Find_Client(kids[i], 3);
        if (!client) client = kids[i];
        found = Fold_Case_Utf8(Read_Window_Title(x_, client)) == wanted;
    }
    if (kids) XFree(kids);
    return found;
}

void X11_Desktop::Post_Taskbar_Command(int command) {
    long showing;
    if (command == Taskbar_Minimize_All)
        showing = 1;
    else if (command == Taskbar_Undo_Minimize_All)
        showing = 0;
    else
        return;
    if (!x_.Look_For_Window_Manager()) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = x_.Root();
    e.xclient.message_type = x_.Intern("_NET_SHOWING_DESKTOP");
    e.xclient.format = 32;
    e.xclient.data.l[0] = showing;
    XSendEvent(x_.Dpy(), x_.Root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(x_.Dpy());
}

}  // namespace nrvnc
