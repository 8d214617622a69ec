// A private Xvfb for the X11 backend tests, a second client connection to
// look at windows and to type and click through XTest, and small waits that
// let the runtime handle events until something has happened.
#pragma once

// gtest and the seam before X.h, which makes None and Status macros.
// clang-format off
#include <gtest/gtest.h>
#include "platform/x11/xlib.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/forms.h"

namespace x11_test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Xvfb picks a free display number itself and reports it through -displayfd.
class Xvfb {
  public:
    explicit Xvfb(int dpi = 96, const std::string& size = "1024x768x24") {
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        int p[2];
        if (pipe(p) != 0) return;
        fcntl(p[0], F_SETFD, FD_CLOEXEC);
        std::vector<std::string> args = {"/usr/bin/Xvfb",
                                         "-displayfd",
                                         std::to_string(p[1]),
                                         "-nolisten",
                                         "tcp",
                                         "-noreset",
                                         "-screen",
                                         "0",
                                         size,
                                         "-dpi",
                                         std::to_string(dpi)};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(p[1]);
        std::string number;
        auto end = Clock::now() + 10s;
        while (Clock::now() < end) {
            pollfd pf{p[0], POLLIN, 0};
            if (poll(&pf, 1, 100) <= 0) continue;
            char c;
            if (read(p[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(p[0]);
        if (pid_ > 0 && !number.empty()) name_ = ":" + number;
    }
    ~Xvfb() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status;
        waitpid(pid_, &status, 0);
    }
    bool Running() const { return !name_.empty(); }
    const std::string& Name() const { return name_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
};

// Lets the runtime handle events until done() holds or the time is up.
template <typename Runtime>
bool Pump_Until(Runtime& runtime, const std::function<bool()>& done,
                std::chrono::milliseconds limit = 5s) {
    auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= end) return false;
        runtime.Do_Events();
    }
    return true;
}

// The test's own client: inspects windows and fakes input.
class Client {
  public:
    explicit Client(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) {
        if (dpy_) XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~Client() {
        if (dpy_) XCloseDisplay(dpy_);
    }
    Display* Dpy() const { return dpy_; }
    Window Root() const { return DefaultRootWindow(dpy_); }
    Atom Atom_Of(const char* name) const { return XInternAtom(dpy_, name, False); }

    std::string String_Property(Window w, const char* name, Atom type) const {
        Atom actual;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string value;
        if (XGetWindowProperty(dpy_, w, Atom_Of(name), 0, 4096, False, type, &actual, &format,
                               &count, &after, &data) == Success &&
            data && actual == type)
            value.assign(reinterpret_cast<char*>(data), count);
        if (data) XFree(data);
        return value;
    }
    std::vector<long> Long_Property(Window w, const char* name, Atom type) const {
        Atom actual;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(dpy_, w, Atom_Of(name), 0, 64, False, type, &actual, &format, &count,
                               &after, &data) == Success &&
            data && format == 32) {
            auto* v = reinterpret_cast<long*>(data);
            values.assign(v, v + count);
        }
        if (data) XFree(data);
        return values;
    }

    // The window's position on the root and its size.
    struct Rect {
        int X = 0, Y = 0, W = 0, H = 0;
    };
    Rect Root_Rect(Window w) const {
        Rect r;
        XWindowAttributes wa{};
        if (!XGetWindowAttributes(dpy_, w, &wa)) return r;
        Window child;
        XTranslateCoordinates(dpy_, w, Root(), 0, 0, &r.X, &r.Y, &child);
        r.W = wa.width, r.H = wa.height;
        return r;
    }
    int Map_State(Window w) const {
        XWindowAttributes wa{};
        if (!XGetWindowAttributes(dpy_, w, &wa)) return -1;
        return wa.map_state;
    }

    // The colour of a pixel of the screen as 0x00BBGGRR.
    nrvnc::Color Pixel_At(int x, int y) const {
        XImage* image = XGetImage(dpy_, Root(), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xFFFFFFFF;
        unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        // Xvfb's 24-bit visual: red in the high byte.
        return nrvnc::Rgb(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                          static_cast<int>(p & 0xFF));
    }

    void Focus(Window w) {
        XSetInputFocus(dpy_, w, RevertToParent, CurrentTime);
        XSync(dpy_, False);
    }
    void Press_Key(KeySym sym, bool shift = false) {
        KeyCode code = XKeysymToKeycode(dpy_, sym);
        KeyCode shift_code = XKeysymToKeycode(dpy_, XK_Shift_L);
        if (shift) XTestFakeKeyEvent(dpy_, shift_code, True, CurrentTime);
        XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
        XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
        if (shift) XTestFakeKeyEvent(dpy_, shift_code, False, CurrentTime);
        XSync(dpy_, False);
    }
    void Click_At(int x, int y) {
        XTestFakeMotionEvent(dpy_, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
        XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
        XSync(dpy_, False);
    }
    void Press_At(int x, int y) {
        XTestFakeMotionEvent(dpy_, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
        XSync(dpy_, False);
    }
    void Release_At(int x, int y) {
        XTestFakeMotionEvent(dpy_, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
        XSync(dpy_, False);
    }

  private:
    Display* dpy_;
};

}  // namespace x11_test

// clang-format off
#include <memory>
#include "platform/x11/display.h"
#include "platform/x11/forms.h"
#include "platform/x11/window.h"
// clang-format on

namespace x11_test {

// One Xvfb for the test program; each test opens its own connections, so
// its windows go with it.
class X11_Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!server_) server_ = std::make_unique<Xvfb>();
    }
    void SetUp() override {
        if (!server_->Running()) GTEST_SKIP() << "Xvfb is not installed";
        display_ = nrvnc::X11_Display::Open(server_->Name());
        ASSERT_NE(display_, nullptr);
        runtime_ = std::make_unique<nrvnc::X11_Forms_Runtime>(*display_, "NRVNC");
        client_ = std::make_unique<Client>(server_->Name());
        ASSERT_NE(client_->Dpy(), nullptr);
    }
    void TearDown() override {
        client_.reset();
        runtime_.reset();
        display_.reset();
    }

    // A form with the dialogs' frame, 6000 x 4000 twips at (1500, 1200).
    static nrvnc::Form_Design Dialog_Design(const std::string& caption) {
        nrvnc::Form_Design d;
        d.Caption = caption;
        d.Border = nrvnc::Border_Style::Fixed_Single;
        d.Control_Box = false;
        d.Key_Preview = true;
        d.Back_Color = nrvnc::Rgb(0, 0, 0);
        d.Left = 1500, d.Top = 1200, d.Width = 6000, d.Height = 4000;
        d.Font.Name = "Courier New";
        d.Font.Size = 14;
        d.Font.Bold = true;
        return d;
    }
    static nrvnc::X11_Form& As_X11(nrvnc::Form& form) {
        return dynamic_cast<nrvnc::X11_Form&>(form);
    }
    // Shows the form and waits until it is on screen.
    void Show(nrvnc::Form& form) {
        form.Show();
        Window w = As_X11(form).Handle();
        ASSERT_TRUE(Pump_Until(*runtime_, [&] { return client_->Map_State(w) == IsViewable; }));
    }
    // Lets the runtime run and the server catch up.
    void Settle() {
        for (int i = 0; i < 5; ++i) {
            runtime_->Do_Events();
            XSync(client_->Dpy(), False);
        }
    }

    static std::unique_ptr<Xvfb> server_;
    std::unique_ptr<nrvnc::X11_Display> display_;
    std::unique_ptr<nrvnc::X11_Forms_Runtime> runtime_;
    std::unique_ptr<Client> client_;
};

// Destroyed at exit, which ends the server.
inline std::unique_ptr<Xvfb> X11_Test::server_;

}  // namespace x11_test
