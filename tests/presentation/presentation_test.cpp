// The presentation on the fake desktop: the display font choice, and the
// sweep of the dialogs' fit (the frame's lines: the entry layout test).
#include "presentation/presentation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <sstream>

#include "dialogs/entry/frm_input_box.h"
#include "dialogs/message/frm_msg_box.h"
#include "presentation/frm_flat_black.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

// The first preferred name installed, letter case counting, is measured (its
// own sizes sorted, those outside the trials left out) on a form unloaded
// again; none installed shows one message, keeps the sizes and measures nothing.
TEST(Select_Display_Font, Takes_The_First_Preferred_Name_Installed_And_Measures_Only_It) {
    using Sizes = std::vector<float>;
    const Sizes kept{7.5f, 9.0f};
    const struct {
        std::vector<std::string> Installed;
        std::string Chosen;
        Sizes Measured = {};  // empty: any sizes but those kept
    } cases[] = {
        {{"Consolas", "Lucida Console", "Courier New"}, "Courier New"},
        {{"Lucida Console", "Consolas", "Lucida Sans Typewriter"}, "Lucida Sans Typewriter"},
        {{"Lucida Console", "Consolas"}, "Consolas", {8, 10, 12.5f, 40}},
        {{"Ms Mincho", "Lucida Console"}, "Lucida Console"},
        {{"@Ms Mincho", "Ms Mincho"}, "Ms Mincho"},
        {{"courier new", "COURIER NEW", "Courier New Bold", " Courier New", "Consolas"},
         "Consolas",
         {8, 10, 12.5f, 40}},
        {{"MS Mincho", "@Ms Mincho"}, "@Ms Mincho"},
        {{"Arial", "courier new", "consolas"}, "", kept},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("chosen \"" + c.Chosen + "\"");
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.fonts = c.Installed;
        d.forms.metrics.fixed_sizes["Courier New"] = {9};
        // 0.5 and 41 lie outside the trials; 40 is the last trial.
        d.forms.metrics.fixed_sizes["Consolas"] = {41, 12.5f, 8, 0.5f, 10, 40};
        m.Display_Font = "left over";
        m.Font_Sizes = kept;
        Select_Display_Font(m);
        EXPECT_EQ(m.Display_Font, c.Chosen);
        if (c.Measured.empty())
            EXPECT_NE(m.Font_Sizes, kept);
        else
            EXPECT_EQ(m.Font_Sizes, c.Measured);
        EXPECT_FALSE(frmFlatBlack(m).Loaded());
        std::string boxes;
        for (const auto& box : d.forms.message_boxes) boxes += box.Title + ": " + box.Text;
        EXPECT_EQ(boxes, c.Chosen.empty()
                             ? "NRVNC:         Useable fonts cannot be found for the Display."
                             : "");
    }
}

// Every screen of both dialogs on every screen a desktop can have: 72 to
// 288 dpi, 640 x 480 to 3840 x 2160, fonts read back as whole pixels at the
// screen's resolution as the real backends do. Each screen must open without
// an error, keep every text and control inside its frame and clear of the
// others, show the entry field between 9 points and the heading's size, and
// show the buttons its texts name (on the entry screens, only those).
using S = std::string;

struct Rect {
    double L, T, R, B;
    S What;
};

bool Overlap(const Rect& a, const Rect& b) {
    const double e = 0.5;  // half a twip: touching edges are fine
    return a.L < b.R - e && b.L < a.R - e && a.T < b.B - e && b.T < a.B - e;
}

bool Inside(const Rect& in, const Rect& out) {
    const double e = 0.5;
    return in.L >= out.L - e && in.T >= out.T - e && in.R <= out.R + e && in.B <= out.B + e;
}

// A button's name without blanks and access-letter marks: "Edit Port #" for " &Edit Port # ".
S Bare(S name) {
    std::erase_if(name, [](char c) { return c == ' ' || c == '&'; });
    return name;
}

std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << r.What << " [" << r.L << ", " << r.T << " .. " << r.R << ", " << r.B << "]";
}

// Looks at a laid-out dialog: its texts, the entry box (the frame of width
// 15) with what lies in it, and the shown controls.
void Check_Form(const fake::Fake_Desktop& d, const fake::Fake_Form& f, bool entry,
                std::ostringstream& out) {
    const double tpp = d.forms.twips_per_pixel_x;
    const auto& metrics = d.forms.metrics;
    const double W = f.Scale_Width(), H = f.Scale_Height();
    // Inside the grey band and blue line of the frame.
    const Rect Inner{20 * tpp, 20 * tpp, W - 20 * tpp, H - 20 * tpp, "inside of the frame"};

    std::vector<Rect> items;
    const auto& ops = f.Drawing();
    std::optional<Rect> box;
    for (std::size_t i = 0; i + 1 < ops.size(); ++i)
        if (ops[i].What == Draw_Op::Kind::Box && ops[i].Line_Width == 15)
            box = Rect{ops[i + 1].X1, ops[i + 1].Y1, ops[i + 1].X2, ops[i + 1].Y2, "entry box"};
    if (entry && !box) out << "no entry box; ";
    if (box) items.push_back(*box);
    float heading = 0;
    std::set<S> named, shown;  // buttons named in a text ("[Accept]"), buttons shown
    for (const Draw_Op& op : ops) {
        for (auto at = op.Text.find('['); at != S::npos; at = op.Text.find('[', at + 1))
            named.insert(Bare(op.Text.substr(at + 1, op.Text.find(']', at) - at - 1)));
        if (op.What == Draw_Op::Kind::Filled_Box && box && op.Colour == Rgb(255, 0, 0) &&
            !Inside({op.X1, op.Y1, op.X2, op.Y2, ""}, *box))
            out << "label block outside the box; ";
        if (op.What != Draw_Op::Kind::Text || op.Text.find_first_not_of(' ') == S::npos) continue;
        Rect r{op.X1, op.Y1, op.X1 + metrics.Text_Width(op.Font, op.Text),
               op.Y1 + metrics.Text_Height(op.Font, op.Text), "text \"" + op.Text + "\""};
        if (op.Colour == Rgb(255, 255, 0) && entry) heading = op.Font.Size;
        if (box && Inside(r, *box)) continue;  // the label, in its block
        items.push_back(r);
    }
    for (int id : entry ? std::vector<int>{1, 11, 12, 13, 14} : std::vector<int>{0, 1, 2}) {
        const Control_Model* c = f.Find_Control(id);
        if (!c || !c->Visible()) continue;
        Rect r{c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height(),
               "control " + std::to_string(id)};
        if (id != 1 || !entry) shown.insert(Bare(c->Caption()));
        if (entry && id == 1 && box) {
            // The field sits in the box, inside its blue line.
            const Rect in{box->L + 15 * tpp, box->T + 15 * tpp, box->R - 15 * tpp,
                          box->B - 15 * tpp, "inside of the entry box"};
            if (!Inside(r, in)) out << r << " not " << in << "; ";
            if (c->Font().Size < 9 || c->Font().Size > heading)
                out << "field text " << c->Font().Size << " pt, heading " << heading << "; ";
            continue;
        }
        items.push_back(r);
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!Inside(items[i], Inner)) out << items[i] << " outside " << Inner << "; ";
        for (std::size_t j = i + 1; j < items.size(); ++j)
            if (Overlap(items[i], items[j])) out << items[i] << " over " << items[j] << "; ";
    }
    // Every button a text names is shown; on the entry screens, every shown one is named.
    if (entry ? named != shown
              : !std::includes(shown.begin(), shown.end(), named.begin(), named.end()))
        out << "buttons named and shown differ; ";
    const Rect Screen{0, 0, d.forms.Screen_Width(), d.forms.Screen_Height(), "screen"};
    if (!Inside({f.Left(), f.Top(), f.Left() + f.Width(), f.Top() + f.Height(), "form"}, Screen))
        out << "form off the screen; ";
}

struct Message_Case {
    int16_t Sel;
    Msg_Value In1, In2;
    S Question;
};

const Message_Case Messages[] = {
    {0, true, S(), ""},
    {0, false, S(), ""},
    {1, 0, S(), ""},
    {2, 0, S(), ""},
    {3, S("Error # 9  Subscript out of range"), S("Program will now close."), ""},
    {3, S("Settings saved."), S(), ""},
    {16, S("The viewer could not connect."), S("The connection was refused."),
     "Do you want to try again?"},
};

// Opens one entry screen (mode 1 access code, 2 to 4 the others) or one
// catalogue row on a fresh desktop of w x h pixels at dpi, with the font
// sizes measured at start-up, and checks it while it waits.
S Check_Screen(int w, int h, int dpi, const std::vector<float>& sizes, int mode, bool found,
               const Message_Case* msg) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.Set_Dots_Per_Inch(dpi);
    d.forms.screen_width_px = w, d.forms.screen_height_px = h;
    d.forms.do_events_limit = 20000;
    m.Display_Font = "Courier New";
    m.Font_Sizes = sizes;
    std::ostringstream found_out;  // the screen's problems, in words
    // A screen never shown leaves the operator waiting.
    const auto look = [&] { Check_Form(d, *d.operator_.Current(), !msg, found_out); };
    try {
        if (msg && msg->Sel == 1) {
            frmMsgBox(m).Do_User_Msg(1, msg->In1, msg->In2);
            Check_Form(d, *d.forms.live.at(0), false, found_out);
            frmMsgBox(m).Close_frmMsgBox();
        } else if (msg) {
            m.Msg_Question = msg->Question;
            d.operator_.On_Message(msg->Sel).Run(look).Key(Key::Return, 13);
            frmMsgBox(m).Do_User_Msg(msg->Sel, msg->In1, msg->In2);
        } else {
            m.Repeater_Found = found;
            d.operator_.On_Screen("  Enter").Run(look).Key(Key::Escape);
            const uint8_t result =
                mode == 1 ? frmInputBox(m).User_Input_Form0()
                          : frmInputBox(m).User_Input_Form1(static_cast<uint8_t>(mode));
            if (result != Entry_Escape) found_out << "result " << int(result) << "; ";
        }
    } catch (const fake::Fake_Stuck&) {
        found_out << "stuck; ";
    }
    if (!d.operator_.Done()) found_out << "operator left waiting; ";
    return found_out.str();
}

TEST(Dialogs_On_Every_Screen, Open_Inside_Their_Frames_Without_Overlap_At_72_To_288_Dpi) {
    const std::pair<int, int> Screens[] = {{640, 480},  {800, 600},   {1024, 768}, {1280, 800},
                                           {1366, 768}, {1920, 1080}, {3840, 2160}};
    std::vector<int> dpis;
    for (int dpi = 72; dpi <= 288; dpi += 4) dpis.push_back(dpi);
    for (int odd : {110, 141, 175}) dpis.push_back(odd);
    int screens = 0;
    for (int dpi : dpis) {
        // The display font and its sizes, measured as at start-up.
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.Set_Dots_Per_Inch(dpi);
        Select_Display_Font(m);
        ASSERT_EQ(m.Display_Font, "Courier New");
        for (const auto& [w, h] : Screens) {
            if (dpi > 96 && (w < 8 * dpi || h < 6 * dpi)) continue;
            const S where = std::to_string(w) + "x" + std::to_string(h) + " at " +
                            std::to_string(dpi) + " dpi: ";
            for (int mode = 1; mode <= 4; ++mode)
                for (bool found : {false, true}) {
                    if (mode > 1 && found) continue;
                    const S problems = Check_Screen(w, h, dpi, m.Font_Sizes, mode, found, nullptr);
                    EXPECT_EQ(problems, "") << where << "entry mode " << mode << " found " << found;
                    ++screens;
                }
            for (const Message_Case& msg : Messages) {
                const S problems = Check_Screen(w, h, dpi, m.Font_Sizes, 0, false, &msg);
                EXPECT_EQ(problems, "") << where << "message " << msg.Sel;
                ++screens;
            }
        }
    }
    EXPECT_GT(screens, 1500);
}

}  // namespace
}  // namespace nrvnc
