// The four entry screens: what each shows, what it writes and returns.
#include <algorithm>

#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

struct Screen_Case {
    int Sel;
    std::string Caption;
    std::string Label;
    std::string Heading;
};

void PrintTo(const Screen_Case& c, std::ostream* os) {
    *os << "Sel " << c.Sel;
}

class Form1_Screens : public Entry_Test, public ::testing::WithParamInterface<Screen_Case> {};

TEST_P(Form1_Screens, ShowCaptionLabelValueAndButtons) {
    const Screen_Case& c = GetParam();
    m.Host_Name = "pc-one";
    m.Repeater_IP = "10.0.0.5";
    m.Port_Num = "5901";
    const std::string start = c.Sel == 2 ? "pc-one" : c.Sel == 3 ? "10.0.0.5" : "5901";
    int caret = -1, focused = -1;
    bool edit_buttons_hidden = false;
    d.operator_.On_Screen(c.Caption).Run([&] {
        caret = control(Field_Id).Sel_Start();
        focused = form().Focused_Id();
        edit_buttons_hidden = !control(Edit_IP_Id).Visible() && !control(Edit_Port_Id).Visible();
        EXPECT_TRUE(control(Accept_Id).Enabled());
        EXPECT_TRUE(control(Exit_Id).Enabled());
    });
    d.operator_.Press(Accept_Id);

    EXPECT_EQ(box().User_Input_Form1(static_cast<uint8_t>(c.Sel)), Entry_Accept);

    ASSERT_EQ(d.seen.size(), 1u);
    const fake::Screen_Snapshot& s = d.seen[0];
    EXPECT_EQ(s.Caption, c.Caption);
    EXPECT_EQ(s.Field, start);
    EXPECT_EQ(caret, static_cast<int>(start.size()));
    EXPECT_EQ(focused, Field_Id);
    EXPECT_TRUE(edit_buttons_hidden);
    EXPECT_EQ(s.Buttons,
              (std::map<int, std::string>{{Accept_Id, "&Accept"}, {Exit_Id, "E&xit Program"}}));
    std::vector<std::string> expected_texts{
        c.Heading,
        c.Label,
        "Press [Accept] button to accept input.",
        "Press <F2> to restore original value.",
        "Press <Esc> key to return to network selection screen.",
        "Press [Exit Program] button to exit program."};
    EXPECT_EQ(s.Texts, expected_texts);
    // The screen is gone and the form unloaded; the mode is reset.
    EXPECT_FALSE(box().Loaded());
    EXPECT_TRUE(d.forms.live.empty());
    EXPECT_EQ(m.Input_Mode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Form1_Screens,
    ::testing::Values(Screen_Case{2, "  Enter Host Name or IP Address  ", " Host Name/IP Address ",
                                  "ENTER HOST NAME or IP ADDRESS FOR LOCAL NETWORK REMOTE VIEWING"},
                      Screen_Case{3, "  Enter IP Address  ", " IP Address ",
                                  "ENTER REPEATER IP ADDRESS FOR INTERNET REMOTE VIEWING"},
                      Screen_Case{4, "  Enter Port Number  ", "   Port #   ",
                                  "ENTER PORT NUMBER FOR INTERNET REMOTE VIEWING"}));

TEST_F(Entry_Test, OtherSelectorShowsThePortScreenWithoutHeading) {
    m.Port_Num = "5500";
    d.operator_.On_Screen(Port_Caption)
        .Run([&] { EXPECT_EQ(m.Input_Mode, 7); })
        .Key(Key::F2)
        .Type("1")
        .Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form1(7), Entry_Accept);
    ASSERT_EQ(d.seen.size(), 1u);
    EXPECT_EQ(d.seen[0].Field, "5500");
    // No heading; the label and the four hints of the editing screens.
    EXPECT_EQ(d.seen[0].Texts.at(0), "");
    EXPECT_EQ(d.seen[0].Texts.at(1), "   Port #   ");
    EXPECT_EQ(d.seen[0].Texts.size(), 6u);
    EXPECT_EQ(m.Port_Num, "55001");
}

// Accept writes whatever is in the field; Esc and Exit Program keep the
// value from before the screen, even after editing.
struct Ending_Case {
    int Sel;
    std::string Ending;  // "accept", "esc", "exit", "accept-empty"
    uint8_t Result;
    bool Written;
};

void PrintTo(const Ending_Case& c, std::ostream* os) {
    *os << "Sel " << c.Sel << " " << c.Ending;
}

class Form1_Endings : public Entry_Test, public ::testing::WithParamInterface<Ending_Case> {};

TEST_P(Form1_Endings, WriteOnlyOnAccept) {
    const Ending_Case& c = GetParam();
    m.Host_Name = "old-host";
    m.Repeater_IP = "1.2.3.4";
    m.Port_Num = "5901";
    const std::string before = Variable_Of(c.Sel);
    d.operator_.On_Screen(Caption_Of(c.Sel)).Clear_Field();
    if (c.Ending != "accept-empty") d.operator_.Type("99");
    if (c.Ending == "esc")
        d.operator_.Key(Key::Escape);
    else if (c.Ending == "exit")
        d.operator_.Press(Exit_Id);
    else
        d.operator_.Press(Accept_Id);

    EXPECT_EQ(Run_Screen(c.Sel), c.Result);

    const std::string expected = c.Written ? (c.Ending == "accept-empty" ? "" : "99") : before;
    EXPECT_EQ(Variable_Of(c.Sel), expected);
    // The other variables are never touched.
    for (int other = 2; other <= 4; ++other) {
        if (other == c.Sel) continue;
        EXPECT_EQ(Variable_Of(other), other == 2 ? "old-host" : other == 3 ? "1.2.3.4" : "5901");
    }
    EXPECT_TRUE(d.operator_.Done());
}

INSTANTIATE_TEST_SUITE_P(
    Endings, Form1_Endings,
    ::testing::Values(Ending_Case{2, "accept", 1, true}, Ending_Case{2, "esc", 7, false},
                      Ending_Case{2, "exit", 9, false}, Ending_Case{2, "accept-empty", 1, true},
                      Ending_Case{3, "accept", 1, true}, Ending_Case{3, "esc", 7, false},
                      Ending_Case{3, "exit", 9, false}, Ending_Case{3, "accept-empty", 1, true},
                      Ending_Case{4, "accept", 1, true}, Ending_Case{4, "esc", 7, false},
                      Ending_Case{4, "exit", 9, false}, Ending_Case{4, "accept-empty", 1, true}));

// ---- the access-code screen ----

TEST_F(Entry_Test, AccessCodeScreenWithRepeaterFound) {
    m.Repeater_IP = "203.0.113.9";
    m.Port_Num = "5500";
    m.Repeater_Found = true;
    d.operator_.On_Screen(Code_Caption).Type("4711").Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Accept);
    EXPECT_EQ(m.Access_Code, "4711");
    ASSERT_EQ(d.seen.size(), 1u);
    EXPECT_EQ(d.seen[0].Caption,
              "  Enter Remote Viewing Access Code - Repeater IP : 203.0.113.9   Port # 5500");
    EXPECT_EQ(d.seen[0].Buttons,
              (std::map<int, std::string>{{Accept_Id, "&Accept"}, {Exit_Id, "E&xit Program"}}));
    EXPECT_EQ(d.seen[0].Field, "");
    EXPECT_EQ(d.seen[0].Texts,
              (std::vector<std::string>{
                  "ENTER REMOTE VIEWER 4 DIGIT ACCES CODE SUPPLIED BY THE HOST",
                  " Remote Viewer Access Code ", "Press [Accept] button to accept input.",
                  "Press <Esc> key to return to network selection or the [Exit Program] button "
                  "to exit program."}));
    EXPECT_TRUE(d.forms.message_boxes.empty());
}

TEST_F(Entry_Test, AccessCodeScreenWithRepeaterNotFoundOffersTheEditButtons) {
    m.Repeater_IP = "";
    m.Port_Num = "5901";
    m.Repeater_Found = false;
    d.operator_.On_Screen(Code_Caption).Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    ASSERT_EQ(d.seen.size(), 1u);
    EXPECT_EQ(d.seen[0].Caption,
              "  Enter Remote Viewing Access Code - Repeater IP : Unassigned   Port # 5901");
    EXPECT_EQ(d.seen[0].Buttons, (std::map<int, std::string>{{Accept_Id, "&Accept"},
                                                             {Edit_Port_Id, " &Edit Port # "},
                                                             {Edit_IP_Id, " &Edit IP "},
                                                             {Exit_Id, "E&xit Program"}}));
    EXPECT_EQ(d.seen[0].Texts,
              (std::vector<std::string>{
                  "ENTER REMOTE VIEWER 4 DIGIT ACCES CODE SUPPLIED BY THE HOST",
                  " Remote Viewer Access Code ", "Press [Accept] button to accept input.",
                  "Press [Edit IP] button to change the repeater IP address for remote viewing.",
                  "Press [Edit Port #] button to change the internet port number remote viewing.",
                  "Press <Esc> key to return to network selection or the [Exit Program] button to "
                  "exit program."}));
}

TEST_F(Entry_Test, InvalidAccessCodesBringUpTheMessageBoxAndKeepTheText) {
    m.Repeater_Found = true;
    m.Access_Code = "0000";
    std::vector<std::string> field_after_box;
    auto note_field = [&] { field_after_box.push_back(field_text()); };
    d.operator_.On_Screen(Code_Caption)
        .Type("123")
        .Press(Accept_Id)
        .On_Message_Box()
        .Run(note_field)
        .Type("45")
        .Press(Accept_Id)
        .On_Message_Box()
        .Run(note_field)
        .Clear_Field()
        .Press(Accept_Id)
        .On_Message_Box()
        .Run(note_field)
        .Type("2468")
        .Press(Accept_Id);

    EXPECT_EQ(box().User_Input_Form0(), Entry_Accept);

    EXPECT_EQ(field_after_box, (std::vector<std::string>{"123", "12345", ""}));
    ASSERT_EQ(d.forms.message_boxes.size(), 3u);
    for (const auto& shown : d.forms.message_boxes) {
        EXPECT_EQ(shown.Text, "\r\n     The Access Code must be 4 character number.    ");
        EXPECT_EQ(shown.Title, "NRVNC");
    }
    EXPECT_EQ(m.Access_Code, "2468");
}

TEST_F(Entry_Test, AfterAnInvalidCodeTheFieldHasTheFocusAgainAndEnterCountsAfresh) {
    m.Repeater_Found = true;
    int focused = -1;
    Color field_back = 0;
    std::string after_enter;
    d.operator_.On_Screen(Code_Caption)
        .Type("12")
        .Press(Accept_Id)
        .On_Message_Box()
        .Run([&] {
            focused = form().Focused_Id();
            field_back = control(Field_Id).Back_Color();
        })
        // Item_Changed was reset: Enter empties the field again.
        .Key(Key::Return)
        .Run([&] { after_enter = field_text(); })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(focused, Field_Id);
    EXPECT_EQ(field_back, Green);
    EXPECT_EQ(after_enter, "");
}

TEST_F(Entry_Test, EscAndExitLeaveTheAccessCodeUnchanged) {
    m.Repeater_Found = true;
    m.Access_Code = "1111";
    d.operator_.On_Screen(Code_Caption).Type("9999").Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(m.Access_Code, "1111");
    d.operator_.On_Screen(Code_Caption).Type("9999").Press(Exit_Id);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Exit);
    EXPECT_EQ(m.Access_Code, "1111");
    EXPECT_TRUE(m.Held_Code_Text.empty());
}

TEST_F(Entry_Test, HeldCodeTextCarriesTheCodeAcrossEditIPAndEditPort) {
    m.Repeater_Found = false;
    d.operator_.On_Screen(Code_Caption).Type("12").Press(Edit_IP_Id);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Edit_IP);
    EXPECT_EQ(m.Held_Code_Text, "12");

    // The repeater address screen in between does not touch it.
    m.Repeater_IP = "1.1.1.1";
    d.operator_.On_Screen(IP_Caption).Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form1(3), Entry_Accept);
    EXPECT_EQ(m.Held_Code_Text, "12");

    std::string held_while_open = "?";
    d.operator_.On_Screen(Code_Caption)
        .Run([&] { held_while_open = m.Held_Code_Text; })
        .Type("3")
        .Press(Edit_Port_Id);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Edit_Port);
    EXPECT_EQ(held_while_open, "");
    EXPECT_EQ(m.Held_Code_Text, "123");

    d.operator_.On_Screen(Code_Caption).Type("4").Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Accept);
    EXPECT_EQ(m.Access_Code, "1234");
    EXPECT_EQ(m.Held_Code_Text, "");

    ASSERT_EQ(d.seen.size(), 4u);
    EXPECT_EQ(d.seen[0].Field, "");
    EXPECT_EQ(d.seen[2].Field, "12");
    EXPECT_EQ(d.seen[3].Field, "123");
}

TEST_F(Entry_Test, EscAndExitDoNotHoldTheCode) {
    m.Repeater_Found = false;
    d.operator_.On_Screen(Code_Caption).Type("55").Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(m.Held_Code_Text, "");
}

// ---- the error path ----

struct Error_Case {
    std::vector<float> Sizes;
    int Sel;  // 1: access code
};

void PrintTo(const Error_Case& c, std::ostream* os) {
    *os << "Sel " << c.Sel << ", " << c.Sizes.size() << " sizes";
}

class Entry_Errors : public Entry_Test, public ::testing::WithParamInterface<Error_Case> {};

TEST_P(Entry_Errors, ShowMessage3AndReturn9WithoutWriting) {
    const Error_Case& c = GetParam();
    m.Font_Sizes = c.Sizes;
    m.Host_Name = "keep";
    m.Port_Num = "5901";
    m.Access_Code = "7777";
    m.Repeater_Found = true;
    d.operator_.On_Message(3).Press(1);

    EXPECT_EQ(Run_Screen(c.Sel), Entry_Exit);

    ASSERT_EQ(d.seen.size(), 1u);
    const auto& texts = d.seen[0].Texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Error # 9  Subscript out of range"),
              texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Program will now close."), texts.end());
    // Nothing was written.
    EXPECT_EQ(m.Host_Name, "keep");
    EXPECT_EQ(m.Port_Num, "5901");
    EXPECT_EQ(m.Access_Code, "7777");
    EXPECT_EQ(m.Input_Mode, 0);
    EXPECT_FALSE(box().Loaded());
    EXPECT_TRUE(d.operator_.Done());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, Entry_Errors,
    ::testing::Values(Error_Case{{}, 2}, Error_Case{{}, 1},
                      // no size at or below 12
                      Error_Case{{14, 16, 18}, 4},
                      // heading index below 3: no field size three places lower
                      Error_Case{{10, 11, 12}, 2}, Error_Case{{10, 12, 16, 20}, 1}));

TEST_F(Entry_Test, AfterAnErrorTheNextScreenWorks) {
    m.Font_Sizes = {};
    d.operator_.On_Message(3).Press(1);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Exit);
    m.Font_Sizes = {8, 9, 10, 11, 12, 14, 16, 18, 20};
    d.operator_.On_Screen(Host_Caption).Type("x").Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Accept);
    EXPECT_EQ(m.Host_Name, "x");
}

}  // namespace
}  // namespace nrvnc::entry_test
