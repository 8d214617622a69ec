// The key filter, focus order and colours, and the buttons of the entry form.
#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

// One key as the keyboard delivers it: code and character.
struct Key_Stroke {
    int Code;
    int Character;
};

struct Filter_Case {
    int Mode;
    std::string Start;
    Key_Stroke Stroke;
    std::string Expected;  // field text after the key
};

void PrintTo(const Key_Stroke& k, std::ostream* os) {
    *os << "key " << k.Code;
}
void PrintTo(const Filter_Case& c, std::ostream* os) {
    *os << "mode " << c.Mode << ", field \"" << c.Start << "\", key " << c.Stroke.Code;
}

class Key_Filter : public Entry_Test, public ::testing::WithParamInterface<Filter_Case> {};

TEST_P(Key_Filter, LetsThroughOnlyWhatTheModeAccepts) {
    const Filter_Case& c = GetParam();
    m.Repeater_Found = true;
    Variable_Of(c.Mode) = c.Start;
    std::string after;
    d.operator_.On_Screen(Caption_Of(c.Mode))
        .Key(c.Stroke.Code, c.Stroke.Character)
        .Run([&] { after = field_text(); })
        .Key(Key::Escape);
    EXPECT_EQ(Run_Screen(c.Mode), Entry_Escape);
    EXPECT_EQ(after, c.Expected);
}

constexpr Key_Stroke Letter_A{'A', 'a'};
constexpr Key_Stroke Full_Stop{Key::Period, '.'};
constexpr Key_Stroke Keypad_Decimal{Key::Decimal, '.'};
constexpr Key_Stroke Space{Key::Space, ' '};
constexpr Key_Stroke Digit_7{'7', '7'};
constexpr Key_Stroke Keypad_3{Key::Numpad_0 + 3, '3'};
constexpr Key_Stroke Keypad_0{Key::Numpad_0, '0'};
constexpr Key_Stroke Keypad_9{Key::Numpad_0 + 9, '9'};
constexpr Key_Stroke Minus{189, '-'};
constexpr Key_Stroke Slash{191, '/'};
constexpr Key_Stroke Keypad_Times{106, '*'};
constexpr Key_Stroke Code_300{300, 'x'};

INSTANTIATE_TEST_SUITE_P(
    AccessCode, Key_Filter,
    ::testing::Values(Filter_Case{1, "12", Letter_A, "12"}, Filter_Case{1, "12", Full_Stop, "12"},
                      Filter_Case{1, "", Full_Stop, ""}, Filter_Case{1, "12", Keypad_Decimal, "12"},
                      Filter_Case{1, "12", Space, "12"}, Filter_Case{1, "12", Minus, "12"},
                      Filter_Case{1, "12", Digit_7, "127"}, Filter_Case{1, "12", Keypad_3, "123"},
                      Filter_Case{1, "", Keypad_0, "0"}, Filter_Case{1, "", Keypad_9, "9"},
                      Filter_Case{1, "12", Keypad_Times, "12"}));

INSTANTIATE_TEST_SUITE_P(
    HostName, Key_Filter,
    ::testing::Values(Filter_Case{2, "ab", Letter_A, "aba"}, Filter_Case{2, "", Full_Stop, ""},
                      Filter_Case{2, "ab", Full_Stop, "ab."},
                      Filter_Case{2, "ab", Keypad_Decimal, "ab"}, Filter_Case{2, "ab", Space, "ab"},
                      Filter_Case{2, "ab", Digit_7, "ab7"}, Filter_Case{2, "ab", Keypad_3, "ab3"},
                      Filter_Case{2, "ab", Minus, "ab-"}, Filter_Case{2, "ab", Slash, "ab/"},
                      Filter_Case{2, "ab", Keypad_Times, "ab"},
                      Filter_Case{2, "ab", Code_300, "ab"},
                      Filter_Case{2, "ab", Key_Stroke{92, 'w'}, "ab"}));

INSTANTIATE_TEST_SUITE_P(
    RepeaterIP, Key_Filter,
    ::testing::Values(Filter_Case{3, "", Full_Stop, ""}, Filter_Case{3, "10", Full_Stop, "10."},
                      Filter_Case{3, "10", Letter_A, "10"},
                      Filter_Case{3, "10", Keypad_Decimal, "10"}, Filter_Case{3, "10", Space, "10"},
                      Filter_Case{3, "10", Minus, "10"}, Filter_Case{3, "10", Digit_7, "107"},
                      Filter_Case{3, "10", Keypad_3, "103"}));

INSTANTIATE_TEST_SUITE_P(
    Port, Key_Filter,
    ::testing::Values(Filter_Case{4, "59", Full_Stop, "59"}, Filter_Case{4, "59", Letter_A, "59"},
                      Filter_Case{4, "59", Keypad_Decimal, "59"}, Filter_Case{4, "59", Space, "59"},
                      Filter_Case{4, "59", Digit_7, "597"}, Filter_Case{4, "59", Keypad_0, "590"}));

// Backspace, Delete, Home, End, Left and Right do their editing work in
// every mode.
TEST_F(Entry_Test, EditingKeysPass) {
    m.Repeater_Found = true;
    m.Held_Code_Text = "1234";
    std::vector<std::string> texts;
    auto note = [&] { texts.push_back(field_text()); };
    d.operator_.On_Screen(Code_Caption)
        .Key(Key::Back, Key::Back)
        .Run(note)
        .Key(Key::Home)
        .Key(Key::Delete)
        .Run(note)
        .Key(Key::End)
        .Key(Key::Left)
        .Key('9', '9')
        .Run(note)
        .Key(Key::Right)
        .Key('8', '8')
        .Run(note)
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(texts, (std::vector<std::string>{"123", "23", "293", "2938"}));
}

// ---- F2 ----

struct F2_Case {
    int Mode;
    std::string Start;
    std::string Expected;
};

void PrintTo(const F2_Case& c, std::ostream* os) {
    *os << "mode " << c.Mode << ", start \"" << c.Start << "\"";
}

class F2_Restore : public Entry_Test, public ::testing::WithParamInterface<F2_Case> {};

TEST_P(F2_Restore, RestoresTheOpeningValueExceptOnTheCodeScreenOrWhenEmpty) {
    const F2_Case& c = GetParam();
    m.Repeater_Found = true;
    Variable_Of(c.Mode) = c.Start;
    std::string after;
    d.operator_.On_Screen(Caption_Of(c.Mode))
        .Clear_Field()
        .Type("55")
        .Key(Key::F2)
        .Run([&] { after = field_text(); })
        .Key(Key::Escape);
    EXPECT_EQ(Run_Screen(c.Mode), Entry_Escape);
    EXPECT_EQ(after, c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, F2_Restore,
                         ::testing::Values(F2_Case{1, "12", "55"}, F2_Case{2, "pc1", "pc1"},
                                           F2_Case{3, "10.1.1.1", "10.1.1.1"},
                                           F2_Case{4, "5901", "5901"}, F2_Case{2, "", "55"},
                                           F2_Case{4, "", "55"}));

TEST_F(Entry_Test, F2OnTheCodeScreenIgnoresTheValueOfAnEarlierScreen) {
    m.Host_Name = "pc1";
    d.operator_.On_Screen(Host_Caption).Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);

    m.Repeater_Found = true;
    std::string after;
    d.operator_.On_Screen(Code_Caption)
        .Type("55")
        .Key(Key::F2)
        .Run([&] { after = field_text(); })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(after, "55");
}

// ---- Enter ----

TEST_F(Entry_Test, EnterBeforeAnyAcceptedKeyEmptiesTheField) {
    m.Host_Name = "old";
    std::string after;
    d.operator_.On_Screen(Host_Caption)
        .Key(Key::Return)
        .Run([&] { after = field_text(); })
        .Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Accept);
    EXPECT_EQ(after, "");
    EXPECT_EQ(m.Host_Name, "");
}

TEST_F(Entry_Test, EnterAfterAnAcceptedKeyMovesToAcceptWithoutPressingIt) {
    m.Port_Num = "59";
    int focused = -1;
    d.operator_.On_Screen(Port_Caption)
        .Type("0")
        .Key(Key::Return)
        .Run([&] { focused = form().Focused_Id(); })
        // Enter on the button is consumed too; the screen stays.
        .Key(Key::Return)
        .Type("1")
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(4), Entry_Escape);
    EXPECT_EQ(focused, Accept_Id);
    EXPECT_EQ(m.Port_Num, "59");
}

TEST_F(Entry_Test, ARejectedKeyDoesNotCountAsAChange) {
    // Keys the filter drops (here a letter on the port screen) leave Enter
    // emptying the field.
    m.Port_Num = "59";
    std::string after;
    d.operator_.On_Screen(Port_Caption)
        .Type("x")
        .Key(Key::Return)
        .Run([&] { after = field_text(); })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(4), Entry_Escape);
    EXPECT_EQ(after, "");
}

TEST_F(Entry_Test, TheSystemAndKeypadOperatorKeysCancelTheChange) {
    m.Host_Name = "pc";
    std::string after;
    d.operator_.On_Screen(Host_Caption)
        .Type("x")
        .Key(106, '*')
        .Key(Key::Return)
        .Run([&] { after = field_text(); })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);
    EXPECT_EQ(after, "");
}

TEST_F(Entry_Test, FocusItemLeftFromAnEarlierScreenMakesEnterDoNothing) {
    // First screen: Tab to Accept (Focus_Item 1), leave with Esc.
    d.operator_.On_Screen(Host_Caption).Key(Key::Tab).Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);

    m.Port_Num = "59";
    std::string after_first_enter, after_second_enter;
    int focus_after_first = -1, focus_after_tab = -1;
    d.operator_.On_Screen(Port_Caption)
        .Key(Key::Return)
        .Run([&] {
            after_first_enter = field_text();
            focus_after_first = form().Focused_Id();
        })
        .Type("1")
        .Key(Key::Return)
        .Run([&] { after_second_enter = field_text(); })
        // Tab still goes by the earlier Accept: to Exit Program.
        .Key(Key::Tab)
        .Run([&] { focus_after_tab = form().Focused_Id(); })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(4), Entry_Escape);
    EXPECT_EQ(after_first_enter, "59");
    EXPECT_EQ(focus_after_first, Field_Id);
    EXPECT_EQ(after_second_enter, "591");
    EXPECT_EQ(focus_after_tab, Exit_Id);
}

TEST_F(Entry_Test, OnceAControlHadTheFocusEnterWorksAgain) {
    d.operator_.On_Screen(Host_Caption).Key(Key::Tab).Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);

    m.Host_Name = "pc";
    std::string after_click, after_tabs;
    d.operator_
        .On_Screen(Host_Caption)
        // A click on the field that already has the focus is no focus change.
        .Press(Field_Id)
        .Key(Key::Return)
        .Run([&] { after_click = field_text(); })
        // Exit Program, then back to the field: Focus_Item is 0 again.
        .Key(Key::Tab)
        .Key(Key::Tab)
        .Key(Key::Return)
        .Run([&] { after_tabs = field_text(); })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);
    EXPECT_EQ(after_click, "pc");
    EXPECT_EQ(after_tabs, "");
}

// ---- Esc ----

TEST_F(Entry_Test, EscEndsTheScreenFromAFocusedButton) {
    m.Repeater_Found = false;
    d.operator_.On_Screen(Code_Caption)
        .Alt('E')
        .Run([&] { EXPECT_EQ(form().Focused_Id(), Edit_IP_Id); })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
}

// Before the screen waits (Input_Active False) clicks and focus changes do
// nothing, but Esc still ends the screen.
TEST_F(Entry_Test, BeforeTheWaitClicksAreIgnoredAndEscStillWorks) {
    m.Host_Name = "pc";
    Color accept_back = 0;
    d.operator_
        .On(
            [&] {
                auto* f = d.Form_With_Caption(Host_Caption);
                return f && f->Focused_Id() < 0;
            },
            "the host screen shown, before the field has the focus")
        .Run([&] {
            auto* f = d.Form_With_Caption(Host_Caption);
            f->Deliver_Click(Accept_Id);
            accept_back = f->Find_Control(Accept_Id)->Back_Color();
            f->Deliver_Key(Key::Escape, 0, 0);
        });
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);
    EXPECT_EQ(accept_back, White);
}

TEST_F(Entry_Test, BeforeTheWaitAClickDoesNotEndTheScreen) {
    m.Host_Name = "pc";
    d.operator_
        .On(
            [&] {
                auto* f = d.Form_With_Caption(Host_Caption);
                return f && f->Focused_Id() < 0;
            },
            "the host screen shown, before the field has the focus")
        .Run([&] { d.Form_With_Caption(Host_Caption)->Deliver_Click(Exit_Id); })
        .On(
            [&] {
                auto* f = d.Form_With_Caption(Host_Caption);
                return f && f->Focused_Id() == Field_Id;
            },
            "the field has the focus")
        .On_Screen(Host_Caption)
        .Type("x")
        .Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Accept);
    EXPECT_EQ(m.Host_Name, "pcx");
}

// ---- focus order and colours ----

class Focus_Keys : public Entry_Test, public ::testing::WithParamInterface<Key_Stroke> {};

TEST_P(Focus_Keys, MoveFieldAcceptExitField) {
    const Key_Stroke k = GetParam();
    m.Host_Name = "pc";
    struct Look {
        int Focused;
        Color Field_Back, Field_Fore, Accept_Back, Exit_Back;
    };
    std::vector<Look> looks;
    auto look = [&] {
        looks.push_back({form().Focused_Id(), control(Field_Id).Back_Color(),
                         control(Field_Id).Fore_Color(), control(Accept_Id).Back_Color(),
                         control(Exit_Id).Back_Color()});
    };
    d.operator_.On_Screen(Host_Caption)
        .Run(look)
        .Key(k.Code, k.Character)
        .Run(look)
        .Key(k.Code, k.Character)
        .Run(look)
        .Key(k.Code, k.Character)
        .Run(look)
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);
    ASSERT_EQ(looks.size(), 4u);
    // The first focus comes before the wait: the field keeps its design.
    EXPECT_EQ(looks[0].Focused, Field_Id);
    EXPECT_EQ(looks[0].Field_Back, White);
    EXPECT_EQ(looks[0].Field_Fore, Black);
    EXPECT_EQ(looks[1].Focused, Accept_Id);
    EXPECT_EQ(looks[1].Accept_Back, Green);
    EXPECT_EQ(looks[1].Field_Back, White);
    EXPECT_EQ(looks[1].Field_Fore, Black);
    EXPECT_EQ(looks[2].Focused, Exit_Id);
    EXPECT_EQ(looks[2].Exit_Back, Green);
    EXPECT_EQ(looks[2].Accept_Back, 0xFFFFFFu);
    EXPECT_EQ(looks[3].Focused, Field_Id);
    EXPECT_EQ(looks[3].Field_Back, Green);
    EXPECT_EQ(looks[3].Field_Fore, Black);
    EXPECT_EQ(looks[3].Exit_Back, 0xFFFFFFu);
    EXPECT_EQ(m.Host_Name, "pc");  // Space typed nothing
}

INSTANTIATE_TEST_SUITE_P(Keys, Focus_Keys,
                         ::testing::Values(Key_Stroke{Key::Tab, 0}, Key_Stroke{Key::Space, ' '},
                                           Key_Stroke{Key::Down, 0}, Key_Stroke{Key::Up, 0}));

TEST_F(Entry_Test, FromTheEditButtonsTabReturnsToTheField) {
    m.Repeater_Found = false;
    std::vector<int> focus;
    std::vector<Color> edit_backs;
    auto note = [&] {
        focus.push_back(form().Focused_Id());
        edit_backs.push_back(control(Edit_IP_Id).Back_Color());
        edit_backs.push_back(control(Edit_Port_Id).Back_Color());
    };
    d.operator_.On_Screen(Code_Caption)
        .Alt('E')
        .Run(note)  // Edit IP
        .Key(Key::Tab)
        .Run(note)  // field
        .Alt('E')
        .Alt('E')
        .Run(note)  // Edit IP, then Edit Port #
        .Key(Key::Down)
        .Run(note)  // field
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(focus, (std::vector<int>{Edit_IP_Id, Field_Id, Edit_Port_Id, Field_Id}));
    EXPECT_EQ(edit_backs,
              (std::vector<Color>{Green, White, White, White, White, Green, White, White}));
}

// ---- access keys ----

TEST_F(Entry_Test, AltAAccepts) {
    m.Host_Name = "pc";
    d.operator_.On_Screen(Host_Caption).Type("2").Alt('A');
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Accept);
    EXPECT_EQ(m.Host_Name, "pc2");
}

TEST_F(Entry_Test, AltXExits) {
    m.Repeater_Found = true;
    m.Access_Code = "1111";
    d.operator_.On_Screen(Code_Caption).Type("2222").Alt('X');
    EXPECT_EQ(box().User_Input_Form0(), Entry_Exit);
    EXPECT_EQ(m.Access_Code, "1111");
}

TEST_F(Entry_Test, AltAOnTheCodeScreenRunsTheCodeCheck) {
    m.Repeater_Found = true;
    d.operator_.On_Screen(Code_Caption).Type("22").Alt('A').On_Message_Box().Type("33").Alt('A');
    EXPECT_EQ(box().User_Input_Form0(), Entry_Accept);
    EXPECT_EQ(d.forms.message_boxes.size(), 1u);
    EXPECT_EQ(m.Access_Code, "2233");
}

TEST_F(Entry_Test, AltEMovesBetweenTheEditButtonsWithoutPressing) {
    m.Repeater_Found = false;
    d.operator_.On_Screen(Code_Caption).Type("12").Alt('E').Alt('E').Alt('E').Press(Edit_Port_Id);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Edit_Port);
    EXPECT_EQ(m.Held_Code_Text, "12");
}

// ---- buttons ----

TEST_F(Entry_Test, ButtonClicksSetTheResult) {
    m.Repeater_Found = false;
    const std::vector<std::pair<int, uint8_t>> cases{{Accept_Id, Entry_Accept},
                                                     {Edit_IP_Id, Entry_Edit_IP},
                                                     {Edit_Port_Id, Entry_Edit_Port},
                                                     {Exit_Id, Entry_Exit}};
    for (const auto& [id, result] : cases) {
        d.operator_.On_Screen(Code_Caption).Type("4321").Press(id);
        EXPECT_EQ(box().User_Input_Form0(), result) << "button " << id;
        m.Held_Code_Text.clear();
    }
    EXPECT_EQ(m.Access_Code, "4321");
}

}  // namespace
}  // namespace nrvnc::entry_test
