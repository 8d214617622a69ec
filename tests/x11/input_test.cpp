// Keys and clicks from the X server reach the form's handlers; the system
// message box is modal and closes from the keyboard or its button.
#include "tests/x11/x11_test_support.h"
// clang-format off
#include <X11/XKBlib.h>
// clang-format on

#include <atomic>

namespace x11_test {
namespace {

using nrvnc::Rgb;

struct Recorder : nrvnc::Form_Events {
    std::vector<std::pair<int, int>> downs;  // key code, shift
    std::vector<int> presses;
    std::vector<int> clicks;
    std::vector<int> got_focus;
    bool drop_letters = false;
    void Form_KeyDown(int16_t& key, int16_t shift) override {
        downs.push_back({key, shift});
        if (drop_letters && key >= 'A' && key <= 'Z') key = 0;
    }
    void Form_KeyPress(int16_t& ch) override {
        presses.push_back(ch);
        if (drop_letters && std::isalpha(ch)) ch = 0;
    }
    void Control_Click(int id) override { clicks.push_back(id); }
    void Control_GotFocus(int id) override { got_focus.push_back(id); }
};

class Input_Test : public X11_Test {
  protected:
    nrvnc::Form_Design With_Controls() {
        auto design = Dialog_Design("input");
        nrvnc::Control_Design field;
        field.Id = 1;
        field.Kind = nrvnc::Control_Kind::Text_Box;
        field.Left = 750, field.Top = 450, field.Width = 3000, field.Height = 405;
        field.Font = design.Font;
        field.Tab_Index = 0;
        nrvnc::Control_Design accept;
        accept.Id = 11;
        accept.Caption = "&Accept";
        accept.Left = 750, accept.Top = 1500, accept.Width = 1500, accept.Height = 600;
        accept.Font = design.Font;
        accept.Tab_Index = 1;
        design.Controls = {field, accept};
        return design;
    }
    void Set_Num_Lock(bool on) {
        Display* c = client_->Dpy();
        unsigned mask = XkbKeysymToModifiers(c, XK_Num_Lock);
        XkbLockModifiers(c, XkbUseCoreKbd, mask, on ? mask : 0);
        XSync(c, False);
    }
    // The centre of a child window on the root.
    std::pair<int, int> Centre_Of(Window w) {
        auto r = client_->Root_Rect(w);
        return {r.X + r.W / 2, r.Y + r.H / 2};
    }
    Window Control_Window(Window form_window, int index) {
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        XQueryTree(client_->Dpy(), form_window, &root, &parent, &kids, &n);
        Window w = index < static_cast<int>(n) ? kids[index] : 0;
        if (kids) XFree(kids);
        return w;
    }
};

struct Key_Case {
    KeySym Sym;
    bool Num_Lock, Shift;
    int Key_Code, Character;
};

TEST_F(Input_Test, KeysArriveWithTheVirtualKeyCodesAndCharacters) {
    const Key_Case cases[] = {
        {XK_0, false, false, 48, '0'},
        {XK_5, false, false, 53, '5'},
        {XK_9, false, false, 57, '9'},
        {XK_KP_0, true, false, 96, '0'},
        {XK_KP_7, true, false, 103, '7'},
        {XK_KP_9, true, false, 105, '9'},
        {XK_period, false, false, 190, '.'},
        {XK_KP_Decimal, true, false, 110, '.'},
        {XK_F2, false, false, 113, 0},
        {XK_Escape, false, false, 27, 27},
        {XK_Return, false, false, 13, 13},
        {XK_KP_Enter, false, false, 13, 13},
        {XK_Left, false, false, 37, 0},
        {XK_Up, false, false, 38, 0},
        {XK_Right, false, false, 39, 0},
        {XK_Down, false, false, 40, 0},
        {XK_Home, false, false, 36, 0},
        {XK_End, false, false, 35, 0},
        {XK_Delete, false, false, 46, 0},
        {XK_BackSpace, false, false, 8, 8},
        {XK_Tab, false, false, 9, 9},
        {XK_space, false, false, 32, ' '},
        {XK_a, false, false, 65, 'a'},
        {XK_a, false, true, 65, 'A'},
        {XK_z, false, false, 90, 'z'},
        {XK_1, false, true, 49, '!'},
        {XK_semicolon, false, false, 186, ';'},
        {XK_minus, false, false, 189, '-'},
        {XK_slash, false, false, 191, '/'},
        {XK_bracketleft, false, false, 219, '['},
        {XK_apostrophe, false, false, 222, '\''},
        // Num Lock off: the keypad is a cursor block.
        {XK_KP_Home, false, false, 36, 0},
        {XK_KP_Delete, false, false, 46, 0},
    };
    Recorder events;
    auto design = Dialog_Design("keys");
    auto form = runtime_->Load_Form(design, events);
    Show(*form);
    Window w = As_X11(*form).Handle();
    client_->Focus(w);
    for (const Key_Case& k : cases) {
        SCOPED_TRACE("keysym " + std::string(XKeysymToString(k.Sym)));
        Set_Num_Lock(k.Num_Lock);
        events.downs.clear();
        events.presses.clear();
        client_->Press_Key(k.Sym, k.Shift);
        std::size_t downs = k.Shift ? 2 : 1;  // Shift comes down first
        ASSERT_TRUE(Pump_Until(*runtime_, [&] { return events.downs.size() >= downs; }));
        Settle();
        ASSERT_EQ(events.downs.size(), downs);
        EXPECT_EQ(events.downs.back().first, k.Key_Code);
        EXPECT_EQ(events.downs.back().second, k.Shift ? 1 : 0);
        if (k.Shift) {
            EXPECT_EQ(events.downs.front().first, 16);
        }
        if (k.Character) {
            ASSERT_EQ(events.presses.size(), 1u);
            EXPECT_EQ(events.presses[0], k.Character);
        } else {
            EXPECT_TRUE(events.presses.empty());
        }
    }
    Set_Num_Lock(false);
}

TEST_F(Input_Test, TypedCharactersReachTheFocusedFieldUnlessTheFormDropsThem) {
    Recorder events;
    events.drop_letters = true;
    auto form = runtime_->Load_Form(With_Controls(), events);
    Show(*form);
    client_->Focus(As_X11(*form).Handle());
    form->Item(1).Set_Focus();
    for (KeySym k : {XK_1, XK_x, XK_2, XK_period, XK_BackSpace, XK_3}) client_->Press_Key(k);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return events.downs.size() >= 6; }));
    EXPECT_EQ(form->Item(1).Text(), "123");
    EXPECT_EQ(form->Item(1).Sel_Start(), 3);

    // Tab moves the focus on to the button; Enter there presses it.
    client_->Press_Key(XK_Tab);
    client_->Press_Key(XK_Return);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return !events.clicks.empty(); }));
    EXPECT_EQ(events.clicks, std::vector<int>{11});
    EXPECT_EQ(As_X11(*form).Focused_Id(), 11);
}

TEST_F(Input_Test, AltWithTheAccessLetterClicksTheButton) {
    Recorder events;
    auto form = runtime_->Load_Form(With_Controls(), events);
    Show(*form);
    client_->Focus(As_X11(*form).Handle());
    Display* c = client_->Dpy();
    KeyCode alt = XKeysymToKeycode(c, XK_Alt_L);
    XTestFakeKeyEvent(c, alt, True, CurrentTime);
    client_->Press_Key(XK_a);
    XTestFakeKeyEvent(c, alt, False, CurrentTime);
    XSync(c, False);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return !events.clicks.empty(); }));
    EXPECT_EQ(events.clicks, std::vector<int>{11});
}

TEST_F(Input_Test, ClickOnAButtonFiresClickAndFocus) {
    Recorder events;
    auto form = runtime_->Load_Form(With_Controls(), events);
    Show(*form);
    Settle();
    Window button = Control_Window(As_X11(*form).Handle(), 1);  // second child: id 11
    auto [bx, by] = Centre_Of(button);

    client_->Click_At(bx, by);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return !events.clicks.empty(); }));
    EXPECT_EQ(events.clicks, std::vector<int>{11});
    EXPECT_EQ(events.got_focus, std::vector<int>{11});

    // Pressed on the button, released away from it: no click.
    events.clicks.clear();
    client_->Press_At(bx, by);
    client_->Release_At(bx + 300, by + 300);
    Settle();
    EXPECT_TRUE(events.clicks.empty());

    // A disabled form takes no clicks.
    form->Set_Enabled(false);
    client_->Click_At(bx, by);
    Settle();
    EXPECT_TRUE(events.clicks.empty());
    form->Set_Enabled(true);
    client_->Click_At(bx, by);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return !events.clicks.empty(); }));
}

TEST_F(Input_Test, ClickInTheFieldPutsTheCaretNearTheClick) {
    Recorder events;
    auto form = runtime_->Load_Form(With_Controls(), events);
    form->Item(1).Set_Text("12345678");
    Show(*form);
    Settle();
    Window field = Control_Window(As_X11(*form).Handle(), 0);
    auto r = client_->Root_Rect(field);
    int char_px = static_cast<int>(form->Text_Width("1234") / 15 / 4);  // same font
    // Just right of the fourth character's middle.
    client_->Click_At(r.X + 3 + 3 * char_px + char_px * 3 / 4, r.Y + r.H / 2);
    ASSERT_TRUE(Pump_Until(*runtime_, [&] { return !events.clicks.empty(); }));
    EXPECT_EQ(events.clicks, std::vector<int>{1});
    EXPECT_EQ(form->Item(1).Sel_Start(), 4);
    EXPECT_EQ(As_X11(*form).Focused_Id(), 1);
}

// Waits in a thread of its own for the box to be up, then answers it.
class Box_Answerer {
  public:
    Box_Answerer(const std::string& display, std::string title,
                 std::function<void(Client&, Window)> answer)
        : thread_([this, display, title = std::move(title), answer] {
              Client c(display);
              auto end = Clock::now() + 10s;
              Window box = 0;
              while (!box && Clock::now() < end) {
                  box = Find(c, title);
                  if (!box) std::this_thread::sleep_for(10ms);
              }
              if (!box) return;
              seen = true;
              height = c.Root_Rect(box).H;
              // Focus comes with the map; give it the moment it takes.
              end = Clock::now() + 5s;
              for (;;) {
                  Window focus;
                  int revert;
                  XGetInputFocus(c.Dpy(), &focus, &revert);
                  if (focus == box || Clock::now() > end) break;
                  std::this_thread::sleep_for(5ms);
              }
              answer(c, box);
              // Should the answer not close it, close it through the window
              // manager's protocol so the test ends and fails.
              end = Clock::now() + 5s;
              while (Find(c, title) && Clock::now() < end) std::this_thread::sleep_for(10ms);
              if (Find(c, title)) {
                  stuck = true;
                  XEvent e{};
                  e.xclient.type = ClientMessage;
                  e.xclient.window = box;
                  e.xclient.message_type = c.Atom_Of("WM_PROTOCOLS");
                  e.xclient.format = 32;
                  e.xclient.data.l[0] = static_cast<long>(c.Atom_Of("WM_DELETE_WINDOW"));
                  XSendEvent(c.Dpy(), box, False, 0, &e);
                  XSync(c.Dpy(), False);
              }
          }) {}
    ~Box_Answerer() { thread_.join(); }

    std::atomic<bool> seen{false}, stuck{false};
    std::atomic<int> height{0};

  private:
    static Window Find(Client& c, const std::string& title) {
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        Window found = 0;
        XQueryTree(c.Dpy(), c.Root(), &root, &parent, &kids, &n);
        for (unsigned i = 0; i < n && !found; ++i)
            if (c.Map_State(kids[i]) == IsViewable &&
                c.String_Property(kids[i], "WM_NAME", XA_STRING) == title)
                found = kids[i];
        if (kids) XFree(kids);
        return found;
    }
    std::thread thread_;
};

TEST_F(Input_Test, MessageBoxClosesOnEnterSpaceEscAndKeypadEnter) {
    for (KeySym key : {XK_Return, XK_KP_Enter, XK_space, XK_Escape}) {
        SCOPED_TRACE(XKeysymToString(key));
        std::string title = std::string("Box ") + XKeysymToString(key);
        Box_Answerer answerer(server_->Name(), title,
                              [key](Client& c, Window) { c.Press_Key(key); });
        runtime_->Message_Box("\r\n     The Access Code must be 4 character number.    ", title);
        EXPECT_TRUE(answerer.seen);
        EXPECT_FALSE(answerer.stuck);
    }
}

TEST_F(Input_Test, MessageBoxClosesOnAClickOnOkAndGrowsWithItsLines) {
    int heights[2] = {0, 0};
    const std::string texts[2] = {"one line", "one line\r\ntwo\r\nthree"};
    for (int i = 0; i < 2; ++i) {
        Box_Answerer answerer(server_->Name(), "NRVNC", [this](Client& c, Window box) {
            Window root, parent, *kids = nullptr;
            unsigned n = 0;
            XQueryTree(c.Dpy(), box, &root, &parent, &kids, &n);
            ASSERT_EQ(n, 1u);  // the OK button
            auto r = c.Root_Rect(kids[0]);
            XFree(kids);
            c.Click_At(r.X + r.W / 2, r.Y + r.H / 2);
        });
        runtime_->Message_Box(texts[i], "");  // no title: the program's
        EXPECT_TRUE(answerer.seen);
        EXPECT_FALSE(answerer.stuck);
        heights[i] = answerer.height;
    }
    nrvnc::Font_Spec font{"Sans", runtime_->Fonts().Renderable_Size("Sans", 9), false};
    int line_px = static_cast<int>(runtime_->Fonts().Text_Height(font, "H") / 15);
    EXPECT_EQ(heights[1] - heights[0], 2 * line_px);
}

TEST_F(Input_Test, MessageBoxKeepsOtherFormsFromTakingInput) {
    Recorder events;
    auto form = runtime_->Load_Form(With_Controls(), events);
    Show(*form);
    Settle();
    auto [bx, by] = Centre_Of(Control_Window(As_X11(*form).Handle(), 1));
    Box_Answerer answerer(server_->Name(), "modal", [&](Client& c, Window) {
        c.Click_At(bx, by);  // on the form behind: ignored
        c.Press_Key(XK_Return);
    });
    runtime_->Message_Box("text", "modal");
    EXPECT_FALSE(answerer.stuck);
    Settle();
    EXPECT_TRUE(events.clicks.empty());
}

}  // namespace
}  // namespace x11_test
