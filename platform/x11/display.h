// The one connection to the X server that the forms runtime and the desktop
// share, with the atoms, the visual and the screen's resolution they need.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/x11/xlib.h"

namespace nrvnc {

class X11_Display {
  public:
    // Opens the display given by name (empty: $DISPLAY). Returns nullptr
    // when it cannot; Open_Failure then tells why, in one line.
    static std::unique_ptr<X11_Display> Open(const std::string& name = "");
    static std::string Open_Failure(const std::string& name = "");
    ~X11_Display();
    X11_Display(const X11_Display&) = delete;
    X11_Display& operator=(const X11_Display&) = delete;

    Display* Dpy() const { return dpy_; }
    int Screen() const { return screen_; }
    Window Root() const { return root_; }
    Visual* Vis() const { return visual_; }
    Colormap Cmap() const { return colormap_; }
    int Depth() const { return depth_; }
    int Fd() const { return ConnectionNumber(dpy_); }

    // Dots per inch of the screen: the Xft.dpi resource when it is set,
    // else the physical resolution the server reports, else 96.
    double Dpi() const { return dpi_; }
    double Twips_Per_Pixel() const { return 1440.0 / dpi_; }
    int Width_Px() const { return DisplayWidth(dpy_, screen_); }
    int Height_Px() const { return DisplayHeight(dpy_, screen_); }

    unsigned long Pixel(Color colour);
    Atom Intern(const char* name);

    // True when a window manager that follows the EWMH conventions runs.
    // Has_Window_Manager keeps the answer for a second; Look_For_Window_Manager
    // asks the server every time.
    bool Has_Window_Manager();
    bool Look_For_Window_Manager();

  private:
    explicit X11_Display(Display* dpy);
    Display* dpy_;
    int screen_;
    Window root_;
    Visual* visual_;
    Colormap colormap_;
    int depth_;
    double dpi_ = 96;
    bool true_color_ = false;
    unsigned long red_mask_ = 0, green_mask_ = 0, blue_mask_ = 0;
    std::map<Color, unsigned long> allocated_;
    std::map<std::string, Atom> atoms_;
    int wm_checked_ms_ = -1;  // steady time of the last look, in ms
    bool wm_running_ = false;
};

// Reads a property of 32-bit items (XA_WINDOW, XA_CARDINAL, ...); empty
// when the window or the property is gone.
std::vector<unsigned long> Read_Long_Property(Display* dpy, Window w, Atom property, Atom type);
// The window's title: _NET_WM_NAME (UTF-8) when set, else WM_NAME. The
// second form reads through any connection, given the two atoms.
std::string Read_Window_Title(X11_Display& x, Window w);
std::string Read_Window_Title(Display* dpy, Window w, Atom net_wm_name, Atom utf8_string);

}  // namespace nrvnc
