// The X11 backend on a private Xvfb, looked at and driven through a second
// client connection of the test's own (XTest types and clicks): forms as
// real windows, keys and clicks reaching the handlers, the system message
// box, other programs' windows, the entry screens on odd resolutions, and
// the program where there is no display.

// gtest and the seam before X.h, which makes None and Status macros.
// clang-format off
#include <gtest/gtest.h>
#include "platform/x11/xlib.h"
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "dialogs/entry/frm_input_box.h"
#include "platform/x11/desktop.h"
#include "platform/x11/display.h"
#include "platform/x11/fonts.h"
#include "platform/x11/forms.h"
#include "platform/x11/linux_services.h"
#include "platform/x11/window.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"
#include "tests/tools/child_process.h"

namespace x11_test {
namespace {

using namespace child_test;
using nrvnc::Rgb;

// The operators below are second threads with X connections of their own:
// without this, Xlib's shared state is unguarded between the threads, and
// now and then xcb aborts a test ("Extra reply data still left in queue").
// Before main, so before any other Xlib call.
const Status X_Threads = XInitThreads();

struct Rect {
    int X = 0, Y = 0, W = 0, H = 0;
};
// The window's position on the root and its size.
Rect Root_Rect(Display* d, Window w) {
    Rect r;
    XWindowAttributes wa{};
    Window child;
    XGetWindowAttributes(d, w, &wa);
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &r.X, &r.Y, &child);
    return {r.X, r.Y, wa.width, wa.height};
}

bool Viewable(Display* d, Window w) {
    XWindowAttributes wa{};
    return XGetWindowAttributes(d, w, &wa) && wa.map_state == IsViewable;
}

// Presses the key at code, with the modifier key held when one is given.
void Press_Key(Display* d, KeyCode code, KeySym held = NoSymbol) {
    const KeyCode modifier = held ? XKeysymToKeycode(d, held) : 0;
    if (modifier) XTestFakeKeyEvent(d, modifier, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    if (modifier) XTestFakeKeyEvent(d, modifier, False, CurrentTime);
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
        if (server_->Name.empty()) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_NE(display_ = nrvnc::X11_Display::Open(server_->Name), nullptr);
        runtime_ = std::make_unique<nrvnc::X11_Forms_Runtime>(*display_, "NRVNC");
        ASSERT_NE(c_ = XOpenDisplay(server_->Name.c_str()), nullptr);
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
        return Eventually([&] { return runtime_->Do_Events(), done(); }, 5s);
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
    nrvnc::Form_Events no_events_;
};

// A shown form has its size, and its drawing survives being covered.
TEST_F(X11_Test, AShownFormHasItsSizeAndItsDrawing) {
    auto form = runtime_->Load_Form(Dialog_Design("drawing"), no_events_);
    form->Box(300, 300, 1500, 1200, Rgb(255, 0, 0), true);  // 20..100 x 20..80 px, painted unshown
    Show(*form);
    Settle();
    const Rect r = Root_Rect(c_, Handle(*form));
    // 6000 x 4000 twips at 96 dpi less the frame.
    EXPECT_EQ(r.W, 400 - 6);
    EXPECT_EQ(r.H, 267 - 26);
    auto expect_picture = [&](nrvnc::Color box) {
        EXPECT_EQ(Pixel_At(r.X + 20, r.Y + 20), box);  // corners inclusive
        EXPECT_EQ(Pixel_At(r.X + 100, r.Y + 80), box);
        EXPECT_EQ(Pixel_At(r.X + 101, r.Y + 81), Rgb(0, 0, 0));
    };
    expect_picture(Rgb(255, 0, 0));

    // Another client's window covers the form and goes: the drawing comes
    // back from what the form keeps.
    Window cover = XCreateSimpleWindow(c_, DefaultRootWindow(c_), r.X, r.Y, 300, 200, 0, 0, ~0ul);
    XMapRaised(c_, cover);
    XSync(c_, False);
    EXPECT_EQ(Pixel_At(r.X + 50, r.Y + 50), Rgb(255, 255, 255));
    XDestroyWindow(c_, cover);
    XSync(c_, False);
    expect_picture(Rgb(255, 0, 0));
    form->Cls();
    Settle();
    expect_picture(Rgb(0, 0, 0));
}

// A polling loop that finds nothing waits 1 ms at first, then longer, up
// to 10 ms: quick to answer after a pause, yet cheap while nothing happens.
TEST_F(X11_Test, AnIdleLoopsWaitsGrowFrom1To10Ms) {
    std::vector<double> turns;  // ms after the start at which each turn ended
    for (auto start = Clock::now(); turns.empty() || turns.back() < 300;)
        runtime_->Do_Events(),
            turns.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    EXPECT_GE(std::count_if(turns.begin(), turns.end(), [](double t) { return t < 15; }), 3);
    EXPECT_GE(turns.size(), 20u);
    EXPECT_LE(turns.size(), 45u);
}

TEST_F(X11_Test, SizesAreWholePixelsAtTheResolutionXftDpiSets) {
    // At 96 dpi a pixel is 0.75 point.
    for (auto [set, whole] :
         {std::pair{1.0f, 0.75f}, {9.0f, 9.0f}, {10.0f, 9.75f}, {14.0f, 14.25f}})
        EXPECT_EQ(runtime_->Fonts().Renderable_Size("Courier New", set), whole) << set;
    // A form reads back what the screen renders.
    auto form = runtime_->Load_Form(Dialog_Design("sizes"), no_events_);
    form->Set_Font_Size(10);
    EXPECT_EQ(form->Font_Size(), 9.75f);
    // A desktop that sets Xft.dpi decides the resolution (the screens runs
    // below check that the server's resolution does).
    const std::string resources = "Xft.dpi:\t144\n";
    XChangeProperty(c_, DefaultRootWindow(c_), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(c_, False);
    EXPECT_DOUBLE_EQ(nrvnc::X11_Display::Open(server_->Name)->Twips_Per_Pixel(), 10);
    XDeleteProperty(c_, DefaultRootWindow(c_), XA_RESOURCE_MANAGER);
}

struct Recorder : nrvnc::Form_Events {
    std::vector<std::pair<int, int>> downs;  // key code, shift
    std::vector<int> presses;
    void Form_KeyDown(int16_t& key, int16_t shift) override { downs.push_back({key, shift}); }
    void Form_KeyPress(int16_t& ch) override { presses.push_back(ch); }
};

// The viewable top-level window whose title starts with this, or 0.
Window Find(Display* d, const std::string& title) {
    Window root, parent, *kids = nullptr, found = 0;
    unsigned n = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n);
    for (unsigned i = 0; i < n && !found; ++i) {
        char* name = nullptr;
        if (Viewable(d, kids[i]) && XFetchName(d, kids[i], &name) &&
            std::string(name).starts_with(title))
            found = kids[i];
        if (name) XFree(name);
    }
    if (kids) XFree(kids);
    return found;
}

// Gives the server of the display this keyboard layout; false when
// setxkbmap is missing or fails.
bool Set_Layout(const std::string& display, const char* layout) {
    return Exit_Status(Spawn({"/usr/bin/setxkbmap", "-display", display, "-layout", layout}).Pid) ==
           0;
}

// The keys are pressed where a US keyboard has the symbol: on the Russian
// and Greek layouts, Alt with the key of A gives the access letter A (the
// letter by key position), whatever the layout puts there.
TEST_F(X11_Test, KeysArriveWithTheVirtualKeyCodesAndTheLayoutsCharacters) {
    using nrvnc::Shift_Mask::Alt, nrvnc::Shift_Mask::Shift;
    const struct {
        const char* Layout;
        KeySym Sym;  // the key that carries this symbol on a US keyboard
        bool Num_Lock;
        int Shift, Key_Code, Character;
    } cases[] = {
        {"us", XK_1, 0, Shift, 49, '!'},
        {"us", XK_KP_0, 1, 0, 96, '0'},
        {"us", XK_KP_Decimal, 1, 0, 110, '.'},
        {"us", XK_F2, 0, 0, 113, 0},
        {"us", XK_KP_Enter, 0, 0, 13, 13},
        {"us", XK_Left, 0, 0, 37, 0},
        {"us", XK_Delete, 0, 0, 46, 0},
        {"us", XK_BackSpace, 0, 0, 8, 8},
        {"us", XK_Tab, 0, 0, 9, 9},
        {"us", XK_a, 0, Shift, 65, 'A'},
        {"us", XK_a, 0, Alt, 65, 0},      // Alt types no character
        {"us", XK_KP_Home, 0, 0, 36, 0},  // Num Lock off: cursor keys
        // French: the top row types "&é\"'(-è_çà", its digits with Shift.
        {"fr", XK_1, 0, 0, 49, '&'},
        {"fr", XK_1, 0, Shift, 49, '1'},
        {"fr", XK_q, 0, 0, 65, 'a'},
        {"ru", XK_a, 0, Alt, 65, 0},
        {"ru", XK_x, 0, Alt, 88, 0},
        {"gr", XK_a, 0, Alt, 65, 0},
    };
    Recorder events;  // on a form that sees every key first, focused
    auto form = runtime_->Load_Form(Dialog_Design("input"), events);
    Show(*form);
    XSetInputFocus(c_, Handle(*form), RevertToParent, CurrentTime);
    const unsigned num_lock = XkbKeysymToModifiers(c_, XK_Num_Lock);
    std::string layout = "us";  // the server's at the start, where the keys are looked up
    std::vector<KeyCode> codes;
    for (const auto& k : cases) codes.push_back(XKeysymToKeycode(c_, k.Sym));
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.Layout) + " " + XKeysymToString(k.Sym));
        if (k.Layout != layout && !Set_Layout(server_->Name, (layout = k.Layout).c_str()))
            GTEST_SKIP() << "setxkbmap cannot set the layout " << layout;
        XkbLockModifiers(c_, XkbUseCoreKbd, num_lock, k.Num_Lock ? num_lock : 0);
        events.downs.clear();
        events.presses.clear();
        Press_Key(c_, codes[&k - cases], k.Shift == Alt ? XK_Alt_L : k.Shift ? XK_Shift_L : 0);
        std::vector<std::pair<int, int>> downs = {{k.Key_Code, k.Shift}};
        if (k.Shift) downs.insert(downs.begin(), {k.Shift == Alt ? 18 : 16, 0});  // held first
        ASSERT_TRUE(Pump_Until([&] { return events.downs.size() >= downs.size(); }));
        Settle();
        EXPECT_EQ(events.downs, downs);
        EXPECT_EQ(events.presses, k.Character ? std::vector{k.Character} : std::vector<int>{});
    }
    XkbLockModifiers(c_, XkbUseCoreKbd, num_lock, 0);
    Set_Layout(server_->Name, "us");
}

TEST_F(X11_Test, MessageBoxClosesOnEnter) {
    std::atomic<bool> closed = false;
    // The operator, in a thread of its own while the box waits.
    std::thread answer([&, d = XOpenDisplay(server_->Name.c_str())] {
        Window box = 0, focus;
        int revert;
        Eventually([&] { return (box = Find(d, "Box")) != 0; });
        Eventually([&] { return XGetInputFocus(d, &focus, &revert), focus == box; }, 5s);
        Press_Key(d, XKeysymToKeycode(d, XK_Return));
        // Should Enter not close it, Esc does, so that the test ends and fails.
        if (!(closed = box && Eventually([&] { return !Find(d, "Box"); }, 5s)))
            Press_Key(d, XKeysymToKeycode(d, XK_Escape));
        XCloseDisplay(d);
    });
    runtime_->Message_Box("\r\n     The Access Code must be 4 character number.    ", "Box");
    answer.join();
    EXPECT_TRUE(closed);
}

// Openbox on a server of its own: the operator has minimised M before the
// start, NRVNC minimises A, B and C, the operator restores B meanwhile and
// the viewer V comes up. Giving the desktop back restores A and C in their
// old order, leaves M minimised and B where it is, below the viewer, and
// leaves the focus with the viewer. Meanwhile the desktop finds the viewer
// by its whole title in any case inside openbox's frame, and no more once it
// is gone.
TEST(Window_Manager_Test, GivingBackRestoresWhatWasMinimisedInOrderAndTheViewerKeepsTheFocus) {
    Xvfb server;
    if (server.Name.empty() || access("/usr/bin/openbox", X_OK) != 0)
        GTEST_SKIP() << "needs Xvfb and openbox";
    Child wm =
        Spawn({"/usr/bin/env", "DISPLAY=" + server.Name, "/usr/bin/openbox", "--sm-disable"});
    auto display = nrvnc::X11_Display::Open(server.Name);
    Display* c = XOpenDisplay(server.Name.c_str());
    ASSERT_TRUE(display && c);
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const Window root = DefaultRootWindow(c);
    auto longs = [&](Window w, const char* name, Atom type) {
        XSync(c, False);
        return nrvnc::Read_Long_Property(c, w, display->Intern(name), type);
    };
    auto state = [&](Window w) {
        auto v = longs(w, "WM_STATE", display->Intern("WM_STATE"));
        return v.empty() ? -1L : static_cast<long>(v[0]);
    };
    auto active = [&] {
        auto v = longs(root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return v.empty() ? 0ul : v[0];
    };
    auto open = [&] {  // another program's window
        long pid = getpid() + 1;
        Window w = XCreateSimpleWindow(c, root, 0, 0, 200, 100, 0, 0, 0);
        XChangeProperty(c, w, display->Intern("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&pid), 1);
        XMapWindow(c, w);
        EXPECT_TRUE(Eventually([&] { return state(w) == NormalState && active() == w; }));
        return w;
    };
    // Openbox has come up once it manages a window mapped afresh.
    const Window probe = XCreateSimpleWindow(c, root, 0, 0, 10, 10, 0, 0, 0);
    ASSERT_TRUE(Eventually([&] {
        XUnmapWindow(c, probe), XMapWindow(c, probe);
        return Eventually([&] { return state(probe) == NormalState; }, 200ms);
    }));
    XDestroyWindow(c, probe);
    const Window M = open(), A = open(), B = open(), C = open();
    XIconifyWindow(c, M, DefaultScreen(c));
    ASSERT_TRUE(Eventually([&] { return state(M) == IconicState; }));

    nrvnc::X11_Desktop desktop(*display);
    desktop.Post_Taskbar_Command(nrvnc::Taskbar_Minimize_All);
    ASSERT_TRUE(Eventually([&] { return state(A) + state(B) + state(C) == 3 * IconicState; }));
    XMapRaised(c, B);  // the operator restores it
    ASSERT_TRUE(Eventually([&] { return state(B) == NormalState; }));
    const Window V = open();
    // The desktop finds the viewer's title inside the frame, and a new one.
    XStoreName(c, V, "Status of Connection");
    XSync(c, False);
    EXPECT_TRUE(Eventually([&] { return desktop.Window_Exists("STATUS of connection"); }));
    XStoreName(c, V, "Connected");
    XSync(c, False);
    EXPECT_TRUE(Eventually([&] { return !desktop.Window_Exists("status of connection"); }));
    EXPECT_TRUE(desktop.Window_Exists("connected"));
    desktop.Post_Taskbar_Command(nrvnc::Taskbar_Undo_Minimize_All);
    EXPECT_TRUE(Eventually([&] { return state(A) + state(C) == 2 * NormalState; }));
    // Bottom to top: M stays where it was.
    const std::vector<unsigned long> order = {M, B, A, C, V};
    Eventually([&] { return longs(root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW) == order; }, 3s);
    EXPECT_EQ(longs(root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW), order);
    EXPECT_TRUE(Eventually([&] { return active() == V; }, 3s));  // C's activation may come first
    EXPECT_EQ(state(M), IconicState);
    EXPECT_FALSE(desktop.Window_Exists("connect"));  // the whole title
    XDestroyWindow(c, V);                            // and a window that goes is no longer found
    XSync(c, False);
    EXPECT_TRUE(Eventually([&] { return !desktop.Window_Exists("connected"); }));
    XCloseDisplay(c);
    Reap(wm.Pid);
}

TEST(Program_Test, WithoutADisplayItSaysSoInOneLineAndEnds) {
    for (auto [display, line] :
         {std::pair{"-uDISPLAY", "nrvnc: cannot open the X display: DISPLAY is not set\n"},
          {"DISPLAY=:987", "nrvnc: cannot open the X display \":987\"\n"}}) {
        Child nrvnc = Spawn({"/usr/bin/env", display, NRVNC_PROGRAM}, 2);
        EXPECT_EQ(Read(nrvnc.Out_Fd, 10s), line);
        EXPECT_EQ(Exit_Status(nrvnc.Pid), 1);
        close(nrvnc.Out_Fd);
    }
}

// The entry screens on real X servers whose resolution makes few font sizes
// read back unchanged (100, 110, 141 dpi), and on a 640 x 480 screen: each
// screen opens inside the screen, answers Esc, and the next one opens.

// One screen per test, so CTest runs each in a process of its own: a
// process that opens and closes one X display after another now and then
// finds a reply lost or left over in Xlib (a hang, or xcb's "Extra reply
// data still left in queue"), which the program, with one display for its
// whole life, never does.
class Entry_Screens_Under_X : public ::testing::TestWithParam<std::pair<int, const char*>> {};

// The operator, on a connection of its own, acts whenever a screen waits
// for it (every pass of a waiting dialog sleeps): answers an error (message
// 3) with Enter, so the test ends, and presses Esc in each entry screen once
// it has checked that the screen lies on the screen.
struct Operator_Clock : nrvnc::Linux_Clock {
    void Sleep_Ex(uint32_t ms, bool alertable) override {
        for (const char* title : {"  Norvane", "  Enter"}) {
            const Window w = Find(C, title);
            // A key may come before the screen takes keys: pressed again a while later.
            if (!w || (!Seen[title].insert(w).second && ++Passes % 20 != 0)) continue;
            const Rect r = Root_Rect(C, w);
            Off_Screen += r.X < 0 || r.Y < 0 || r.X + r.W > DisplayWidth(C, DefaultScreen(C)) ||
                          r.Y + r.H > DisplayHeight(C, DefaultScreen(C));
            XSetInputFocus(C, w, RevertToParent, CurrentTime);
            Press_Key(C, XKeysymToKeycode(C, *title == 'N' ? XK_Return : XK_Escape));
        }
        Linux_Clock::Sleep_Ex(ms, alertable);
    }
    Display* C;
    std::map<std::string, std::set<Window>> Seen;
    int Passes = 0, Off_Screen = 0;
};

TEST_P(Entry_Screens_Under_X, OpenAndTheNextOneOpensAfterEsc) {
    if (!nrvnc::Family_Resolves_To("Courier New", {"Liberation Mono"}))
        GTEST_SKIP() << "no font for Courier New";
    const auto [dpi, size] = GetParam();
    Xvfb server(dpi, size + std::string("x24"));
    if (server.Name.empty()) GTEST_SKIP() << "Xvfb is not installed";
    auto display = nrvnc::X11_Display::Open(server.Name);
    Operator_Clock clock;
    ASSERT_TRUE(display && (clock.C = XOpenDisplay(server.Name.c_str())));
    EXPECT_DOUBLE_EQ(display->Twips_Per_Pixel(), 1440.0 / dpi);
    nrvnc::Linux_Services services;
    nrvnc::X11_Forms_Runtime forms(*display, "NRVNC");
    nrvnc::X11_Desktop desktop(*display);
    nrvnc::Platform platform{clock,   services.File_Service,    services.Process_Service,
                             desktop, services.Network_Service, forms};
    nrvnc::Misc m(platform);
    nrvnc::Select_Display_Font(m);
    ASSERT_EQ(m.Display_Font, "Courier New");
    m.Repeater_Found = false;
    EXPECT_EQ(frmInputBox(m).User_Input_Form0(), nrvnc::Entry_Escape);
    m.Repeater_Found = true;
    EXPECT_EQ(frmInputBox(m).User_Input_Form0(), nrvnc::Entry_Escape);
    for (uint8_t sel : {2, 3, 4})
        EXPECT_EQ(frmInputBox(m).User_Input_Form1(sel), nrvnc::Entry_Escape);
    EXPECT_EQ(clock.Seen["  Enter"].size(), 5u);
    EXPECT_EQ(clock.Seen["  Norvane"].size(), 0u);
    EXPECT_EQ(clock.Off_Screen, 0);
    XCloseDisplay(clock.C);
}

INSTANTIATE_TEST_SUITE_P(Odd_Resolutions_And_A_Small_Screen, Entry_Screens_Under_X,
                         ::testing::Values(std::pair{100, "1280x1024"}, std::pair{110, "1280x1024"},
                                           std::pair{141, "1280x1024"}, std::pair{96, "640x480"}),
                         [](const auto& info) {
                             return std::to_string(info.param.first) + "_Dpi_" + info.param.second;
                         });

}  // namespace
}  // namespace x11_test

// fontconfig keeps its configuration, loaded on first use, until the
// process ends; the leak checker of sanitizer builds need not report it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
