// The X11 backend on a private Xvfb, and a second client connection of the
// test's own that looks at windows and types and clicks through XTest.
#pragma once

// gtest and the seam before X.h, which makes None and Status macros.
// clang-format off
#include <gtest/gtest.h>
#include "platform/x11/xlib.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include <memory>
#include <string>

#include "platform/x11/display.h"
#include "platform/x11/forms.h"
#include "platform/x11/window.h"
#include "tests/tools/child_process.h"

namespace x11_test {

using namespace child_test;
using nrvnc::Rgb;

inline std::string Property(Display* d, Window w, const char* name, Atom type) {
    Atom actual;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 4096, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        data && actual == type)
        value.assign(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    return value;
}

struct Rect {
    int X = 0, Y = 0, W = 0, H = 0;
};
// The window's position on the root and its size.
inline Rect Root_Rect(Display* d, Window w) {
    Rect r;
    XWindowAttributes wa{};
    Window child;
    if (!XGetWindowAttributes(d, w, &wa)) return r;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &r.X, &r.Y, &child);
    return {r.X, r.Y, wa.width, wa.height};
}

inline bool Viewable(Display* d, Window w) {
    XWindowAttributes wa{};
    return XGetWindowAttributes(d, w, &wa) && wa.map_state == IsViewable;
}

inline void Press_Key(Display* d, KeySym sym, bool shift = false) {
    KeyCode code = XKeysymToKeycode(d, sym), shift_code = XKeysymToKeycode(d, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(d, shift_code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(d, shift_code, False, CurrentTime);
    XSync(d, False);
}

// One Xvfb for the test program; each test opens its own connections, so
// its windows go with it.
class X11_Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!server_) server_ = std::make_unique<Xvfb>();
    }
    void SetUp() override {
        if (!server_->Running()) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_NE(display_ = nrvnc::X11_Display::Open(server_->Name()), nullptr);
        runtime_ = std::make_unique<nrvnc::X11_Forms_Runtime>(*display_, "NRVNC");
        ASSERT_NE(c_ = XOpenDisplay(server_->Name().c_str()), nullptr);
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows come and go
    }
    void TearDown() override {
        if (c_) XCloseDisplay(c_);
    }

    // A form with the dialogs' frame, 6000 x 4000 twips at (1500, 1200).
    static nrvnc::Form_Design Dialog_Design(const std::string& caption) {
        nrvnc::Form_Design d;
        d.Caption = caption, d.Key_Preview = true, d.Font = {"Courier New", 14, true};
        d.Left = 1500, d.Top = 1200, d.Width = 6000, d.Height = 4000;
        return d;
    }
    static Window Handle(nrvnc::Form& form) {
        return dynamic_cast<nrvnc::X11_Form&>(form).Handle();
    }
    // Lets the runtime handle events until done() holds or the time is up.
    template <typename Done>
    bool Pump_Until(Done done) {
        return Wait_Until([&] { return runtime_->Do_Events(), done(); }, 5s);
    }
    void Show(nrvnc::Form& form) {
        form.Show();
        ASSERT_TRUE(Pump_Until([&] { return Viewable(c_, Handle(form)); }));
    }
    // Lets the runtime run and the server catch up.
    void Settle() {
        for (int i = 0; i < 5; ++i) runtime_->Do_Events(), XSync(c_, False);
    }
    // The colour of a pixel of the screen as 0x00BBGGRR.
    nrvnc::Color Pixel_At(int x, int y) const {
        XImage* image = XGetImage(c_, DefaultRootWindow(c_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xFFFFFFFF;
        unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return Rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);  // Xvfb: red in the high byte
    }

    static inline std::unique_ptr<Xvfb> server_;  // ended at exit
    std::unique_ptr<nrvnc::X11_Display> display_;
    std::unique_ptr<nrvnc::X11_Forms_Runtime> runtime_;
    Display* c_ = nullptr;
};

}  // namespace x11_test
