// The message catalogue: lines, buttons, titles and answers of every
// message, the stand-by notice, and the wait for the operator.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "dialogs/message/frm_msg_box.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using Lines = std::array<std::string, 9>;  // rows 1 to 8; 0 unused

const std::string Title_Start = "  Norvane  ---  Message # ";

// What the dialog prints for the rows: a blank for an empty row up to the
// last text row, then two empty rows when a button row follows.
std::vector<std::string> Printed(const Lines& lines, bool buttons) {
    int last = 0;
    for (int i = 1; i <= 8; ++i)
        if (!lines[static_cast<std::size_t>(i)].empty()) last = i;
    std::vector<std::string> texts;
    for (int i = 1; i <= last; ++i) {
        const std::string& line = lines[static_cast<std::size_t>(i)];
        texts.push_back(line.empty() ? " " : line);
    }
    if (buttons) texts.insert(texts.end(), {"", ""});
    return texts;
}

struct Fixture {
    Fixture() : m(d.platform()) { m.Display_Font = "Courier New"; }
    fake::Fake_Desktop d;
    Misc m;
};

struct Row {
    std::string Name;
    int16_t Sel;
    Msg_Value In1, In2;
    std::string Question_Before;
    int Press;
    Lines Expected_Lines;
    std::map<int, std::string> Buttons;
    int16_t Answer;
    std::string Question_After;
};

const std::string Wan_Question =
    "Will you be using a local area network(LAN) or an internet network(WAN)?";
const std::string Exit_Hint = "Select [Exit VNC] to exit program.";
const std::map<int, std::string> Three = {
    {0, "  &Local  "}, {1, " &Internet "}, {2, " &Exit VNC "}};
const std::map<int, std::string> Local_Exit = {{0, "  &Local  "}, {2, " &Exit VNC "}};
const Lines Lan_Only = {"",
                        "Only local network remote viewing is possible now",
                        " because there is no internet connection.",
                        "",
                        "If you want to view another computer over the internet",
                        "   connect this computer to the internet and restart program.   ",
                        "",
                        Exit_Hint,
                        ""};
const Lines Not_Found = {
    "",
    "The internet repeater service needed to do internet viewing sessions cannot be found.",
    "",
    "If you choose [Continue] you can change the internet IP address and/or",
    "the port number on the internet session ID entry screen and try again.",
    "",
    "",
    "",
    ""};
const std::map<int, std::string> Continue_Exit = {{0, "&Continue"}, {2, " &Exit VNC "}};
const std::map<int, std::string> Ok = {{1, "&OK"}};
const std::map<int, std::string> Yes_No = {{0, "&Yes"}, {2, "&No"}};

const std::string Empty;

std::vector<Row> Catalogue() {
    const Msg_Value None = std::string();
    return {
        {"network, internet, local",
         0,
         true,
         None,
         "",
         0,
         {"", Wan_Question, "", Exit_Hint},
         Three,
         0,
         ""},
        {"network, internet, internet",
         0,
         true,
         None,
         "",
         1,
         {"", Wan_Question, "", Exit_Hint},
         Three,
         1,
         ""},
        {"network, internet, exit",
         0,
         true,
         None,
         "",
         2,
         {"", Wan_Question, "", Exit_Hint},
         Three,
         2,
         ""},
        {"network, True as -1",
         0,
         -1,
         None,
         "",
         1,
         {"", Wan_Question, "", Exit_Hint},
         Three,
         1,
         ""},
        {"network, no internet, local", 0, false, None, "", 0, Lan_Only, Local_Exit, 0, ""},
        {"network, no internet, exit", 0, false, None, "", 2, Lan_Only, Local_Exit, 2, ""},
        {"network, 1 is not True", 0, 1, None, "", 2, Lan_Only, Local_Exit, 2, ""},
        {"repeater not found, continue", 2, 0, None, "", 0, Not_Found, Continue_Exit, 0, ""},
        {"repeater not found, exit", 2, 0, None, "", 2, Not_Found, Continue_Exit, 2, ""},
        {"information, one line keeps the question",
         3,
         std::string("A line"),
         None,
         "Q?",
         1,
         {"", "", "A line"},
         Ok,
         1,
         "Q?"},
        {"information, two lines and a question",
         3,
         std::string("First"),
         std::string("Second"),
         "Q?",
         1,
         {"", "First", "Second", "", "Q?"},
         Ok,
         1,
         ""},
        {"information, two lines",
         3,
         std::string("First"),
         std::string("Second"),
         "",
         1,
         {"", "First", "", "Second"},
         Ok,
         1,
         ""},
        {"information, flag and number", 3, true, 42, "", 1, {"", "True", "", "42"}, Ok, 1, ""},
        {"information, false flag alone", 3, false, None, "", 1, {"", "", "False"}, Ok, 1, ""},
        {"information, blanks kept",
         3,
         std::string("  x  "),
         None,
         "",
         1,
         {"", "", "  x  "},
         Ok,
         1,
         ""},
        {"question, one line keeps the question, yes",
         16,
         std::string("Again?"),
         None,
         "Q?",
         0,
         {"", "", "Again?"},
         Yes_No,
         0,
         "Q?"},
        {"question, two lines and a question, no",
         16,
         std::string("It failed."),
         std::string("Twice."),
         "Try again?",
         2,
         {"", "It failed.", "Twice.", "", "Try again?"},
         Yes_No,
         2,
         ""},
        {"question, two lines, yes",
         16,
         std::string("It failed."),
         std::string("Try again?"),
         "",
         0,
         {"", "It failed.", "", "Try again?"},
         Yes_No,
         0,
         ""},
        {"outside the catalogue", 7, std::string("Odd"), None, "", 1, {"", "", "Odd"}, Ok, 1, ""},
        {"negative number",
         -5,
         std::string("Odd"),
         std::string("Two"),
         "",
         1,
         {"", "Odd", "", "Two"},
         Ok,
         1,
         ""},
    };
}

TEST(Do_User_Msg, Every_Catalogue_Row) {
    for (const Row& row : Catalogue()) {
        SCOPED_TRACE(row.Name);
        Fixture f;
        f.m.Msg_Question = row.Question_Before;
        f.d.operator_.On_Message(row.Sel).Press(row.Press);
        const int16_t answer = f.m.frmMsgBox().Do_User_Msg(row.Sel, row.In1, row.In2);
        EXPECT_EQ(answer, row.Answer);
        ASSERT_EQ(f.d.seen.size(), 1u);
        const fake::Screen_Snapshot& s = f.d.seen[0];
        EXPECT_EQ(s.Caption, Title_Start + std::to_string(row.Sel));
        EXPECT_EQ(s.Texts, Printed(row.Expected_Lines, true));
        EXPECT_EQ(s.Buttons, row.Buttons);
        EXPECT_EQ(f.m.Msg_Question, row.Question_After);
        // Unloaded before returning.
        EXPECT_TRUE(f.d.forms.live.empty());
        EXPECT_FALSE(f.m.MsgBox_Loaded);
        EXPECT_FALSE(f.m.frmMsgBox().Loaded());
        EXPECT_TRUE(f.d.operator_.Done());
    }
}

TEST(Do_User_Msg, Titles_Start_Again_From_The_Designed_Caption) {
    Fixture f;
    f.d.operator_.On_Message(16).Press(0).On_Message(0).Press(2).On_Message(2).Press(0);
    EXPECT_EQ(f.m.frmMsgBox().Do_User_Msg(16, std::string("a"), std::string("")), 0);
    EXPECT_EQ(f.m.frmMsgBox().Do_User_Msg(0, true, std::string("")), 2);
    EXPECT_EQ(f.m.frmMsgBox().Do_User_Msg(2, 0, std::string("")), 0);
    ASSERT_EQ(f.d.seen.size(), 3u);
    EXPECT_EQ(f.d.seen[0].Caption, "  Norvane  ---  Message # 16");
    EXPECT_EQ(f.d.seen[1].Caption, "  Norvane  ---  Message # 0");
    EXPECT_EQ(f.d.seen[2].Caption, "  Norvane  ---  Message # 2");
    EXPECT_EQ(f.d.forms.loaded_captions,
              (std::vector<std::string>{"  Norvane", "  Norvane", "  Norvane"}));
}

TEST(Do_User_Msg, Stand_By_Stays_Up_Until_Closed) {
    Fixture f;
    FrmMsgBox& box = f.m.frmMsgBox();
    const uint64_t passes_before = f.d.forms.do_events_calls;
    EXPECT_EQ(box.Do_User_Msg(1, 0, std::string("")), No_Answer);
    EXPECT_LT(f.d.forms.do_events_calls - passes_before, 20u);  // no waiting loop

    EXPECT_TRUE(f.m.MsgBox_Loaded);
    ASSERT_EQ(f.d.forms.live.size(), 1u);
    fake::Fake_Form* form = f.d.forms.live[0];
    EXPECT_EQ(form->Caption(), "  Norvane  ---  Message # 1");
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(form->Enabled());
    EXPECT_EQ(form->Pointer(), Mouse_Pointer::Hourglass);
    EXPECT_EQ(form->Focused_Id(), -1);
    fake::Screen_Snapshot s = f.d.Snapshot(*form);
    EXPECT_TRUE(s.Buttons.empty());
    EXPECT_EQ(s.Texts, std::vector<std::string>{"     Stand by. Configuring connection.     "});
    for (int id = 0; id <= 2; ++id) {
        EXPECT_FALSE(form->Item(id).Visible());
        EXPECT_FALSE(form->Item(id).Enabled());
    }

    // The operator cannot answer it: it takes no input.
    form->Deliver_Click(0);
    form->Deliver_Key(Key::Return, 0, 13);
    for (int i = 0; i < 10; ++i) f.m.Do_Events();
    EXPECT_EQ(f.d.forms.live.size(), 1u);
    EXPECT_TRUE(form->Visible());

    box.Close_frmMsgBox();
    EXPECT_FALSE(f.m.MsgBox_Loaded);
    EXPECT_TRUE(f.d.forms.live.empty());
    EXPECT_FALSE(box.Loaded());

    // The next message starts afresh, with the default pointer.
    Mouse_Pointer pointer = Mouse_Pointer::Hourglass;
    f.d.operator_.On_Message(3).Run([&] { pointer = f.d.operator_.Current()->Pointer(); }).Press(1);
    EXPECT_EQ(box.Do_User_Msg(3, std::string("Done"), std::string("")), 1);
    EXPECT_EQ(f.d.seen.back().Caption, "  Norvane  ---  Message # 3");
    EXPECT_EQ(pointer, Mouse_Pointer::Default);
}

TEST(Do_User_Msg, Stand_By_Without_Zero_Shows_No_Line) {
    Fixture f;
    EXPECT_EQ(f.m.frmMsgBox().Do_User_Msg(1, 5, std::string("")), No_Answer);
    ASSERT_EQ(f.d.forms.live.size(), 1u);
    EXPECT_TRUE(f.d.Snapshot(*f.d.forms.live[0]).Texts.empty());
    f.m.frmMsgBox().Close_frmMsgBox();
}

TEST(Do_User_Msg, The_Wait_Keeps_The_Dialog_On_Top_Until_A_Button_Is_Pressed) {
    Fixture f;
    int raises_first = -1, raises_later = -1;
    Window_State restored = Window_State::Minimized;
    uint32_t clock_first = 0, clock_later = 0;
    auto& op = f.d.operator_;
    op.On_Message(2)
        .Run([&] {
            raises_first = op.Current()->raises;
            clock_first = f.d.clock.now;
        })
        .Run([&] { op.Current()->Set_State(Window_State::Minimized); })
        .Run([&] {
            raises_later = op.Current()->raises;
            clock_later = f.d.clock.now;
            restored = op.Current()->State();
        })
        .Press(2);
    EXPECT_EQ(f.m.frmMsgBox().Do_User_Msg(2, 0, std::string("")), 2);
    EXPECT_GT(raises_later, raises_first);
    EXPECT_EQ(restored, Window_State::Normal);
    EXPECT_GE(clock_later - clock_first, 50u);  // one pass sleeps 50 ms
}

TEST(Do_User_Msg, Information_Always_Answers_One) {
    struct Way {
        std::string Name;
        std::function<void(fake::Operator&)> Act;
    };
    const std::vector<Way> ways = {
        {"click", [](fake::Operator& op) { op.Press(1); }},
        {"Enter", [](fake::Operator& op) { op.Key(Key::Return, 13); }},
        {"Space", [](fake::Operator& op) { op.Key(Key::Space, ' '); }},
        {"Alt+O", [](fake::Operator& op) { op.Alt('o'); }},
        {"hidden buttons first",
         [](fake::Operator& op) { op.Press(0).Press(2).Key(Key::Tab).Press(1); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.Name);
        Fixture f;
        f.d.operator_.On_Message(3);
        way.Act(f.d.operator_);
        EXPECT_EQ(f.m.frmMsgBox().Do_User_Msg(3, std::string("Saved."), std::string("")), 1);
        EXPECT_TRUE(f.d.operator_.Done());
    }
}

TEST(Do_User_Msg, Access_Letters_And_Keys_Press_Buttons) {
    struct Case {
        int16_t Sel;
        Msg_Value In1;
        std::function<void(fake::Operator&)> Act;
        int16_t Answer;
    };
    const std::vector<Case> cases = {
        {0, true, [](fake::Operator& op) { op.Alt('I'); }, 1},
        {0, true, [](fake::Operator& op) { op.Alt('e'); }, 2},
        {0, true, [](fake::Operator& op) { op.Key(Key::Return, 13); }, 0},
        {0, true, [](fake::Operator& op) { op.Key(Key::Tab).Key(Key::Tab).Key(Key::Space, ' '); },
         2},
        {0, false, [](fake::Operator& op) { op.Alt('I').Alt('L'); }, 0},  // no Internet button
        {0, false, [](fake::Operator& op) { op.Key(Key::Tab).Key(Key::Return, 13); }, 2},
        {2, 0, [](fake::Operator& op) { op.Alt('C'); }, 0},
        {16, std::string("Retry?"), [](fake::Operator& op) { op.Alt('N'); }, 2},
        {16, std::string("Retry?"), [](fake::Operator& op) { op.Alt('Y'); }, 0},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.d.operator_.On_Message(c.Sel);
        c.Act(f.d.operator_);
        EXPECT_EQ(f.m.frmMsgBox().Do_User_Msg(c.Sel, c.In1, std::string("")), c.Answer)
            << "message " << c.Sel;
    }
}

}  // namespace
}  // namespace nrvnc
