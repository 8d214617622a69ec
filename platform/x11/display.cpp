#include "platform/x11/display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "platform/x11/encoding.h"

namespace nrvnc {

namespace {

// Windows vanish between a query and the next request, and some requests
// (focus on a window that is not viewable yet) fail harmlessly; Xlib's own
// handler would end the program for each of them.
int Ignore_X_Error(Display*, XErrorEvent*) {
    return 0;
}

double Resolution_Of(Display* dpy, int screen) {
    if (const char* dpi = XGetDefault(dpy, "Xft", "dpi")) {
        double v = std::atof(dpi);
        if (v >= 48 && v <= 480) return std::round(v);
    }
    int mm = DisplayHeightMM(dpy, screen);
    if (mm > 0) {
        double v = DisplayHeight(dpy, screen) * 25.4 / mm;
        if (v >= 48 && v <= 480) return std::round(v);
    }
    return 96;
}

int Shift_Of(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++shift;
    return shift;
}

int Bits_Of(unsigned long mask) {
    int bits = 0;
    for (; mask; mask >>= 1) bits += static_cast<int>(mask & 1);
    return bits;
}

unsigned long Scale_Into(unsigned value8, unsigned long mask) {
    int bits = Bits_Of(mask);
    unsigned long v = bits >= 8 ? static_cast<unsigned long>(value8) << (bits - 8)
                                : static_cast<unsigned long>(value8) >> (8 - bits);
    return (v << Shift_Of(mask)) & mask;
}

}  // namespace

std::string X11_Display::Open_Failure(const std::string& name) {
    const char* shown = name.empty() ? std::getenv("DISPLAY") : name.c_str();
    if (!shown || !*shown) return "cannot open the X display: DISPLAY is not set";
    return std::string("cannot open the X display \"") + shown + "\"";
}

std::unique_ptr<X11_Display> X11_Display::Open(const std::string& name) {
    Display* dpy = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!dpy) return nullptr;
    return std::unique_ptr<X11_Display>(new X11_Display(dpy));
}

X11_Display::X11_Display(Display* dpy)
    : dpy_(dpy),
      screen_(DefaultScreen(dpy)),
      root_(RootWindow(dpy, screen_)),
      visual_(DefaultVisual(dpy, screen_)),
      colormap_(DefaultColormap(dpy, screen_)),
      depth_(DefaultDepth(dpy, screen_)) {
    XSetErrorHandler(Ignore_X_Error);
    // The viewer and any other child must not inherit the connection.
    fcntl(ConnectionNumber(dpy_), F_SETFD, FD_CLOEXEC);
    // The atoms the forms and the desktop use, in one round trip instead of
    // one each.
    static const char* const Known[] = {"UTF8_STRING",
                                        "WM_DELETE_WINDOW",
                                        "WM_PROTOCOLS",
                                        "WM_STATE",
                                        "_MOTIF_WM_HINTS",
                                        "_NET_ACTIVE_WINDOW",
                                        "_NET_CLIENT_LIST",
                                        "_NET_CLIENT_LIST_STACKING",
                                        "_NET_SUPPORTING_WM_CHECK",
                                        "_NET_WM_NAME",
                                        "_NET_WM_ICON_NAME",
                                        "_NET_WM_PID",
                                        "_NET_WM_STATE",
                                        "_NET_WM_STATE_SKIP_TASKBAR",
                                        "_NET_WM_WINDOW_TYPE",
                                        "_NET_WM_WINDOW_TYPE_DESKTOP",
                                        "_NET_WM_WINDOW_TYPE_DOCK",
                                        "_NET_WM_WINDOW_TYPE_NORMAL"};
    constexpr int Count = static_cast<int>(std::size(Known));
    Atom atoms[Count];
    if (XInternAtoms(dpy_, const_cast<char**>(Known), Count, False, atoms))
        for (int i = 0; i < Count; ++i) atoms_[Known[i]] = atoms[i];
    dpi_ = Resolution_Of(dpy_, screen_);
    XVisualInfo tmpl{};
    tmpl.visualid = XVisualIDFromVisual(visual_);
    int n = 0;
    if (XVisualInfo* info = XGetVisualInfo(dpy_, VisualIDMask, &tmpl, &n)) {
        if (n > 0 && info[0].c_class == TrueColor) {
            true_color_ = true;
            red_mask_ = info[0].red_mask;
            green_mask_ = info[0].green_mask;
            blue_mask_ = info[0].blue_mask;
        }
        XFree(info);
    }
}

X11_Display::~X11_Display() {
    XCloseDisplay(dpy_);
}

unsigned long X11_Display::Pixel(Color colour) {
    unsigned r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if (true_color_)
        return Scale_Into(r, red_mask_) | Scale_Into(g, green_mask_) | Scale_Into(b, blue_mask_);
    auto it = allocated_.find(colour);
    if (it != allocated_.end()) return it->second;
    XColor xc{};
    xc.red = static_cast<unsigned short>(r * 257);
    xc.green = static_cast<unsigned short>(g * 257);
    xc.blue = static_cast<unsigned short>(b * 257);
    xc.flags = DoRed | DoGreen | DoBlue;
    unsigned long pixel =
        XAllocColor(dpy_, colormap_, &xc)
            ? xc.pixel
            : ((r + g + b) / 3 >= 128 ? WhitePixel(dpy_, screen_) : BlackPixel(dpy_, screen_));
    allocated_[colour] = pixel;
    return pixel;
}

Atom X11_Display::Intern(const char* name) {
    auto it = atoms_.find(name);
    if (it != atoms_.end()) return it->second;
    Atom a = XInternAtom(dpy_, name, False);
    atoms_[name] = a;
    return a;
}

bool X11_Display::Has_Window_Manager() {
    // Asked on every change of a window; a window manager that starts or
    // ends is noticed within a second.
    int now = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count() &
                               0x3FFFFFFF);
    if (wm_checked_ms_ >= 0 && now - wm_checked_ms_ >= 0 && now - wm_checked_ms_ < 1000)
        return wm_running_;
    wm_checked_ms_ = now;
    wm_running_ = Look_For_Window_Manager();
    return wm_running_;
}

bool X11_Display::Look_For_Window_Manager() {
    Atom check = Intern("_NET_SUPPORTING_WM_CHECK");
    auto on_root = Read_Long_Property(dpy_, root_, check, XA_WINDOW);
    if (on_root.empty() || on_root[0] == 0) return false;
    // A window manager that died leaves the root's property behind; its
    // check window, gone with it, no longer points at itself.
    auto on_child = Read_Long_Property(dpy_, on_root[0], check, XA_WINDOW);
    return !on_child.empty() && on_child[0] == on_root[0];
}

std::vector<unsigned long> Read_Long_Property(Display* dpy, Window w, Atom property, Atom type) {
    std::vector<unsigned long> values;
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, w, property, 0, 1024, False, type, &actual, &format, &count, &after,
                           &data) == Success &&
        data && actual == type && format == 32) {
        auto* items = reinterpret_cast<unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data) XFree(data);
    return values;
}

std::string Read_Window_Title(X11_Display& x, Window w) {
    return Read_Window_Title(x.Dpy(), w, x.Intern("_NET_WM_NAME"), x.Intern("UTF8_STRING"));
}

std::string Read_Window_Title(Display* dpy, Window w, Atom net_wm_name, Atom utf8) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    bool found = false;
    if (XGetWindowProperty(dpy, w, net_wm_name, 0, 4096, False, utf8, &actual, &format, &count,
                           &after, &data) == Success &&
        data && actual == utf8 && format == 8) {
        title.assign(reinterpret_cast<char*>(data), count);
        found = true;
    }
    if (data) XFree(data);
    if (found) return title;

    XTextProperty prop{};
    if (!XGetWMName(dpy, w, &prop) || !prop.value) return title;
    if (prop.encoding == XA_STRING) {
        title = Latin1_To_Utf8(std::string(reinterpret_cast<char*>(prop.value), prop.nitems));
    } else if (prop.encoding == utf8) {
        title.assign(reinterpret_cast<char*>(prop.value), prop.nitems);
    } else {
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(dpy, &prop, &list, &n) >= Success && list) {
            if (n > 0 && list[0]) title = list[0];
            XFreeStringList(list);
        }
    }
    XFree(prop.value);
    return title;
}

}  // namespace nrvnc
