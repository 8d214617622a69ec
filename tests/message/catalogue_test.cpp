// The message catalogue: lines, buttons, titles and answers of every message,
// the focus moved by Tab and its colour, and the stand-by notice. The access
// letters that answer are the whole-program runs' (tests/e2e); that every
// message fits every screen is the sweep in tests/presentation.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "dialogs/message/frm_msg_box.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"
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
        {0, false, None, "", 0, Lan_Only, Local_Exit, ""},
        {1, 0, None, "", 0, {"     Stand by. Configuring connection.     "}, {}, ""},
        {2, 0, None, "", 0, Not_Found, Continue_Exit, ""},
        // One line: the question is kept for later; two lines: asked and used up.
        {3, S("A line"), None, "Q?", 1, {" ", "A line"}, Ok, "Q?"},
        {3, S("First"), S("Second"), "", 1, {"First", " ", "Second"}, Ok, ""},
        {16, S("Failed."), S("Twice."), "Q?", 2, {"Failed.", "Twice.", " ", "Q?"}, Yes_No, ""},
    };
}

// What the operator sees of a message dialog besides its texts.
struct Form_Seen {
    Mouse_Pointer Pointer = Mouse_Pointer::Default;
    bool Enabled = false;
    int Focused = -1;
    std::array<Color, 3> Backs{};  // of the buttons 0 to 2
};

Form_Seen Look_At(const fake::Fake_Form& f) {
    Form_Seen s{f.Pointer(), f.Enabled(), f.Focused_Id(), {}};
    for (int id = 0; id <= 2; ++id)
        s.Backs[static_cast<std::size_t>(id)] = f.Find_Control(id)->Back_Color();
    return s;
}

TEST(Do_User_Msg, Every_Catalogue_Row_Shown_And_Answered) {
    // One dialog for all rows: each title starts again from the design.
    fake::Fake_Desktop d;
    Misc m(d.platform());
    m.Display_Font = "Courier New";
    for (const Row& row : Catalogue()) {
        SCOPED_TRACE("message " + std::to_string(row.Sel) + " ending \"" +
                     (row.Lines.empty() ? S() : row.Lines.back()) + "\"");
        m.Msg_Question = row.Question_Before;
        Form_Seen seen;
        fake::Screen_Snapshot shown;
        if (row.Sel == 1) {
            EXPECT_EQ(frmMsgBox(m).Do_User_Msg(row.Sel, row.In1, row.In2), No_Answer);
            ASSERT_EQ(d.forms.live.size(), 1u);
            seen = Look_At(*d.forms.live[0]);
            shown = d.Snapshot(*d.forms.live[0]);
            EXPECT_EQ(seen.Pointer, Mouse_Pointer::Hourglass);
            EXPECT_FALSE(seen.Enabled);
            EXPECT_EQ(seen.Focused, -1);
            frmMsgBox(m).Close_frmMsgBox();
        } else {
            std::vector<int> order;  // the shown buttons, then the first again: Tab wraps
            for (const auto& [id, caption] : row.Buttons) order.push_back(id);
            order.push_back(order.front());
            std::vector<Form_Seen> looks;
            const auto look = [&] { looks.push_back(Look_At(*d.operator_.Current())); };
            d.operator_.On_Message(row.Sel).Run(look);
            for (std::size_t i = 1; i < order.size(); ++i) d.operator_.Key(Key::Tab).Run(look);
            if (row.Press == order.front())
                d.operator_.Key(Key::Space, ' ');  // presses the focused button
            else
                d.operator_.Press(row.Press);
            EXPECT_EQ(frmMsgBox(m).Do_User_Msg(row.Sel, row.In1, row.In2), row.Press);
            ASSERT_EQ(looks.size(), order.size());
            shown = d.seen.back();
            EXPECT_EQ(looks[0].Pointer, Mouse_Pointer::Default);
            EXPECT_TRUE(looks[0].Enabled);
            // The focus goes over the shown buttons in turn, and the green with
            // it; every other button, hidden ones too, has the shadow colour.
            for (std::size_t i = 0; i < order.size(); ++i) {
                EXPECT_EQ(looks[i].Focused, order[i]) << "Tab " << i;
                for (int id = 0; id <= 2; ++id)
                    EXPECT_EQ(looks[i].Backs[static_cast<std::size_t>(id)],
                              id == order[i] ? Green : d.forms.System_Color(16))
                        << "Tab " << i << ", button " << id;
            }
        }
        EXPECT_EQ(shown.Caption, "  Norvane  ---  Message # " + std::to_string(row.Sel));
        std::vector<S> texts = row.Lines;
        if (!row.Buttons.empty()) texts.insert(texts.end(), {"", ""});
        EXPECT_EQ(shown.Texts, texts);
        EXPECT_EQ(shown.Buttons, row.Buttons);
        EXPECT_EQ(m.Msg_Question, row.Question_After);
        EXPECT_TRUE(d.forms.live.empty());
        EXPECT_FALSE(m.MsgBox_Loaded);
    }
    EXPECT_TRUE(d.operator_.Done());
}

}  // namespace
}  // namespace nrvnc
