// The Win32 forms runtime with real windows (under Wine on Xvfb in the
// test command): forms as top-level windows in twips of the screen, kept
// drawing that comes back after the window's pixels were lost, owner-drawn
// buttons, keys typed with SendInput reaching the model, focus, the system
// message box.
#include "platform/win32/forms.h"

#include <gtest/gtest.h>
#include <imm.h>
#include <windows.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/window.h"

namespace win32_forms_test {
namespace {

using nrvnc::Rgb;
using namespace std::chrono_literals;

// What the handlers saw, in order: "down 36", "press a", "click 11",
// "got 11", "lost 1".
struct Recorder : nrvnc::Form_Events {
    std::vector<std::string> Seen;
    int Drop_Key = -1;   // Form_KeyDown sets this key code to 0
    int Drop_Char = -1;  // Form_KeyPress sets this character to 0
    void Form_KeyDown(int16_t& key_code, int16_t) override {
        Seen.push_back("down " + std::to_string(key_code));
        if (key_code == Drop_Key) key_code = 0;
    }
    void Form_KeyPress(int16_t& key_ascii) override {
        Seen.push_back(std::string("press ") + static_cast<char>(key_ascii));
        if (key_ascii == Drop_Char) key_ascii = 0;
    }
    void Control_Click(int id) override { Seen.push_back("click " + std::to_string(id)); }
    void Control_GotFocus(int id) override { Seen.push_back("got " + std::to_string(id)); }
    void Control_LostFocus(int id) override { Seen.push_back("lost " + std::to_string(id)); }
    bool Saw(const std::string& what) const {
        return std::find(Seen.begin(), Seen.end(), what) != Seen.end();
    }
};

constexpr int Field = 1, Accept = 11, Exit = 14;
constexpr nrvnc::Color Red = Rgb(255, 0, 0), Green = Rgb(128, 255, 128), White = 0xFFFFFF;

// The entry form in small: a text box and two buttons, the form sees keys first.
nrvnc::Form_Design Entry_Design(const std::string& caption) {
    nrvnc::Form_Design d;
    d.Caption = caption, d.Key_Preview = true, d.Font = {"Courier New", 14, true};
    d.Left = 1500, d.Top = 1200, d.Width = 6000, d.Height = 4000;
    auto control = [](int id, nrvnc::Control_Kind kind, const char* caption, int tab, double left) {
        nrvnc::Control_Design c;
        c.Id = id, c.Kind = kind, c.Caption = caption, c.Tab_Index = tab;
        c.Left = left, c.Top = 300, c.Width = 1500, c.Height = 600;
        c.Font = {"Courier New", 12, true};
        return c;
    };
    d.Controls = {control(Field, nrvnc::Control_Kind::Text_Box, "", 0, 150),
                  control(Accept, nrvnc::Control_Kind::Command_Button, "&Accept", 1, 1800),
                  control(Exit, nrvnc::Control_Kind::Command_Button, "E&xit", 2, 3450)};
    return d;
}

class Win32_Forms_Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetProcessDPIAware(); }  // as the program's manifest says
    void SetUp() override { runtime_ = std::make_unique<nrvnc::Win32_Forms_Runtime>("NRVNC"); }

    // Lets the runtime handle events until done() holds or 5 s are up.
    bool Pump_Until(const std::function<bool()>& done) {
        auto end = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < end) {
            runtime_->Do_Events();
            if (done()) return true;
        }
        return false;
    }
    void Settle() {
        for (int i = 0; i < 10; ++i) runtime_->Do_Events();
    }
    static HWND Handle(nrvnc::Form& form) {
        return dynamic_cast<nrvnc::Win32_Form&>(form).Handle();
    }
    static HWND Control(nrvnc::Form& form, int id) {
        return dynamic_cast<nrvnc::Win32_Form&>(form).Control_Handle(id);
    }
    void Show(nrvnc::Form& form) {
        form.Show();
        form.Bring_To_Top();
        ASSERT_TRUE(Pump_Until([&] { return GetForegroundWindow() == Handle(form); }));
    }
    int Px_X(double twips) const { return std::lround(twips / runtime_->Twips_Per_Pixel_X()); }
    int Px_Y(double twips) const { return std::lround(twips / runtime_->Twips_Per_Pixel_Y()); }

    std::unique_ptr<nrvnc::Win32_Forms_Runtime> runtime_;
    nrvnc::Form_Events no_events_;
};

// The colour of a pixel of a window's client area as the window shows it.
nrvnc::Color Pixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

TEST_F(Win32_Forms_Test, FormsAreSizedInTwipsOfTheScreen) {
    HDC screen = GetDC(nullptr);
    const int dpi_x = GetDeviceCaps(screen, LOGPIXELSX), dpi_y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_DOUBLE_EQ(runtime_->Twips_Per_Pixel_X(), 1440.0 / dpi_x);
    EXPECT_DOUBLE_EQ(runtime_->Twips_Per_Pixel_Y(), 1440.0 / dpi_y);

    auto form = runtime_->Load_Form(Entry_Design("  Norvane 16"), no_events_);
    Show(*form);
    HWND w = Handle(*form);
    // A caption and a thin fixed frame; no system menu, close, minimise,
    // maximise button or sizing border.
    LONG style = GetWindowLongA(w, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    // The outer rectangle where the twips say; the scale is the client area.
    RECT outer{}, client{};
    GetWindowRect(w, &outer);
    GetClientRect(w, &client);
    EXPECT_EQ(outer.left, Px_X(1500));
    EXPECT_EQ(outer.top, Px_Y(1200));
    EXPECT_NEAR(outer.right - outer.left, Px_X(6000), 1);
    EXPECT_NEAR(outer.bottom - outer.top, Px_Y(4000), 1);
    EXPECT_EQ(client.right, Px_X(form->Scale_Width()));
    EXPECT_EQ(client.bottom, Px_Y(form->Scale_Height()));
    form->Set_Width(7500);
    GetWindowRect(w, &outer);
    EXPECT_NEAR(outer.right - outer.left, Px_X(7500), 1);
}

TEST_F(Win32_Forms_Test, KeptDrawingComesBackWhenTheWindowLosesItsPixels) {
    nrvnc::Form_Design design = Entry_Design("drawing");
    design.Controls.clear();
    auto form = runtime_->Load_Form(design, no_events_);
    form->Box(300, 300, 1200, 900, Red, true);  // painted before the form is shown
    form->Set_Draw_Width(3);
    form->Box(1500, 1500, 3000, 2400, White, false);
    Show(*form);
    Settle();
    HWND w = Handle(*form);
    auto expect_picture = [&](nrvnc::Color box, const char* when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(Pixel(w, Px_X(300), Px_Y(300)), box);  // corners inclusive
        EXPECT_EQ(Pixel(w, Px_X(1200), Px_Y(900)), box);
        EXPECT_EQ(Pixel(w, Px_X(1200) + 1, Px_Y(900) + 1), Rgb(0, 0, 0));
        // A 3-pixel line centred on the outline's edge.
        EXPECT_EQ(Pixel(w, Px_X(1500) - 1, Px_Y(1800)), box == Red ? White : 0);
        EXPECT_EQ(Pixel(w, Px_X(1500) + 1, Px_Y(1800)), box == Red ? White : 0);
        EXPECT_EQ(Pixel(w, Px_X(1500) + 2, Px_Y(1800)), Rgb(0, 0, 0));
    };
    expect_picture(Red, "shown");
    // Something else paints over the window, as a window covering it would;
    // the repaint comes from what the form keeps.
    auto scribble = [w] {
        HDC dc = GetDC(w);
        RECT all{0, 0, 2000, 2000};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(w, dc);
    };
    scribble();
    InvalidateRect(w, nullptr, TRUE);
    Settle();
    expect_picture(Red, "uncovered");
    scribble();
    form->Set_State(nrvnc::Window_State::Minimized);
    ASSERT_TRUE(Pump_Until([&] { return IsIconic(w) != FALSE; }));
    form->Set_State(nrvnc::Window_State::Normal);
    ASSERT_TRUE(Pump_Until([&] { return !IsIconic(w); }));
    Settle();
    expect_picture(Red, "restored");
    form->Cls();
    Settle();
    expect_picture(Rgb(0, 0, 0), "cleared");
}

TEST_F(Win32_Forms_Test, ButtonsShowTheirBackColourAndTheModelsFocus) {
    auto form = runtime_->Load_Form(Entry_Design("buttons"), no_events_);
    form->Item(Accept).Set_Back_Color(White);
    form->Item(Exit).Set_Back_Color(Green);
    Show(*form);
    form->Item(Accept).Set_Focus();
    Settle();
    // Dots of the focus rectangle on the row 3 pixels in from the top.
    auto focus_dots = [&](int id) {
        HWND b = Control(*form, id);
        RECT r{};
        GetClientRect(b, &r);
        int dots = 0;
        for (int x = 4; x < r.right - 4; ++x) dots += Pixel(b, x, 3) != form->Item(id).Back_Color();
        return dots;
    };
    EXPECT_GT(focus_dots(Accept), 0);
    EXPECT_EQ(focus_dots(Exit), 0);

    form->Item(Exit).Set_Focus();
    form->Item(Accept).Set_Back_Color(Green);
    Settle();
    EXPECT_EQ(Pixel(Control(*form, Accept), 5, 5), Green);  // repainted at the change
    EXPECT_EQ(focus_dots(Accept), 0);
    EXPECT_GT(focus_dots(Exit), 0);
}

// Types with SendInput, as a keyboard does, into the foreground window: the
// keys go down in order and come up in reverse (Shift, Tab, Tab, Shift).
void Tap(std::vector<WORD> keys) {
    std::vector<INPUT> inputs(2 * keys.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const bool up = i >= keys.size();
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[up ? inputs.size() - 1 - i : i];
        inputs[i].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

TEST_F(Win32_Forms_Test, KeysReachTheModelWhichMayDropThem) {
    Recorder events;
    events.Drop_Key = VK_HOME;
    events.Drop_Char = '5';
    auto form = runtime_->Load_Form(Entry_Design("keys"), events);
    Show(*form);
    form->Item(Field).Set_Focus();
    auto& field = form->Item(Field);
    HWND edit = Control(*form, Field);
    EXPECT_EQ(ImmGetContext(edit), nullptr) << "an input method would type past the key handling";
    auto text_is = [&](const std::string& text) {
        return Pump_Until([&] { return field.Text() == text; });
    };
    auto shown_text = [edit] {
        char buffer[64] = {};
        GetWindowTextA(edit, buffer, sizeof buffer);
        return std::string(buffer);
    };

    // '5' is dropped by the key-press handler; Home by the key-down
    // handler, so the caret stays at the end; Left is not.
    for (int key : {int{'A'}, int{'5'}, int{'B'}, VK_HOME, int{'C'}, VK_LEFT, int{'D'}})
        Tap({static_cast<WORD>(key)});
    ASSERT_TRUE(text_is("abdc"));
    EXPECT_EQ(shown_text(), "abdc");
    DWORD caret = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_EQ(caret, 3u);

    // Tab order: field, Accept, Exit; Shift+Tab goes back. Windows' focus
    // follows the model's.
    events.Seen.clear();
    Tap({VK_TAB});
    ASSERT_TRUE(Pump_Until([&] { return events.Saw("got 11"); }));
    EXPECT_EQ(GetFocus(), Control(*form, Accept));
    Tap({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(Pump_Until([&] { return events.Saw("got 1"); }));
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(events.Seen,
              (std::vector<std::string>{"down 9", "lost 1", "got 11", "press \t", "down 16",
                                        "down 9", "lost 11", "got 1", "press \t"}));

    // Clicks with the mouse are the model's clicks too; in the field the
    // click also puts the caret where it points (here before the text).
    // The window manager may report the form's activation while the button
    // is held down; the click still counts.
    events.Seen.clear();
    HWND accept = Control(*form, Accept);
    SendMessageA(accept, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(Handle(*form), WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageA(accept, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(Pump_Until([&] { return events.Saw("click 11"); }));
    POINT at{1, 3};
    ClientToScreen(edit, &at);
    SetCursorPos(at.x, at.y);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    ASSERT_TRUE(Pump_Until([&] { return events.Saw("click 1"); }));
    EXPECT_EQ(events.Seen, (std::vector<std::string>{"lost 1", "got 11", "click 11", "lost 11",
                                                     "got 1", "click 1"}));
    EXPECT_EQ(field.Sel_Start(), 0);
    EXPECT_EQ(GetFocus(), edit);
}

// The wait the operator sees: the system message box that holds the forms
// until OK, and a minimised form that comes back to the front with the
// keyboard (that it leaves the keyboard to a program the operator turned
// to: the Wine e2e runs).
TEST_F(Win32_Forms_Test, MessageBoxAndBringingTheFormToTheFront) {
    auto form = runtime_->Load_Form(Entry_Design("front"), no_events_);
    Show(*form);
    HWND w = Handle(*form);
    std::string text_seen;
    bool form_enabled_meanwhile = true;
    std::thread operator_([&] {
        HWND box = nullptr;
        for (int i = 0; i < 500 && !(box = FindWindowA(nullptr, "NRVNC test box")); ++i)
            std::this_thread::sleep_for(10ms);
        if (!box) return;
        char text[256] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's text control
        text_seen = text;
        form_enabled_meanwhile = IsWindowEnabled(w) != FALSE;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    runtime_->Message_Box("The program aborted for the following reason: \r\n\r\nBad file name",
                          "NRVNC test box");
    operator_.join();
    EXPECT_EQ(text_seen, "The program aborted for the following reason: \r\n\r\nBad file name");
    EXPECT_FALSE(form_enabled_meanwhile);
    EXPECT_TRUE(IsWindowEnabled(w));

    ShowWindow(w, SW_MINIMIZE);
    EXPECT_TRUE(Pump_Until([&] {
        form->Bring_To_Top();
        return GetForegroundWindow() == w && !IsIconic(w);
    }));
}

}  // namespace
}  // namespace win32_forms_test
