// What the entry form draws and where it puts its controls, worked out here
// from the layout rules and the fake screen's text measures, with a few
// hand-computed anchors.
#include <cmath>

#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

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

// What the screen looked like while it waited.
struct Captured {
    double Left, Top, Width, Height;
    std::vector<Draw_Op> Ops;
    std::map<int, Control_Design> Controls;
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
                seen = {f.Left(), f.Top(), f.Width(), f.Height(), f.Drawing(), {}};
                for (int id : {Field_Id, Accept_Id, Edit_Port_Id, Edit_IP_Id, Exit_Id}) {
                    Control_Model& k = control(id);
                    Control_Design& cd = seen.Controls[id];
                    cd.Left = k.Left(), cd.Top = k.Top(), cd.Width = k.Width(),
                    cd.Height = k.Height();
                    cd.Visible = k.Visible(), cd.Back_Color = k.Back_Color(), cd.Font = k.Font();
                }
            })
            .Key(Key::Escape);
        EXPECT_EQ(Run_Screen(c.Mode), Entry_Escape);
        return seen;
    }
};

void Expect_Op(const Draw_Op& op, Draw_Op::Kind kind, double x1, double y1, double x2, double y2,
               Color colour, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(op.What, kind);
    EXPECT_NEAR(op.X1, x1, 0.01);
    EXPECT_NEAR(op.Y1, y1, 0.01);
    if (kind != Draw_Op::Kind::Text) {
        EXPECT_NEAR(op.X2, x2, 0.01);
        EXPECT_NEAR(op.Y2, y2, 0.01);
    }
    EXPECT_EQ(op.Colour, colour);
}

void Expect_Rect(const Control_Design& c, double l, double t, double w, double h,
                 const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(c.Left, l, 0.01);
    EXPECT_NEAR(c.Top, t, 0.01);
    EXPECT_NEAR(c.Width, w, 0.01);
    EXPECT_NEAR(c.Height, h, 0.01);
}

TEST_P(Entry_Layout, DrawsAndPlacesEverythingByTheRules) {
    const Layout_Case& c = GetParam();
    const double tpp = 1440.0 / c.Dpi;
    auto px = [&](int n) { return std::nearbyint(n * tpp); };
    // The fake screen: a bold character is 0.6 em wide, a line 1.15 em high
    // in whole pixels; the form's frame is 3 pixels with a 20-pixel title bar.
    auto W = [](const std::string& text, double size) {
        return std::round(text.size() * size * 12.0);
    };
    auto H = [&](double size) { return std::ceil(size * 1.15 * 20.0 / tpp) * tpp; };
    const Captured got = Show(c);
    const double form_w = c.Width_Px * tpp * 0.75, form_h = c.Height_Px * tpp / 2 + px(25);
    EXPECT_NEAR(got.Left, c.Width_Px * tpp * 0.125, 0.01);
    EXPECT_NEAR(got.Top, c.Height_Px * tpp / 4 - px(12), 0.01);
    EXPECT_NEAR(got.Width, form_w, 0.01);
    EXPECT_NEAR(got.Height, form_h, 0.01);
    const double sw = form_w - 6 * tpp, sh = form_h - 26 * tpp;

    // Start from the largest sizes not above 16 and 12 and step both down
    // until the heading, the box and the hints fit; clear the form each try.
    const int hint_lines = (c.Mode == 1 && c.Found ? 2 : 4) + 1;
    const int label_chars = std::vector<int>{27, 22, 12, 12}[c.Mode - 1];
    const int field_chars = c.Mode == 1 ? 10 : 20;
    int heading = -1, hint = -1, passes = 1;
    for (int i = 0; i < static_cast<int>(c.Sizes.size()); ++i) {
        if (c.Sizes[i] <= 16) heading = i;
        if (c.Sizes[i] <= 12) hint = i;
    }
    double label_w, field_w, inner_h, outer_w, outer_h, box_top;
    for (;; ++passes) {
        const double size = c.Sizes[heading];
        label_w = (label_chars + 2) * W("M", size);
        field_w = (field_chars + 2) * W("M", size);
        inner_h = 1.1 * H(size) + px(4);
        outer_w = field_w + label_w + px(4) + px(32);
        outer_h = inner_h + px(32);
        // The box sits higher the smaller it is against the form.
        int k = 5;
        const float shares[] = {0.5f, 0.6f, 0.7f, 0.8f, 0.9f};
        for (int n = 0; n < 5; ++n) {
            if (static_cast<float>(sh) * shares[n] >= outer_h) {
                k = 10 - n;
                break;
            }
        }
        box_top = (sh - outer_h) * (k / 20.0) * (2.0 / 3.0);
        if (sh - px(60) - (hint_lines * H(c.Sizes[hint]) + outer_h + H(size)) > 0) break;
        const bool can_step = heading > 3 || hint > 0;
        if (heading > 3) --heading;
        if (hint > 0) --hint;
        if (!can_step) break;
    }
    const double heading_size = c.Sizes[heading], hint_size = c.Sizes[hint];
    const double box_left = (sw - outer_w) / 2, box_bottom = box_top + outer_h;

    // Frame, a clear box per try, the entry box's frame, heading, label
    // block, label, hints; no divider line with a single field.
    const auto& ops = got.Ops;
    ASSERT_EQ(ops.size(), 5 + passes + 5 + 3 + hint_lines - 1);
    const Color Cyan = Rgb(0, 255, 255), Black = Rgb(0, 0, 0);
    EXPECT_EQ(ops[0].Line_Width, 19);
    Expect_Op(ops[1], Draw_Op::Kind::Box, 0, 0, sw, sh, Cyan, "form frame");
    for (int pass = 0; pass < passes; ++pass)
        Expect_Op(ops[5 + pass], Draw_Op::Kind::Filled_Box, 20 * tpp, 20 * tpp, sw - 20 * tpp,
                  sh - 20 * tpp, Black, "clear box");
    std::size_t at = 5 + passes;
    EXPECT_EQ(ops[at].Line_Width, 15);
    Expect_Op(ops[at + 1], Draw_Op::Kind::Box, box_left, box_top, box_left + outer_w, box_bottom,
              Cyan, "entry box frame");
    at += 5;
    Expect_Op(ops[at], Draw_Op::Kind::Text, (sw - W(ops[at].Text, heading_size)) / 2,
              (box_top - H(heading_size)) / 2, 0, 0, Rgb(255, 255, 0), "heading");
    EXPECT_EQ(ops[at].Font.Size, heading_size);
    const double label_left = box_left + px(16);
    Expect_Op(ops[at + 1], Draw_Op::Kind::Filled_Box, label_left, box_top + px(15),
              label_left + label_w, box_top + px(15) + inner_h, Rgb(255, 0, 0), "label block");
    Expect_Op(ops[at + 2], Draw_Op::Kind::Text,
              label_left + (label_w - W(ops[at + 2].Text, heading_size)) / 2,
              box_top + px(16) + px(2), 0, 0, White, "label");
    EXPECT_EQ(ops[at + 2].Font.Size, heading_size);
    double y = box_bottom + (sh - box_bottom - hint_lines * H(hint_size)) / 3;
    for (at += 3; at < ops.size(); ++at, y += H(hint_size) + px(1)) {
        Expect_Op(ops[at], Draw_Op::Kind::Text,
                  box_left + (outer_w - W(ops[at].Text, hint_size)) / 2, y, 0, 0, White,
                  "hint " + ops[at].Text);
        EXPECT_EQ(ops[at].Font.Size, hint_size);
    }

    // The field right of the label block, three sizes below the heading.
    const Control_Design& field = got.Controls.at(Field_Id);
    Expect_Rect(field, label_left + label_w + px(1), box_top + px(16), field_w, 405, "field");
    EXPECT_EQ(field.Font.Size, c.Sizes[heading - 3]);

    // The button row at 14 points.
    const double button_h = 1.5 * H(14), button_top = sh - (button_h + px(40));
    const double exit_right = px(80) + W("HHHHHHHHHHHHHH", 14);
    const double accept_left = sw - (W(" Accept ", 14) + px(80));
    Expect_Rect(got.Controls.at(Exit_Id), px(80), button_top, exit_right - px(80), button_h,
                "Exit Program");
    Expect_Rect(got.Controls.at(Accept_Id), accept_left, button_top, W(" Accept ", 14), button_h,
                "Accept");
    const bool edits = c.Mode == 1 && !c.Found;
    EXPECT_EQ(got.Controls.at(Edit_IP_Id).Visible, edits);
    EXPECT_EQ(got.Controls.at(Edit_Port_Id).Visible, edits);
    if (edits) {
        const double ip_w = W("  Edit IP  ", 14), port_w = W("  Edit Port #  ", 14);
        Expect_Rect(got.Controls.at(Edit_IP_Id), exit_right + (sw / 2 - exit_right - ip_w) / 2,
                    button_top, ip_w, button_h, "Edit IP");
        Expect_Rect(got.Controls.at(Edit_Port_Id), sw / 2 + (accept_left - sw / 2 - port_w) / 2,
                    button_top, port_w, button_h, "Edit Port #");
    }
    for (int id : {Accept_Id, Exit_Id}) {
        EXPECT_EQ(got.Controls.at(id).Back_Color, White);
        EXPECT_EQ(got.Controls.at(id).Font.Size, 14);
    }
}

const std::vector<float> Up_To_20 = {8, 9, 10, 11, 12, 14, 16, 18, 20};
INSTANTIATE_TEST_SUITE_P(
    Screens, Entry_Layout,
    ::testing::Values(
        Layout_Case{"CodeFound", 1920, 1080, 96, Up_To_20, 1, true},
        Layout_Case{"CodeNotFound", 1920, 1080, 96, Up_To_20, 1, false},
        Layout_Case{"Host", 1920, 1080, 96, Up_To_20, 2, true},
        Layout_Case{"RepeaterIP", 1920, 1080, 96, Up_To_20, 3, false},
        Layout_Case{"Port", 1920, 1080, 96, Up_To_20, 4, true},
        Layout_Case{"LargestTwelveHost", 1920, 1080, 96, {8, 9, 10, 11, 12}, 2, true},
        Layout_Case{"LargestTwelveCode", 1920, 1080, 96, {8, 9, 10, 11, 12}, 1, false},
        Layout_Case{"Dpi120Port", 1600, 900, 120, {6, 7, 8, 9, 10, 11, 12, 14, 16, 18}, 4, true},
        Layout_Case{"LowScreenSteps", 1920, 470, 96, Up_To_20, 2, true},
        Layout_Case{"TinyScreen", 640, 300, 96, Up_To_20, 4, true},
        // So low that the box takes more than half the form: its
        // share of the free height steps from 9 down to 5.
        Layout_Case{"Share9", 1920, 200, 96, Up_To_20, 2, true},
        Layout_Case{"Share7", 1920, 150, 96, Up_To_20, 2, true},
        Layout_Case{"Share5", 1920, 110, 96, Up_To_20, 2, true}),
    [](const auto& info) { return info.param.Name; });

// ---- hand-computed anchors ----

TEST_F(Entry_Layout, HostScreenAt1920x1080) {
    const Captured got = Show({"", 1920, 1080, 96, Up_To_20, 2, true});
    EXPECT_EQ(std::vector<double>({got.Left, got.Top, got.Width, got.Height}),
              std::vector<double>({3600, 3870, 21600, 8475}));
    // The grey band 12 pixels in on a 21510 x 8085 client area.
    Expect_Op(got.Ops[0], Draw_Op::Kind::Box, 180, 180, 21330, 7905, Rgb(240, 240, 240), "band");
    // Entry box 6069..15441 x 2377.5..3330; its blue line 14 pixels in.
    Expect_Op(got.Ops[10], Draw_Op::Kind::Box, 6279, 2587.5, 15231, 3120, Rgb(0, 0, 255), "blue");
    Expect_Op(got.Ops[11], Draw_Op::Kind::Text, (21510 - 62 * 192) / 2.0, 1001.25, 0, 0,
              Rgb(255, 255, 0), "heading");
    Expect_Op(got.Ops[13], Draw_Op::Kind::Text, 6501, 2647.5, 0, 0, White, "label");
    Expect_Op(got.Ops[14], Draw_Op::Kind::Text, 8019, 4440, 0, 0, White, "hint 1");
    EXPECT_EQ(std::vector<float>({got.Ops[11].Font.Size, got.Ops[14].Font.Size}),
              std::vector<float>({16, 12}));
    Expect_Rect(got.Controls.at(Field_Id), 10932, 2617.5, 4224, 405, "field");
    EXPECT_EQ(got.Controls.at(Field_Id).Font.Size, 11);
    Expect_Rect(got.Controls.at(Exit_Id), 1200, 6990, 2352, 495, "exit");
    Expect_Rect(got.Controls.at(Accept_Id), 18966, 6990, 1344, 495, "accept");
}

TEST_F(Entry_Layout, ALowScreenStepsTheSizesDownUntilItFits) {
    // 470 pixels: 16/12 leaves no room; 14/11 fits on the second try.
    const Captured got = Show({"", 1920, 470, 96, Up_To_20, 2, true});
    EXPECT_EQ(got.Ops[6].What, Draw_Op::Kind::Filled_Box);  // the second clear box
    EXPECT_EQ(got.Ops[12].Font.Size, 14);                   // heading
    EXPECT_EQ(got.Ops[15].Font.Size, 11);                   // first hint
    EXPECT_EQ(got.Controls.at(Field_Id).Font.Size, 10);
}

}  // namespace
}  // namespace nrvnc::entry_test
