// The message catalogue: lines, buttons, titles and answers of every message,
// where the dialog puts them at 96 and 120 dpi, the stand-by notice, and the
// wait for the operator.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "dialogs/message/frm_msg_box.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using S = std::string;
const Color Green = Rgb(128, 255, 128);

struct Row {
    int16_t Sel;
    Msg_Value In1, In2;
    S Question_Before;
    int Press;             // also the answer; unused by the stand-by notice
    std::vector<S> Lines;  // printed rows up to the last text row, " " for an empty one
    std::map<int, S> Buttons;
    S Question_After;
};

std::vector<Row> Catalogue() {
    const Msg_Value None = S();
    const S Exit_Hint = "Select [Exit VNC] to exit program.";
    const std::vector<S> Wan = {
        "Will you be using a local area network(LAN) or an internet network(WAN)?", " ", Exit_Hint};
    const std::vector<S> Lan_Only = {
        "Only local network remote viewing is possible now",
        " because there is no internet connection.",
        " ",
        "If you want to view another computer over the internet",
        "   connect this computer to the internet and restart program.   ",
        " ",
        Exit_Hint};
    const std::vector<S> Not_Found = {
        "The internet repeater service needed to do internet viewing sessions cannot be found.",
        " ", "If you choose [Continue] you can change the internet IP address and/or",
        "the port number on the internet session ID entry screen and try again."};
    const std::map<int, S> Three = {{0, "  &Local  "}, {1, " &Internet "}, {2, " &Exit VNC "}},
                           Local_Exit = {{0, "  &Local  "}, {2, " &Exit VNC "}},
                           Continue_Exit = {{0, "&Continue"}, {2, " &Exit VNC "}},
                           Ok = {{1, "&OK"}}, Yes_No = {{0, "&Yes"}, {2, "&No"}};
    return {
        {0, true, None, "", 1, Wan, Three, ""},
        {0, -1, None, "", 2, Wan, Three, ""},  // -1 is True
        {0, false, None, "", 0, Lan_Only, Local_Exit, ""},
        {0, 1, None, "", 2, Lan_Only, Local_Exit, ""},  // 1 is not True
        {1, 0, None, "", 0, {"     Stand by. Configuring connection.     "}, {}, ""},
        {1, 5, None, "", 0, {}, {}, ""},  // stand-by without the 0: no line
        {2, 0, None, "", 0, Not_Found, Continue_Exit, ""},
        {2, 0, None, "", 2, Not_Found, Continue_Exit, ""},
        // One line: the question is kept for later; two lines: asked and used up.
        {3, S("A line"), None, "Q?", 1, {" ", "A line"}, Ok, "Q?"},
        {3, S("First"), S("Second"), "Q?", 1, {"First", "Second", " ", "Q?"}, Ok, ""},
        {3, S("First"), S("Second"), "", 1, {"First", " ", "Second"}, Ok, ""},
        {3, true, 42, "", 1, {"True", " ", "42"}, Ok, ""},
        {3, false, None, "", 1, {" ", "False"}, Ok, ""},
        {16, S("Again?"), None, "Q?", 0, {" ", "Again?"}, Yes_No, "Q?"},
        {16,
         S("Failed."),
         S("Twice."),
         "Again?",
         2,
         {"Failed.", "Twice.", " ", "Again?"},
         Yes_No,
         ""},
        {16, S("Failed."), S("Again?"), "", 0, {"Failed.", " ", "Again?"}, Yes_No, ""},
        {7, S("  x  "), None, "", 1, {" ", "  x  "}, Ok, ""},
        {-5, S("Odd"), S("Two"), "", 1, {"Odd", " ", "Two"}, Ok, ""},
    };
}

struct Button_Seen {
    bool Visible = false, Enabled = false;
    double Left = 0, Top = 0, Width = 0, Height = 0;
    float Font_Size = 0;
    Color Back = 0;
};

struct Form_Seen {
    double Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<Draw_Op> Ops;
    Mouse_Pointer Pointer = Mouse_Pointer::Default;
    bool Enabled = false;
    int Focused = -1;
    std::array<Button_Seen, 3> Buttons;
};

Form_Seen Look_At(const fake::Fake_Form& f) {
    Form_Seen s{f.Left(),    f.Top(),     f.Width(),      f.Height(), f.Drawing(),
                f.Pointer(), f.Enabled(), f.Focused_Id(), {}};
    for (int id = 0; id <= 2; ++id) {
        const Control_Model* c = f.Find_Control(id);
        s.Buttons[static_cast<std::size_t>(id)] = {c->Visible(),   c->Enabled(),   c->Left(),
                                                   c->Top(),       c->Width(),     c->Height(),
                                                   c->Font().Size, c->Back_Color()};
    }
    return s;
}

// The size, the centring on the 1920 x 1080 screen, the black panel, the
// frame, the rows and the button row, from the fake's text measures.
void Expect_Layout(const Row& row, int dpi, const Form_Seen& s, fake::Fake_Desktop& d) {
    const double tpp = 1440.0 / dpi;
    auto px = [&](int n) { return n * tpp; };
    const auto& metrics = d.forms.metrics;
    const Font_Spec text_font{"Courier New", metrics.Renderable_Size("Courier New", 14), true};
    const double H = metrics.Text_Height(text_font, "H");
    const std::size_t last = row.Lines.size();
    double widest = 0;
    for (const S& line : row.Lines) widest = std::max(widest, metrics.Text_Width(text_font, line));
    const double width = px(100) + widest;
    const double height = px(80) + (last + (row.Sel == 1 ? 3.0 : 7.5)) * H;
    EXPECT_DOUBLE_EQ(s.Width, width);
    EXPECT_DOUBLE_EQ(s.Height, height);
    EXPECT_DOUBLE_EQ(s.Left, (1920 * tpp - width) / 2);
    EXPECT_DOUBLE_EQ(s.Top, (1080 * tpp - height) / 2);

    // The fake's window frame: 3 pixels on each side and a 20-pixel title bar.
    const double cw = width - px(6), ch = height - px(26);
    const bool buttons = !row.Buttons.empty();
    ASSERT_EQ(s.Ops.size(), 6 + last + (buttons ? 2 : 0));
    EXPECT_EQ(s.Ops[0].What, Draw_Op::Kind::Filled_Box);
    EXPECT_EQ(s.Ops[0].Colour, Rgb(0, 0, 0));
    EXPECT_DOUBLE_EQ(s.Ops[0].X2, cw);
    EXPECT_DOUBLE_EQ(s.Ops[0].Y2, ch);
    // The frame of width 19 round the client area (its insets are the frame's own tests).
    EXPECT_EQ(s.Ops[1].Line_Width, 19);
    EXPECT_DOUBLE_EQ(s.Ops[2].X2, cw);
    EXPECT_DOUBLE_EQ(s.Ops[2].Y2, ch);

    // The rows centred one under the other in yellow; empty rows keep their height.
    const double first_y = px(20) + 2 * H;
    for (std::size_t i = 0; i < last + (buttons ? 2 : 0); ++i) {
        const Draw_Op& op = s.Ops[6 + i];
        const S text = i < last ? row.Lines[i] : "";
        SCOPED_TRACE("row " + std::to_string(i + 1));
        if (i < last) {
            EXPECT_DOUBLE_EQ(op.X1,
                             text == " " ? 0 : (cw - metrics.Text_Width(text_font, text)) / 2);
        }
        EXPECT_DOUBLE_EQ(op.Y1, first_y + i * H);
        EXPECT_EQ(op.Colour, d.forms.System_Color(14));
        EXPECT_EQ(op.Font.Size, text_font.Size);
    }

    // The buttons: 20 points, 16 when a caption is longer than 10 characters.
    std::size_t longest = 0;
    for (const auto& [id, caption] : row.Buttons) longest = std::max(longest, caption.size());
    const Font_Spec button_font{
        "Courier New", metrics.Renderable_Size("Courier New", longest > 10 ? 16 : 20), true};
    const std::size_t count = row.Buttons.size();
    for (int id = 0; id <= 2; ++id) {
        SCOPED_TRACE("button " + std::to_string(id));
        const Button_Seen& b = s.Buttons[static_cast<std::size_t>(id)];
        const bool shown = row.Buttons.count(id) > 0;
        EXPECT_EQ(b.Visible, shown);
        EXPECT_EQ(b.Enabled, shown);
        if (!shown) continue;
        double f = 0.375;
        if (count == 2) f = id == 0 ? 1.0 / 6 : 7.0 / 12;
        if (count == 3) f = id * 0.3 + 0.1;
        EXPECT_DOUBLE_EQ(b.Left, px(20) + (cw - px(40)) * f);
        EXPECT_DOUBLE_EQ(b.Top, first_y + (last + 2) * H);
        EXPECT_DOUBLE_EQ(b.Width, count == 3 ? cw / 5 : cw / 4);
        EXPECT_DOUBLE_EQ(b.Height, 2 * metrics.Text_Height(button_font, "H") + px(10));
        EXPECT_EQ(b.Font_Size, button_font.Size);
    }
}

TEST(Do_User_Msg, Every_Catalogue_Row_Shown_Laid_Out_And_Answered_At_96_And_120_Dpi) {
    for (int dpi : {96, 120}) {
        // One dialog for all rows: each title starts again from the design.
        fake::Fake_Desktop d;
        Misc m(d.platform());
        m.Display_Font = "Courier New";
        d.forms.Set_Dots_Per_Inch(dpi);
        for (const Row& row : Catalogue()) {
            SCOPED_TRACE("message " + std::to_string(row.Sel) + " ending \"" +
                         (row.Lines.empty() ? S() : row.Lines.back()) + "\" at " +
                         std::to_string(dpi) + " dpi");
            m.Msg_Question = row.Question_Before;
            Form_Seen seen;
            fake::Screen_Snapshot shown;
            if (row.Sel == 1) {
                EXPECT_EQ(m.frmMsgBox().Do_User_Msg(row.Sel, row.In1, row.In2), No_Answer);
                ASSERT_EQ(d.forms.live.size(), 1u);
                seen = Look_At(*d.forms.live[0]);
                shown = d.Snapshot(*d.forms.live[0]);
                EXPECT_EQ(seen.Pointer, Mouse_Pointer::Hourglass);
                EXPECT_FALSE(seen.Enabled);
                EXPECT_EQ(seen.Focused, -1);
                m.frmMsgBox().Close_frmMsgBox();
            } else {
                d.operator_.On_Message(row.Sel)
                    .Run([&] { seen = Look_At(*d.operator_.Current()); })
                    .Press(row.Press);
                EXPECT_EQ(m.frmMsgBox().Do_User_Msg(row.Sel, row.In1, row.In2), row.Press);
                ASSERT_FALSE(d.seen.empty());
                shown = d.seen.back();
                EXPECT_EQ(seen.Pointer, Mouse_Pointer::Default);
                EXPECT_TRUE(seen.Enabled);
                // The first shown button has the focus and is the only green one.
                const int first = row.Buttons.begin()->first;
                EXPECT_EQ(seen.Focused, first);
                for (int id = 0; id <= 2; ++id)
                    EXPECT_EQ(seen.Buttons[static_cast<std::size_t>(id)].Back == Green,
                              id == first);
            }
            EXPECT_EQ(shown.Caption, "  Norvane  ---  Message # " + std::to_string(row.Sel));
            std::vector<S> texts = row.Lines;
            if (!row.Buttons.empty()) texts.insert(texts.end(), {"", ""});
            EXPECT_EQ(shown.Texts, texts);
            EXPECT_EQ(shown.Buttons, row.Buttons);
            EXPECT_EQ(m.Msg_Question, row.Question_After);
            EXPECT_TRUE(d.forms.live.empty());
            EXPECT_FALSE(m.MsgBox_Loaded);
            Expect_Layout(row, dpi, seen, d);
        }
        EXPECT_TRUE(d.operator_.Done());
    }
}

// Worked by hand: "Hello" at 96 dpi. 14 points render as 19 px = 14.25 pt,
// H = 22 px = 330; "Hello" is 5 * 14.25 * 12 = 855 wide; the buttons' 20
// points render as 20.25 pt, 32 px high.
TEST(Do_frmMsgBox, Hand_Worked_Information_At_96_Dpi) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    m.Display_Font = "Courier New";
    Form_Seen s;
    d.operator_.On_Message(3).Run([&] { s = Look_At(*d.operator_.Current()); }).Press(1);
    ASSERT_EQ(m.frmMsgBox().Do_User_Msg(3, S("Hello"), S("")), 1);
    EXPECT_EQ(std::vector<double>({s.Width, s.Height, s.Left, s.Top}),
              std::vector<double>({2355, 4335, 13222.5, 5932.5}));
    ASSERT_EQ(s.Ops.size(), 10u);
    EXPECT_EQ(s.Ops[5].X1, 270);  // the blue line, 18 px in
    EXPECT_EQ(s.Ops[7].X1, 705);
    EXPECT_EQ(s.Ops[7].Y1, 1290);
    const Button_Seen& ok = s.Buttons[1];
    EXPECT_EQ(std::vector<double>({ok.Left, ok.Top, ok.Width, ok.Height}),
              std::vector<double>({924.375, 2280, 566.25, 1110}));
    EXPECT_EQ(ok.Font_Size, 20.25f);
}

TEST(Do_User_Msg, Stand_By_Takes_No_Input_And_Stays_Up_Until_Closed) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    FrmMsgBox& box = m.frmMsgBox();
    const uint64_t passes_before = d.forms.do_events_calls;
    EXPECT_EQ(box.Do_User_Msg(1, 0, S("")), No_Answer);
    EXPECT_LT(d.forms.do_events_calls - passes_before, 20u);  // no waiting loop
    ASSERT_EQ(d.forms.live.size(), 1u);
    fake::Fake_Form* form = d.forms.live[0];
    form->Deliver_Click(0);
    form->Deliver_Key(Key::Return, 0, 13);
    for (int i = 0; i < 10; ++i) m.Do_Events();
    EXPECT_EQ(d.forms.live.size(), 1u);
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(m.MsgBox_Loaded);

    box.Close_frmMsgBox();
    EXPECT_FALSE(m.MsgBox_Loaded);
    EXPECT_TRUE(d.forms.live.empty());
}

TEST(Do_User_Msg, Keys_And_Access_Letters_Press_Only_Shown_Buttons) {
    using Act = std::function<void(fake::Operator&)>;
    const struct {
        int16_t Sel;
        Msg_Value In1;
        Act Do;
        int16_t Answer;
    } cases[] = {
        {3, S("Saved."), [](fake::Operator& op) { op.Key(Key::Return, 13); }, 1},
        {3, S("Saved."), [](fake::Operator& op) { op.Press(0).Press(2).Key(Key::Space, ' '); }, 1},
        {0, true, [](fake::Operator& op) { op.Alt('I'); }, 1},
        {0, true, [](fake::Operator& op) { op.Alt('e'); }, 2},
        {0, true, [](fake::Operator& op) { op.Key(Key::Tab).Key(Key::Tab).Key(Key::Space, ' '); },
         2},
        {0, false, [](fake::Operator& op) { op.Alt('I').Alt('L'); }, 0},  // no Internet button
        {2, 0, [](fake::Operator& op) { op.Alt('C'); }, 0},
        {16, S("Retry?"), [](fake::Operator& op) { op.Key(Key::Tab).Key(Key::Return, 13); }, 2},
        {16, S("Retry?"), [](fake::Operator& op) { op.Alt('Y'); }, 0},
    };
    for (const auto& c : cases) {
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.operator_.On_Message(c.Sel);
        c.Do(d.operator_);
        EXPECT_EQ(m.frmMsgBox().Do_User_Msg(c.Sel, c.In1, S("")), c.Answer) << "message " << c.Sel;
        EXPECT_TRUE(d.operator_.Done());
    }
}

}  // namespace
}  // namespace nrvnc
