// What the entry form draws and where it puts its controls, worked out here
// from the layout rules and the fake screen's text measures, with a few
// hand-computed anchors.
#include <cmath>

#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

constexpr Color Yellow = Rgb(255, 255, 0);
constexpr Color Light_Red = Rgb(255, 0, 0);
constexpr Color Button_Face = Rgb(240, 240, 240);  // the fake's system colour 15

// The fake screen: a bold character is 0.6 em wide, a line 1.15 em high in
// whole pixels; the form's frame is 3 pixels with a 20-pixel title bar.
struct Screen_Model {
    int Width_Px, Height_Px;
    double Tpp;  // twips per pixel, both ways

    double Px(int n) const { return std::nearbyint(n * Tpp); }
    static double W(const std::string& text, double size) {
        return std::round(static_cast<double>(text.size()) * size * 12.0);
    }
    double H(double size) const { return std::ceil(size * 1.15 * 20.0 / Tpp) * Tpp; }
};

struct Text_At {
    std::string Text;
    double X, Y, Size;
};

struct Rect {
    double Left, Top, Width, Height;
};

struct Expected_Layout {
    double Form_Left, Form_Top, Form_Width, Form_Height, Scale_Width, Scale_Height;
    Rect Exit, Accept, Edit_IP, Edit_Port;
    double Heading_Size, Hint_Size, Field_Size;
    int Passes;  // clear boxes drawn: one per try of the fit test
    double Box_Left, Box_Top, Box_Right, Box_Bottom;
    double Label_Left, Label_Top, Label_Right, Label_Bottom;
    Text_At Heading, Label;
    std::vector<Text_At> Hints;
    double Field_Left, Field_Top, Field_Width;
};

struct Layout_Case {
    std::string Name;
    int Width_Px, Height_Px, Dpi;
    std::vector<float> Sizes;
    int Mode;
    bool Found;
};

void PrintTo(const Layout_Case& c, std::ostream* os) {
    *os << c.Name;
}

std::string Heading_Of(int mode) {
    switch (mode) {
        case 1:
            return "ENTER REMOTE VIEWER 4 DIGIT ACCES CODE SUPPLIED BY THE HOST";
        case 2:
            return "ENTER HOST NAME or IP ADDRESS FOR LOCAL NETWORK REMOTE VIEWING";
        case 3:
            return "ENTER REPEATER IP ADDRESS FOR INTERNET REMOTE VIEWING";
        default:
            return "ENTER PORT NUMBER FOR INTERNET REMOTE VIEWING";
    }
}

std::string Label_Of(int mode) {
    switch (mode) {
        case 1:
            return " Remote Viewer Access Code ";
        case 2:
            return " Host Name/IP Address ";
        case 3:
            return " IP Address ";
        default:
            return "   Port #   ";
    }
}

std::vector<std::string> Hints_Of(int mode, bool found) {
    std::vector<std::string> hints{"Press [Accept] button to accept input."};
    const std::string esc_or_exit =
        "Press <Esc> key to return to network selection or the [Exit Program] button to exit "
        "program.";
    if (mode == 1 && !found) {
        hints.push_back(
            "Press [Edit IP] button to change the repeater IP address for remote viewing.");
        hints.push_back(
            "Press [Edit Port #] button to change the internet port number remote viewing.");
        hints.push_back(esc_or_exit);
    } else if (mode == 1) {
        hints.push_back(esc_or_exit);
    } else {
        hints.push_back("Press <F2> to restore original value.");
        hints.push_back("Press <Esc> key to return to network selection screen.");
        hints.push_back("Press [Exit Program] button to exit program.");
    }
    return hints;
}

Expected_Layout Work_Out(const Layout_Case& c) {
    const Screen_Model s{c.Width_Px, c.Height_Px, 1440.0 / c.Dpi};
    Expected_Layout e{};
    const double screen_w = c.Width_Px * s.Tpp, screen_h = c.Height_Px * s.Tpp;
    e.Form_Height = screen_h / 2 + s.Px(25);
    e.Form_Width = screen_w * 0.75;
    e.Form_Left = screen_w * 0.125;
    e.Form_Top = screen_h / 4 - s.Px(12);
    e.Scale_Width = e.Form_Width - 6 * s.Tpp;
    e.Scale_Height = e.Form_Height - 26 * s.Tpp;

    // Button row at 14 points.
    e.Exit.Width = Screen_Model::W("HHHHHHHHHHHHHH", 14);
    e.Exit.Height = 1.5 * s.H(14);
    e.Exit.Left = s.Px(80);
    e.Exit.Top = e.Scale_Height - (e.Exit.Height + s.Px(40));
    e.Accept.Width = Screen_Model::W(" Accept ", 14);
    e.Accept.Left = e.Scale_Width - (e.Accept.Width + s.Px(80));
    e.Accept.Top = e.Exit.Top;
    e.Accept.Height = e.Exit.Height;
    const double exit_right = e.Exit.Left + e.Exit.Width, middle = e.Scale_Width / 2;
    e.Edit_IP.Width = Screen_Model::W("  Edit IP  ", 14);
    e.Edit_IP.Left = exit_right + (middle - exit_right - e.Edit_IP.Width) / 2;
    e.Edit_Port.Width = Screen_Model::W("  Edit Port #  ", 14);
    e.Edit_Port.Left = middle + (e.Accept.Left - middle - e.Edit_Port.Width) / 2;
    e.Edit_IP.Top = e.Edit_Port.Top = e.Exit.Top;
    e.Edit_IP.Height = e.Edit_Port.Height = e.Exit.Height;

    const std::vector<std::string> hints = Hints_Of(c.Mode, c.Found);
    const int hint_lines = static_cast<int>(hints.size()) + 1;

    // Largest sizes not above 16 and 12.
    int heading = -1, hint = -1;
    for (int i = 0; i < static_cast<int>(c.Sizes.size()); ++i) {
        if (c.Sizes[i] <= 16) heading = i;
        if (c.Sizes[i] <= 12) hint = i;
    }
    const std::string label = Label_Of(c.Mode);
    const int field_chars = c.Mode == 1 ? 10 : 20;
    double char_w = 0, line_h = 0, inner_w = 0, inner_h = 0, outer_w = 0, outer_h = 0, hint_h = 0,
           heading_h = 0, label_w = 0, field_w = 0;
    for (e.Passes = 1;; ++e.Passes) {
        const double size = c.Sizes[heading];
        hint_h = s.H(c.Sizes[hint]);
        heading_h = s.H(size);
        char_w = Screen_Model::W("M", size);
        line_h = 1.1 * heading_h;
        label_w = (label.size() + 2) * char_w;
        field_w = (field_chars + 2) * char_w;
        inner_w = field_w + label_w + s.Px(4);
        inner_h = line_h + s.Px(4);
        outer_w = inner_w + s.Px(32);
        outer_h = inner_h + s.Px(32);
        // The box sits higher the smaller it is against the form.
        int k = 5;
        const float shares[] = {0.5f, 0.6f, 0.7f, 0.8f, 0.9f};
        for (int n = 0; n < 5; ++n) {
            if (static_cast<float>(e.Scale_Height) * shares[n] >= outer_h) {
                k = 10 - n;
                break;
            }
        }
        e.Box_Top = (e.Scale_Height - outer_h) * (k / 20.0) * (2.0 / 3.0);
        if (e.Scale_Height - s.Px(60) - (hint_lines * hint_h + outer_h + heading_h) > 0) break;
        const bool can_step = heading > 3 || hint > 0;
        if (heading > 3) --heading;
        if (hint > 0) --hint;
        if (!can_step) break;
    }
    e.Heading_Size = c.Sizes[heading];
    e.Hint_Size = c.Sizes[hint];
    e.Field_Size = c.Sizes[heading - 3];
    e.Box_Left = (e.Scale_Width - outer_w) / 2;
    e.Box_Right = e.Box_Left + outer_w;
    e.Box_Bottom = e.Box_Top + outer_h;

    e.Heading.Text = Heading_Of(c.Mode);
    e.Heading.Size = e.Heading_Size;
    e.Heading.X = (e.Scale_Width - Screen_Model::W(e.Heading.Text, e.Heading_Size)) / 2;
    e.Heading.Y = (e.Box_Top - heading_h) / 2;

    e.Label_Left = e.Box_Left + s.Px(16);
    e.Label_Right = e.Label_Left + label_w;
    e.Label_Top = e.Box_Top + s.Px(15);
    e.Label_Bottom = e.Label_Top + inner_h;
    const double row_top = e.Box_Top + s.Px(16);
    e.Label = {label, e.Label_Left + (label_w - Screen_Model::W(label, e.Heading_Size)) / 2,
               row_top + s.Px(2), e.Heading_Size};
    e.Field_Left = e.Label_Right + s.Px(1);
    e.Field_Top = row_top;
    e.Field_Width = field_w;

    double y = e.Box_Bottom + (e.Scale_Height - e.Box_Bottom - hint_lines * hint_h) / 3;
    for (const auto& text : hints) {
        e.Hints.push_back({text, e.Box_Left + (outer_w - Screen_Model::W(text, e.Hint_Size)) / 2, y,
                           e.Hint_Size});
        y += hint_h + s.Px(1);
    }
    return e;
}

// What the screen looked like while it waited.
struct Captured {
    double Left, Top, Width, Height;
    Color Back;
    std::vector<Draw_Op> Drawing;
    std::map<int, Control_Design> Controls;
    std::map<int, bool> Visible;
    Form_Design Design;
};

class Entry_Layout : public Entry_Test, public ::testing::WithParamInterface<Layout_Case> {
  protected:
    Captured Show(const Layout_Case& c) {
        d.forms.screen_width_px = c.Width_Px;
        d.forms.screen_height_px = c.Height_Px;
        d.forms.Set_Dots_Per_Inch(c.Dpi);
        m.Font_Sizes = c.Sizes;
        m.Repeater_Found = c.Found;
        Captured seen{};
        d.operator_.On_Screen(Caption_Of(c.Mode))
            .Run([&] {
                fake::Fake_Form& f = form();
                seen.Left = f.Left(), seen.Top = f.Top(), seen.Width = f.Width();
                seen.Height = f.Height(), seen.Back = f.Back_Color();
                seen.Drawing = f.Drawing();
                seen.Design = f.Design();
                for (int id : {Field_Id, Accept_Id, Edit_Port_Id, Edit_IP_Id, Exit_Id}) {
                    Control_Model& k = control(id);
                    Control_Design cd;
                    cd.Left = k.Left(), cd.Top = k.Top(), cd.Width = k.Width();
                    cd.Height = k.Height(), cd.Back_Color = k.Back_Color();
                    cd.Fore_Color = k.Fore_Color(), cd.Font = k.Font(), cd.Caption = k.Caption();
                    seen.Controls[id] = cd;
                    seen.Visible[id] = k.Visible();
                }
            })
            .Press(Accept_Id);
        if (c.Mode == 1) d.operator_.On_Message_Box().Key(Key::Escape);
        const uint8_t result = Run_Screen(c.Mode);
        EXPECT_EQ(result, c.Mode == 1 ? Entry_Escape : Entry_Accept);
        return seen;
    }
};

void Expect_Box(const Draw_Op& op, double l, double t, double r, double b, Color colour, int width,
                bool filled, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(op.What, filled ? Draw_Op::Kind::Filled_Box : Draw_Op::Kind::Box);
    EXPECT_NEAR(op.X1, l, 0.01);
    EXPECT_NEAR(op.Y1, t, 0.01);
    EXPECT_NEAR(op.X2, r, 0.01);
    EXPECT_NEAR(op.Y2, b, 0.01);
    EXPECT_EQ(op.Colour, colour);
    if (!filled) {
        EXPECT_EQ(op.Line_Width, width);
    }
}

// The shared frame: five outlines inset from the rectangle.
void Expect_Border(const std::vector<Draw_Op>& ops, std::size_t at, double l, double r, double t,
                   double b, int w, double tpp, const std::string& what) {
    ASSERT_GE(ops.size(), at + 5) << what;
    const int a = static_cast<int>(std::nearbyint(w / 2.0));
    const int in_b = static_cast<int>(std::nearbyint(a / 2.0 + 2)), in_c = 2 * a - 2, in_d = a + 2;
    const struct {
        int Inset, Width;
        Color Colour;
    } outlines[] = {{in_d, w, Button_Face},
                    {0, 1, Rgb(0, 255, 255)},
                    {in_b, 1, Rgb(255, 0, 0)},
                    {in_d, 1, Rgb(255, 255, 255)},
                    {in_c, 2, Rgb(0, 0, 255)}};
    for (int i = 0; i < 5; ++i) {
        const double p = std::nearbyint(outlines[i].Inset * tpp);
        Expect_Box(ops[at + i], l + p, t + p, r - p, b - p, outlines[i].Colour, outlines[i].Width,
                   false, what + " outline " + std::to_string(i + 1));
    }
}

void Expect_Text(const Draw_Op& op, const Text_At& t, Color colour, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(op.What, Draw_Op::Kind::Text);
    EXPECT_EQ(op.Text, t.Text);
    EXPECT_NEAR(op.X1, t.X, 0.01);
    EXPECT_NEAR(op.Y1, t.Y, 0.01);
    EXPECT_EQ(op.Colour, colour);
    EXPECT_EQ(op.Font.Name, "Courier New");
    EXPECT_FLOAT_EQ(op.Font.Size, static_cast<float>(t.Size));
    EXPECT_TRUE(op.Font.Bold);
}

void Expect_Rect(const Control_Design& c, const Rect& r, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(c.Left, r.Left, 0.01);
    EXPECT_NEAR(c.Top, r.Top, 0.01);
    EXPECT_NEAR(c.Width, r.Width, 0.01);
    EXPECT_NEAR(c.Height, r.Height, 0.01);
}

TEST_P(Entry_Layout, DrawsAndPlacesEverythingByTheRules) {
    const Layout_Case& c = GetParam();
    const Expected_Layout e = Work_Out(c);
    const double tpp = 1440.0 / c.Dpi;
    const Captured got = Show(c);

    EXPECT_NEAR(got.Left, e.Form_Left, 0.01);
    EXPECT_NEAR(got.Top, e.Form_Top, 0.01);
    EXPECT_NEAR(got.Width, e.Form_Width, 0.01);
    EXPECT_NEAR(got.Height, e.Form_Height, 0.01);
    EXPECT_EQ(got.Back, Black);

    // Frame, clear box per try, entry box frame, heading, label block,
    // label, hints; no divider line with a single field.
    const auto& ops = got.Drawing;
    ASSERT_EQ(ops.size(), 5 + e.Passes + 5 + 1 + 1 + 1 + e.Hints.size());
    Expect_Border(ops, 0, 0, e.Scale_Width, 0, e.Scale_Height, 19, tpp, "form frame");
    for (int pass = 0; pass < e.Passes; ++pass)
        Expect_Box(ops[5 + pass], 20 * tpp, 20 * tpp, e.Scale_Width - 20 * tpp,
                   e.Scale_Height - 20 * tpp, Black, 0, true, "clear box");
    std::size_t at = 5 + e.Passes;
    Expect_Border(ops, at, e.Box_Left, e.Box_Right, e.Box_Top, e.Box_Bottom, 15, tpp, "entry box");
    at += 5;
    Expect_Text(ops[at++], e.Heading, Yellow, "heading");
    Expect_Box(ops[at++], e.Label_Left, e.Label_Top, e.Label_Right, e.Label_Bottom, Light_Red, 0,
               true, "label block");
    Expect_Text(ops[at++], e.Label, White, "label");
    for (const auto& hint : e.Hints) Expect_Text(ops[at++], hint, White, "hint " + hint.Text);
    for (const auto& op : ops) EXPECT_NE(op.What, Draw_Op::Kind::Line);

    // The field sits right of the label block in the font three sizes below
    // the heading, with its designed height.
    const Control_Design& field = got.Controls.at(Field_Id);
    Expect_Rect(field, {e.Field_Left, e.Field_Top, e.Field_Width, 405}, "field");
    EXPECT_EQ(field.Font.Name, "Courier New");
    EXPECT_TRUE(field.Font.Bold);
    EXPECT_FLOAT_EQ(field.Font.Size, static_cast<float>(e.Field_Size));

    // The button row.
    Expect_Rect(got.Controls.at(Exit_Id), e.Exit, "Exit Program");
    Expect_Rect(got.Controls.at(Accept_Id), e.Accept, "Accept");
    const bool edits = c.Mode == 1 && !c.Found;
    EXPECT_EQ(got.Visible.at(Edit_IP_Id), edits);
    EXPECT_EQ(got.Visible.at(Edit_Port_Id), edits);
    if (edits) {
        Expect_Rect(got.Controls.at(Edit_IP_Id), e.Edit_IP, "Edit IP");
        Expect_Rect(got.Controls.at(Edit_Port_Id), e.Edit_Port, "Edit Port #");
    }
    for (int id : {Accept_Id, Exit_Id}) {
        const Control_Design& button = got.Controls.at(id);
        EXPECT_EQ(button.Back_Color, 0xFFFFFFu);
        EXPECT_EQ(button.Font.Name, "Courier New");
        EXPECT_FLOAT_EQ(button.Font.Size, 14);
        EXPECT_TRUE(button.Font.Bold);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Entry_Layout,
    ::testing::Values(
        Layout_Case{"CodeFound", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 1, true},
        Layout_Case{"CodeNotFound", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 1, false},
        Layout_Case{"Host", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true},
        Layout_Case{"RepeaterIP", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 3, false},
        Layout_Case{"Port", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 4, true},
        Layout_Case{"LargestTwelveHost", 1920, 1080, 96, {8, 9, 10, 11, 12}, 2, true},
        Layout_Case{"LargestTwelveCode", 1920, 1080, 96, {8, 9, 10, 11, 12}, 1, false},
        Layout_Case{"Dpi120Port", 1600, 900, 120, {6, 7, 8, 9, 10, 11, 12, 14, 16, 18}, 4, true},
        Layout_Case{"LowScreenSteps", 1920, 470, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true},
        Layout_Case{"TinyScreen", 640, 300, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 4, true},
        // Screens so low that the box takes more than half the form: the
        // box's share of the free height steps from 9 down to 5.
        Layout_Case{"Share9", 1920, 200, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true},
        Layout_Case{"Share8", 1920, 170, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true},
        Layout_Case{"Share7", 1920, 150, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true},
        Layout_Case{"Share6", 1920, 130, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true},
        Layout_Case{"Share5", 1920, 110, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true}),
    [](const auto& info) { return info.param.Name; });

// ---- hand-computed anchors ----

TEST_F(Entry_Layout, HostScreenAt1920x1080) {
    const Captured got = Show({"", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true});
    EXPECT_EQ(got.Left, 3600);
    EXPECT_EQ(got.Top, 3870);
    EXPECT_EQ(got.Width, 21600);
    EXPECT_EQ(got.Height, 8475);
    // Form frame: the grey band 12 pixels in on a 21510 x 8085 client area.
    Expect_Box(got.Drawing[0], 180, 180, 21330, 7905, Button_Face, 19, false, "band");
    Expect_Box(got.Drawing[5], 300, 300, 21210, 7785, Black, 0, true, "clear box");
    // Entry box 6069..15441 x 2377.5..3330; its band 10 pixels in.
    Expect_Box(got.Drawing[6], 6219, 2527.5, 15291, 3180, Button_Face, 15, false, "entry band");
    Expect_Box(got.Drawing[10], 6279, 2587.5, 15231, 3120, Rgb(0, 0, 255), 2, false, "entry blue");
    Expect_Text(got.Drawing[11],
                {"ENTER HOST NAME or IP ADDRESS FOR LOCAL NETWORK REMOTE VIEWING",
                 (21510 - 62 * 192) / 2.0, 1001.25, 16},
                Yellow, "heading");
    Expect_Box(got.Drawing[12], 6309, 2602.5, 10917, 3075, Light_Red, 0, true, "label block");
    Expect_Text(got.Drawing[13], {" Host Name/IP Address ", 6501, 2647.5, 16}, White, "label");
    Expect_Text(got.Drawing[14], {"Press [Accept] button to accept input.", 8019, 4440, 12}, White,
                "hint 1");
    EXPECT_EQ(got.Drawing[15].Y1, 4740);
    Expect_Rect(got.Controls.at(Field_Id), {10932, 2617.5, 4224, 405}, "field");
    EXPECT_EQ(got.Controls.at(Field_Id).Font.Size, 11);
    Expect_Rect(got.Controls.at(Exit_Id), {1200, 6990, 2352, 495}, "exit");
    Expect_Rect(got.Controls.at(Accept_Id), {18966, 6990, 1344, 495}, "accept");
}

TEST_F(Entry_Layout, EditButtonsAt1920x1080) {
    const Captured got = Show({"", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 1, false});
    Expect_Rect(got.Controls.at(Edit_IP_Id), {6229.5, 6990, 1848, 495}, "Edit IP");
    Expect_Rect(got.Controls.at(Edit_Port_Id), {13600.5, 6990, 2520, 495}, "Edit Port #");
    EXPECT_EQ(got.Controls.at(Edit_IP_Id).Caption, " &Edit IP ");
    EXPECT_EQ(got.Controls.at(Edit_Port_Id).Caption, " &Edit Port # ");
}

TEST_F(Entry_Layout, FontSizesUpTo20GiveHeading16Hints12Field11) {
    const Captured got = Show({"", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 3, true});
    EXPECT_EQ(got.Drawing[11].Font.Size, 16);  // heading
    EXPECT_EQ(got.Drawing[13].Font.Size, 16);  // label
    EXPECT_EQ(got.Drawing[14].Font.Size, 12);  // first hint
    EXPECT_EQ(got.Controls.at(Field_Id).Font.Size, 11);
}

TEST_F(Entry_Layout, FontSizesUpTo12GiveHeadingAndHints12) {
    const Captured got = Show({"", 1920, 1080, 96, {8, 9, 10, 11, 12}, 3, true});
    EXPECT_EQ(got.Drawing[11].Font.Size, 12);
    EXPECT_EQ(got.Drawing[14].Font.Size, 12);
    EXPECT_EQ(got.Controls.at(Field_Id).Font.Size, 9);
}

TEST_F(Entry_Layout, ALowScreenStepsTheSizesDownUntilItFits) {
    // 470 pixels: 16/12 leaves no room; 14/11 fits on the second try.
    const Captured got = Show({"", 1920, 470, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true});
    int clear_boxes = 0;
    for (const auto& op : got.Drawing)
        clear_boxes += op.What == Draw_Op::Kind::Filled_Box && op.Colour == Black;
    EXPECT_EQ(clear_boxes, 2);
    EXPECT_EQ(got.Drawing[12].Font.Size, 14);  // heading
    EXPECT_EQ(got.Drawing[15].Font.Size, 11);  // first hint
    EXPECT_EQ(got.Controls.at(Field_Id).Font.Size, 10);
}

TEST_F(Entry_Layout, ATinyScreenEndsAtTheSmallestSizesAndStillWorks) {
    const Captured got = Show({"", 640, 300, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 4, true});
    // Five tries: 16/12, 14/11, 12/10, 11/9, 11/8.
    EXPECT_EQ(got.Drawing[15].Font.Size, 11);
    EXPECT_EQ(got.Drawing[18].Font.Size, 8);
    EXPECT_EQ(got.Controls.at(Field_Id).Font.Size, 8);
    EXPECT_TRUE(d.forms.message_boxes.empty());
}

TEST_F(Entry_Layout, BoxShareAnchors) {
    // 150 pixels: a 1110-twip client height against an 820.5-twip box at
    // the smallest sizes: 0.8 of the height is the first share that holds it.
    const Captured got = Show({"", 1920, 150, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true});
    // Box_Top = (1110 - 820.5) * 7/20 * 2/3 = 67.55; at 11 points the box is
    // 6612 twips wide, so 7449 to 14061; the entry band lies 10 pixels in.
    Expect_Box(got.Drawing[10], 7599, 217.55, 13911, 738.05, Button_Face, 15, false, "entry band");
}

TEST_F(Entry_Layout, TheDesign) {
    const Captured got = Show({"", 1920, 1080, 96, {8, 9, 10, 11, 12, 14, 16, 18, 20}, 2, true});
    EXPECT_EQ(got.Design.Caption, "");
    EXPECT_EQ(got.Design.Border, Border_Style::Fixed_Single);
    EXPECT_FALSE(got.Design.Control_Box);
    EXPECT_TRUE(got.Design.Key_Preview);
    EXPECT_EQ(got.Design.Back_Color, Black);
    bool field_found = false;
    for (const auto& control : got.Design.Controls) {
        if (control.Id == Field_Id) {
            field_found = true;
            EXPECT_EQ(control.Kind, Control_Kind::Text_Box);
            EXPECT_EQ(control.Height, 405);
            EXPECT_EQ(control.Back_Color, White);
            EXPECT_EQ(control.Fore_Color, Black);
            EXPECT_FALSE(control.Visible);
        } else {
            EXPECT_EQ(control.Kind, Control_Kind::Command_Button);
            EXPECT_FALSE(control.Visible);
            EXPECT_FALSE(control.Enabled);
        }
    }
    EXPECT_TRUE(field_found);
    EXPECT_EQ(got.Design.Controls.size(), 5u);
}

}  // namespace
}  // namespace nrvnc::entry_test
