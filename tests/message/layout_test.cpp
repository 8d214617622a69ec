// The message dialog's layout in twips: size, centring, the black panel,
// the frame, the centred lines and the button row, at 96 and 120 dpi; and
// the green marking of the focused button.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "dialogs/message/frm_msg_box.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using Lines = std::array<std::string, 9>;

const Color Green = Rgb(128, 255, 128);

struct Button_Seen {
    bool Visible = false, Enabled = false;
    double Left = 0, Top = 0, Width = 0, Height = 0;
    Font_Spec Font;
    Color Back = 0;
};

struct Form_Seen {
    double Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<Draw_Op> Ops;
    Font_Spec Font;
    Color Fore = 0;
    Mouse_Pointer Pointer = Mouse_Pointer::Default;
    bool Enabled = false;
    int Focused = -1;
    std::array<Button_Seen, 3> Buttons;
};

Form_Seen Look_At(const fake::Fake_Form& f) {
    Form_Seen s;
    s.Left = f.Left(), s.Top = f.Top(), s.Width = f.Width(), s.Height = f.Height();
    s.Ops = f.Drawing();
    s.Font = f.Font();
    s.Fore = f.Fore_Color();
    s.Pointer = f.Pointer();
    s.Enabled = f.Enabled();
    s.Focused = f.Focused_Id();
    for (int id = 0; id <= 2; ++id) {
        const Control_Model* c = f.Find_Control(id);
        Button_Seen& b = s.Buttons[static_cast<std::size_t>(id)];
        b.Visible = c->Visible(), b.Enabled = c->Enabled();
        b.Left = c->Left(), b.Top = c->Top(), b.Width = c->Width(), b.Height = c->Height();
        b.Font = c->Font();
        b.Back = c->Back_Color();
    }
    return s;
}

struct Layout_Case {
    std::string Name;
    int16_t Sel;
    Msg_Value In1, In2;
    std::string Question;
    Lines Rows;  // what the message shows
    std::map<int, std::string> Captions;
    int Press;
};

std::vector<Layout_Case> Cases() {
    const Msg_Value None = std::string();
    return {
        {"network with internet",
         0,
         true,
         None,
         "",
         {"", "Will you be using a local area network(LAN) or an internet network(WAN)?", "",
          "Select [Exit VNC] to exit program."},
         {{0, "  &Local  "}, {1, " &Internet "}, {2, " &Exit VNC "}},
         1},
        {"network without internet",
         0,
         false,
         None,
         "",
         {"", "Only local network remote viewing is possible now",
          " because there is no internet connection.", "",
          "If you want to view another computer over the internet",
          "   connect this computer to the internet and restart program.   ", "",
          "Select [Exit VNC] to exit program."},
         {{0, "  &Local  "}, {2, " &Exit VNC "}},
         0},
        {"stand-by", 1, 0, None, "", {"", "     Stand by. Configuring connection.     "}, {}, -1},
        {"repeater not found",
         2,
         0,
         None,
         "",
         {"",
          "The internet repeater service needed to do internet viewing sessions cannot be found.",
          "", "If you choose [Continue] you can change the internet IP address and/or",
          "the port number on the internet session ID entry screen and try again."},
         {{0, "&Continue"}, {2, " &Exit VNC "}},
         2},
        {"information, one line",
         3,
         std::string("Hello"),
         None,
         "",
         {"", "", "Hello"},
         {{1, "&OK"}},
         1},
        {"information, two lines",
         3,
         std::string("The file could not be read."),
         std::string("Defaults are used."),
         "",
         {"", "The file could not be read.", "", "Defaults are used."},
         {{1, "&OK"}},
         1},
        {"question with a question line",
         16,
         std::string("The viewer failed."),
         std::string("Error 10061"),
         "Do you want to try again?",
         {"", "The viewer failed.", "Error 10061", "", "Do you want to try again?"},
         {{0, "&Yes"}, {2, "&No"}},
         2},
    };
}

// The fake's window frame: 3 pixels on each side and a 20-pixel title bar.
constexpr int Frame_Pixels_X = 6, Frame_Pixels_Y = 26;

void Expect_Layout(const Layout_Case& c, int dpi, const Form_Seen& s, fake::Fake_Desktop& d) {
    const double tpp = 1440.0 / dpi;
    auto px = [&](int n) { return n * tpp; };
    const auto& metrics = d.forms.metrics;
    const Font_Spec text_font{"Courier New", metrics.Renderable_Size("Courier New", 14), true};
    const double H = metrics.Text_Height(text_font, "H");

    int last = 0;
    double widest = 0;
    for (int i = 1; i <= 8; ++i) {
        const std::string& row = c.Rows[static_cast<std::size_t>(i)];
        if (row.empty()) continue;
        last = i;
        widest = std::max(widest, metrics.Text_Width(text_font, row));
    }
    const double width = px(100) + widest;
    const double height = px(80) + (last + (c.Sel == 1 ? 3.0 : 7.5)) * H;
    EXPECT_DOUBLE_EQ(s.Width, width);
    EXPECT_DOUBLE_EQ(s.Height, height);
    EXPECT_DOUBLE_EQ(s.Left, (1920 * tpp - width) / 2);
    EXPECT_DOUBLE_EQ(s.Top, (1080 * tpp - height) / 2);

    const double cw = width - px(Frame_Pixels_X), ch = height - px(Frame_Pixels_Y);
    const bool buttons = !c.Captions.empty();
    const std::size_t texts = static_cast<std::size_t>(last) + (buttons ? 2 : 0);
    ASSERT_EQ(s.Ops.size(), 6 + texts);

    // The black panel over the whole client area.
    EXPECT_EQ(s.Ops[0].What, Draw_Op::Kind::Filled_Box);
    EXPECT_DOUBLE_EQ(s.Ops[0].X1, 0);
    EXPECT_DOUBLE_EQ(s.Ops[0].Y1, 0);
    EXPECT_DOUBLE_EQ(s.Ops[0].X2, cw);
    EXPECT_DOUBLE_EQ(s.Ops[0].Y2, ch);
    EXPECT_EQ(s.Ops[0].Colour, Rgb(0, 0, 0));

    // The frame of width 19.
    const struct {
        int Inset, Line_Width;
        Color Colour;
    } frame[5] = {{12, 19, d.forms.System_Color(15)},
                  {0, 1, Rgb(0, 255, 255)},
                  {7, 1, Rgb(255, 0, 0)},
                  {12, 1, Rgb(255, 255, 255)},
                  {18, 2, Rgb(0, 0, 255)}};
    for (std::size_t i = 0; i < 5; ++i) {
        const Draw_Op& op = s.Ops[1 + i];
        SCOPED_TRACE("outline " + std::to_string(i + 1));
        EXPECT_EQ(op.What, Draw_Op::Kind::Box);
        EXPECT_DOUBLE_EQ(op.X1, px(frame[i].Inset));
        EXPECT_DOUBLE_EQ(op.Y1, px(frame[i].Inset));
        EXPECT_DOUBLE_EQ(op.X2, cw - px(frame[i].Inset));
        EXPECT_DOUBLE_EQ(op.Y2, ch - px(frame[i].Inset));
        EXPECT_EQ(op.Line_Width, frame[i].Line_Width);
        EXPECT_EQ(op.Colour, frame[i].Colour);
    }

    // The rows, centred one under the other; empty rows keep their height.
    const double first_y = px(20) + 2 * H;
    for (int i = 1; i <= last; ++i) {
        const std::string& row = c.Rows[static_cast<std::size_t>(i)];
        const Draw_Op& op = s.Ops[static_cast<std::size_t>(5 + i)];
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(op.What, Draw_Op::Kind::Text);
        EXPECT_EQ(op.Text, row.empty() ? " " : row);
        EXPECT_DOUBLE_EQ(op.X1, row.empty() ? 0 : (cw - metrics.Text_Width(text_font, row)) / 2);
        EXPECT_DOUBLE_EQ(op.Y1, first_y + (i - 1) * H);
        EXPECT_EQ(op.Colour, d.forms.System_Color(14));
        EXPECT_EQ(op.Font.Name, "Courier New");
        EXPECT_EQ(op.Font.Size, text_font.Size);
        EXPECT_TRUE(op.Font.Bold);
    }
    if (buttons) {
        for (int k = 0; k < 2; ++k) {
            const Draw_Op& op = s.Ops[static_cast<std::size_t>(6 + last + k)];
            EXPECT_EQ(op.Text, "");
            EXPECT_DOUBLE_EQ(op.Y1, first_y + (last + k) * H);
        }
    }
    EXPECT_EQ(s.Font.Size, text_font.Size);  // back at 14 points
    EXPECT_EQ(s.Fore, d.forms.System_Color(14));

    // The button row.
    std::size_t longest = 0;
    for (const auto& [id, caption] : c.Captions) longest = std::max(longest, caption.size());
    const Font_Spec button_font{
        "Courier New", metrics.Renderable_Size("Courier New", longest > 10 ? 16 : 20), true};
    const double Hb = metrics.Text_Height(button_font, "H");
    const std::size_t count = c.Captions.size();
    for (int id = 0; id <= 2; ++id) {
        SCOPED_TRACE("button " + std::to_string(id));
        const Button_Seen& b = s.Buttons[static_cast<std::size_t>(id)];
        auto it = c.Captions.find(id);
        if (it == c.Captions.end()) {
            EXPECT_FALSE(b.Visible);
            EXPECT_FALSE(b.Enabled);
            EXPECT_NE(b.Back, Green);
            continue;
        }
        EXPECT_TRUE(b.Visible);
        EXPECT_TRUE(b.Enabled);
        double f = 0.375;
        if (count == 2) f = id == 0 ? 1.0 / 6 : 7.0 / 12;
        if (count == 3) f = id * 0.3 + 0.1;
        EXPECT_DOUBLE_EQ(b.Left, px(20) + (cw - px(40)) * f);
        EXPECT_DOUBLE_EQ(b.Top, first_y + (last + 2) * H);
        EXPECT_DOUBLE_EQ(b.Width, count == 3 ? cw / 5 : cw / 4);
        EXPECT_DOUBLE_EQ(b.Height, 2 * Hb + px(10));
        EXPECT_EQ(b.Font.Name, "Courier New");
        EXPECT_EQ(b.Font.Size, button_font.Size);
        EXPECT_TRUE(b.Font.Bold);
    }
}

TEST(Do_frmMsgBox, Layout_Of_Every_Message_At_96_And_120_Dpi) {
    for (int dpi : {96, 120}) {
        for (const Layout_Case& c : Cases()) {
            SCOPED_TRACE(c.Name + " at " + std::to_string(dpi) + " dpi");
            fake::Fake_Desktop d;
            Misc m(d.platform());
            m.Display_Font = "Courier New";
            d.forms.Set_Dots_Per_Inch(dpi);
            m.Msg_Question = c.Question;
            Form_Seen seen;
            if (c.Sel == 1) {
                EXPECT_EQ(m.frmMsgBox().Do_User_Msg(c.Sel, c.In1, c.In2), No_Answer);
                ASSERT_EQ(d.forms.live.size(), 1u);
                seen = Look_At(*d.forms.live[0]);
                EXPECT_EQ(seen.Pointer, Mouse_Pointer::Hourglass);
                EXPECT_FALSE(seen.Enabled);
                EXPECT_EQ(seen.Focused, -1);
            } else {
                d.operator_.On_Message(c.Sel)
                    .Run([&] { seen = Look_At(*d.operator_.Current()); })
                    .Press(c.Press);
                EXPECT_EQ(m.frmMsgBox().Do_User_Msg(c.Sel, c.In1, c.In2), c.Press);
                EXPECT_EQ(seen.Pointer, Mouse_Pointer::Default);
                EXPECT_TRUE(seen.Enabled);
                // The first shown button has the focus and is the green one.
                const int first = c.Captions.begin()->first;
                EXPECT_EQ(seen.Focused, first);
                for (int id = 0; id <= 2; ++id)
                    EXPECT_EQ(seen.Buttons[static_cast<std::size_t>(id)].Back,
                              id == first ? Green : d.forms.System_Color(16));
            }
            Expect_Layout(c, dpi, seen, d);
        }
    }
}

// Worked by hand: "Hello" as an information at 96 dpi. 14 points render
// as 19 px = 14.25 pt; H = ceil(14.25 * 1.15 * 20 / 15) px = 22 px = 330;
// "Hello" is 5 * 14.25 * 12 = 855 wide; the fake's frame takes 90 x 390.
TEST(Do_frmMsgBox, Hand_Worked_Information_At_96_Dpi) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    m.Display_Font = "Courier New";
    Form_Seen s;
    d.operator_.On_Message(3).Run([&] { s = Look_At(*d.operator_.Current()); }).Press(1);
    ASSERT_EQ(m.frmMsgBox().Do_User_Msg(3, std::string("Hello"), std::string("")), 1);
    EXPECT_EQ(s.Width, 2355);
    EXPECT_EQ(s.Height, 4335);
    EXPECT_EQ(s.Left, 13222.5);
    EXPECT_EQ(s.Top, 5932.5);
    ASSERT_EQ(s.Ops.size(), 10u);
    EXPECT_EQ(s.Ops[0].X2, 2265);
    EXPECT_EQ(s.Ops[0].Y2, 3945);
    EXPECT_EQ(s.Ops[5].X1, 270);  // blue line, 18 px in
    EXPECT_EQ(s.Ops[5].Y2, 3945 - 270);
    EXPECT_EQ(s.Ops[6].Text, " ");
    EXPECT_EQ(s.Ops[6].Y1, 960);
    EXPECT_EQ(s.Ops[7].Text, "Hello");
    EXPECT_EQ(s.Ops[7].X1, 705);
    EXPECT_EQ(s.Ops[7].Y1, 1290);
    const Button_Seen& ok = s.Buttons[1];
    EXPECT_EQ(ok.Left, 924.375);
    EXPECT_EQ(ok.Top, 2280);
    EXPECT_EQ(ok.Width, 566.25);
    EXPECT_EQ(ok.Height, 1110);  // 2 x 32 px at 20.25 pt, + 10 px
    EXPECT_EQ(ok.Font.Size, 20.25f);
}

// Worked by hand: a one-line question at 120 dpi (12 twips per pixel).
// 14 points render as 23 px = 13.8 pt, H = 27 px = 324; "Retry?" is
// round(6 * 13.8 * 12) = 994 wide; 20 points render as 19.8 pt, 38 px high.
TEST(Do_frmMsgBox, Hand_Worked_Question_At_120_Dpi) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    m.Display_Font = "Courier New";
    d.forms.Set_Dots_Per_Inch(120);
    Form_Seen s;
    d.operator_.On_Message(16).Run([&] { s = Look_At(*d.operator_.Current()); }).Press(0);
    ASSERT_EQ(m.frmMsgBox().Do_User_Msg(16, std::string("Retry?"), std::string("")), 0);
    EXPECT_EQ(s.Width, 2194);
    EXPECT_EQ(s.Height, 4038);
    EXPECT_EQ(s.Left, 10423);
    EXPECT_EQ(s.Top, 4461);
    ASSERT_EQ(s.Ops.size(), 10u);
    EXPECT_EQ(s.Ops[7].Text, "Retry?");
    EXPECT_EQ(s.Ops[7].X1, 564);
    EXPECT_EQ(s.Ops[7].Y1, 1212);
    EXPECT_EQ(s.Buttons[0].Top, 2184);
    EXPECT_EQ(s.Buttons[0].Height, 1032);
    EXPECT_EQ(s.Buttons[0].Width, 530.5);
    EXPECT_DOUBLE_EQ(s.Buttons[0].Left, 240 + 1642.0 / 6);
    EXPECT_DOUBLE_EQ(s.Buttons[2].Left, 240 + 1642.0 * 7 / 12);
    EXPECT_FALSE(s.Buttons[1].Visible);
}

// Which buttons are green after each step of the operator.
std::vector<std::vector<int>> Greens_Along(int16_t sel, Msg_Value in1,
                                           const std::vector<int>& tab_keys, int press) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    m.Display_Font = "Courier New";
    std::vector<std::vector<int>> greens;
    auto look = [&] {
        std::vector<int> g;
        fake::Fake_Form* f = d.operator_.Current();
        for (int id = 0; id <= 2; ++id)
            if (f->Item(id).Back_Color() == Green) g.push_back(id);
        EXPECT_EQ(g.size(), 1u);
        if (g.size() == 1) {
            EXPECT_EQ(g[0], f->Focused_Id());
        }
        greens.push_back(g);
    };
    auto& op = d.operator_.On_Message(sel).Run(look);
    for (int shift : tab_keys) op.Key(Key::Tab, 0, shift).Run(look);
    op.Press(press);
    EXPECT_EQ(m.frmMsgBox().Do_User_Msg(sel, in1, std::string("")), press);
    return greens;
}

TEST(cmdMsgBox_GotFocus, The_Green_Moves_With_The_Focus) {
    using G = std::vector<std::vector<int>>;
    EXPECT_EQ(Greens_Along(0, true, {0, 0, 0, Shift_Mask::Shift}, 1), (G{{0}, {1}, {2}, {0}, {2}}));
    // Button 1 of a question is hidden: it never turns green.
    EXPECT_EQ(Greens_Along(16, std::string("Go on?"), {0, 0, Shift_Mask::Shift}, 2),
              (G{{0}, {2}, {0}, {2}}));
    EXPECT_EQ(Greens_Along(0, false, {0, 0}, 0), (G{{0}, {2}, {0}}));
    EXPECT_EQ(Greens_Along(3, std::string("Saved."), {0}, 1), (G{{1}, {1}}));
}

TEST(cmdMsgBox_Design, Buttons_Are_Designed_Hidden_In_Tab_Order_With_Shadow_Colour) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    Form& f = m.frmMsgBox().form();
    EXPECT_TRUE(m.MsgBox_Loaded);
    fake::Fake_Form* ff = d.forms.live.at(0);
    const Form_Design& design = ff->Design();
    EXPECT_EQ(design.Caption, "  Norvane");
    EXPECT_EQ(design.Border, Border_Style::Fixed_Single);
    EXPECT_FALSE(design.Control_Box);
    EXPECT_FALSE(design.Enabled);
    EXPECT_FALSE(f.Visible());
    ASSERT_EQ(design.Controls.size(), 3u);
    for (int id = 0; id <= 2; ++id) {
        const Control_Design& c = design.Controls[static_cast<std::size_t>(id)];
        EXPECT_EQ(c.Id, id);
        EXPECT_EQ(c.Tab_Index, id);
        EXPECT_EQ(c.Kind, Control_Kind::Command_Button);
        EXPECT_EQ(c.Caption, "");
        EXPECT_FALSE(c.Visible);
        EXPECT_EQ(c.Back_Color, d.forms.System_Color(16));
    }
    m.frmMsgBox().Close_frmMsgBox();
    EXPECT_FALSE(m.MsgBox_Loaded);
    EXPECT_TRUE(d.forms.live.empty());
}

}  // namespace
}  // namespace nrvnc

namespace nrvnc {
namespace {

// The button font steps down to 16 points only above 10 characters.
TEST(Do_frmMsgBox, Button_Font_Boundary_At_Ten_Characters) {
    struct Case {
        std::string Caption;
        float Points;
    };
    for (const Case& c : {Case{"  &Local  ", 20}, Case{" &Internet ", 16}, Case{"&OK", 20}}) {
        fake::Fake_Desktop d;
        Misc m(d.platform());
        m.Display_Font = "Courier New";
        FrmMsgBox& box = m.frmMsgBox();
        box.form().Item(0).Set_Caption(c.Caption);
        box.Do_frmMsgBox({"", "A line"});
        EXPECT_EQ(box.form().Item(0).Font_Size(),
                  d.forms.metrics.Renderable_Size("Courier New", c.Points))
            << c.Caption;
        EXPECT_EQ(d.forms.live.at(0)->Focused_Id(), 0);
        box.Close_frmMsgBox();
    }
}

}  // namespace
}  // namespace nrvnc
