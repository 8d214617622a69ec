// The entry screens on real X servers whose resolution makes few font sizes
// read back unchanged (100, 110, 141 dpi), and on a 640 x 480 screen: each
// screen opens inside the screen, answers Esc, and the next one opens.

// gtest and the seam before X.h, which makes None and Status macros.
// clang-format off
#include <gtest/gtest.h>
#include "platform/x11/xlib.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "dialogs/entry/frm_input_box.h"
#include "platform/x11/desktop.h"
#include "platform/x11/display.h"
#include "platform/x11/fonts.h"
#include "platform/x11/forms.h"
#include "platform/x11/linux_services.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"
#include "tests/tools/child_process.h"

namespace x11_screens_test {
namespace {

using namespace child_test;

// The operator below is a second thread with an X connection of its own:
// without this, Xlib's shared state is unguarded between the two threads,
// and now and then xcb aborts the test ("Extra reply data still left in
// queue"). Before main, so before any other Xlib call.
const Status X_Threads = XInitThreads();

// A shown top-level window whose name starts with the text; 0 when none.
Window Shown_Window(Display* d, const std::string& start) {
    Window root = 0, parent = 0, *children = nullptr, found = 0;
    unsigned count = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes wa{};
        char* name = nullptr;
        if (XGetWindowAttributes(d, children[i], &wa) && wa.map_state == IsViewable &&
            XFetchName(d, children[i], &name) && name && std::string(name).rfind(start, 0) == 0)
            found = children[i];
        if (name) XFree(name);
    }
    if (children) XFree(children);
    return found;
}

struct Screen {
    int Dpi;
    const char* Size;
};

// One screen per test, so CTest runs each in a process of its own: a
// process that opens and closes one X display after another now and then
// finds a reply lost or left over in Xlib (a hang, or xcb's "Extra reply
// data still left in queue"), which the program, with one display for its
// whole life, never does.
class Entry_Screens_Under_X : public ::testing::TestWithParam<Screen> {};

TEST_P(Entry_Screens_Under_X, OpenAndTheNextOneOpensAfterEsc) {
    if (!nrvnc::Family_Resolves_To("Courier New", {"Liberation Mono"}))
        GTEST_SKIP() << "no font for Courier New";
    const Screen s = GetParam();
    {
        SCOPED_TRACE(std::string(s.Size) + " at " + std::to_string(s.Dpi) + " dpi");
        Xvfb server(s.Dpi, s.Size);
        if (!server.Running()) GTEST_SKIP() << "Xvfb is not installed";
        auto display = nrvnc::X11_Display::Open(server.Name());
        ASSERT_NE(display, nullptr);
        nrvnc::Linux_Services services;
        nrvnc::X11_Forms_Runtime forms(*display, "NRVNC");
        nrvnc::X11_Desktop desktop(*display);
        nrvnc::Platform platform{services.Clock_Service,   services.File_Service,
                                 services.Process_Service, desktop,
                                 services.Network_Service, forms};
        nrvnc::Misc m(platform);
        nrvnc::Select_Display_Font(m);
        ASSERT_EQ(m.Display_Font, "Courier New");

        // The operator: a second client waits for the screen, checks it
        // lies on the screen, and presses Esc in it.
        std::atomic<bool> done{false};
        std::atomic<int> off_screen{0}, messages{0};
        std::set<Window> entry_windows;  // the operator's, read after it ends
        std::thread operator_thread([&] {
            Display* c = XOpenDisplay(server.Name().c_str());
            XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
            auto press = [&](Window w, KeySym key) {
                XSetInputFocus(c, w, RevertToParent, CurrentTime);
                const KeyCode code = XKeysymToKeycode(c, key);
                XTestFakeKeyEvent(c, code, True, CurrentTime);
                XTestFakeKeyEvent(c, code, False, CurrentTime);
                XSync(c, False);
            };
            Window pressed = 0;
            std::chrono::steady_clock::time_point pressed_at{};
            while (c && !done) {
                // An error shows message 3: answer it, so the test ends.
                if (const Window message = Shown_Window(c, "  Norvane")) {
                    ++messages;
                    press(message, XK_Return);
                    Wait_Until([&] { return !Shown_Window(c, "  Norvane"); }, 5s);
                }
                // Esc until the screen goes: a key may come before the
                // screen takes keys. Not too often, though: an Esc that
                // arrives after its screen has gone lands on the next one.
                if (const Window w = Shown_Window(c, "  Enter")) {
                    const auto now = std::chrono::steady_clock::now();
                    if (w == pressed && now - pressed_at < 600ms) {
                        std::this_thread::sleep_for(20ms);
                        continue;
                    }
                    pressed = w;
                    pressed_at = now;
                    if (entry_windows.insert(w).second) {
                        XWindowAttributes wa{};
                        int x = 0, y = 0;
                        Window child;
                        XGetWindowAttributes(c, w, &wa);
                        XTranslateCoordinates(c, w, DefaultRootWindow(c), 0, 0, &x, &y, &child);
                        if (x < 0 || y < 0 || x + wa.width > WidthOfScreen(wa.screen) ||
                            y + wa.height > HeightOfScreen(wa.screen))
                            ++off_screen;
                    }
                    press(w, XK_Escape);
                }
                std::this_thread::sleep_for(100ms);
            }
            if (c) XCloseDisplay(c);
        });
        m.Repeater_Found = false;
        EXPECT_EQ(frmInputBox(m).User_Input_Form0(), nrvnc::Entry_Escape);
        m.Repeater_Found = true;
        EXPECT_EQ(frmInputBox(m).User_Input_Form0(), nrvnc::Entry_Escape);
        for (uint8_t sel : {2, 3, 4})
            EXPECT_EQ(frmInputBox(m).User_Input_Form1(sel), nrvnc::Entry_Escape);
        done = true;
        operator_thread.join();
        EXPECT_EQ(entry_windows.size(), 5u);
        EXPECT_EQ(off_screen, 0);
        EXPECT_EQ(messages, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Odd_Resolutions_And_A_Small_Screen, Entry_Screens_Under_X,
                         ::testing::Values(Screen{100, "1280x1024x24"}, Screen{110, "1280x1024x24"},
                                           Screen{141, "1280x1024x24"}, Screen{96, "640x480x24"}),
                         [](const auto& info) {
                             const std::string size = info.param.Size;
                             return std::to_string(info.param.Dpi) + "_Dpi_" +
                                    size.substr(0, size.rfind('x'));
                         });

}  // namespace
}  // namespace x11_screens_test
