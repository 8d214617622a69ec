// The entry form on the fake desktop: the key filter, focus order and
// colours, the buttons, and one layout worked by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialogs/entry/frm_input_box.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc::entry_test {
namespace {

constexpr int Field_Id = 1;
constexpr int Accept_Id = 11;
constexpr int Edit_Port_Id = 12;
constexpr int Edit_IP_Id = 13;
constexpr int Exit_Id = 14;

constexpr Color Green = Rgb(0, 255, 0);  // palette 10
constexpr Color White = Rgb(255, 255, 255);
constexpr Color Black = Rgb(0, 0, 0);

constexpr const char* Host_Caption = "  Enter Host Name or IP Address  ";
constexpr const char* Port_Caption = "  Enter Port Number  ";
constexpr const char* Code_Caption = "  Enter Remote Viewing Access Code";

// A fake desktop, the display font and its sizes as Select_Display_Font
// would leave them.
class Entry_Test : public ::testing::Test {
  protected:
    Entry_Test() {
        m.Display_Font = "Courier New";
        m.Font_Sizes = {8, 9, 10, 11, 12, 14, 16, 18, 20};
    }

    FrmInputBox& box() { return frmInputBox(m); }

    // The entry form, in an operator's action after it waited for the screen.
    fake::Fake_Form& form() { return *d.operator_.Current(); }
    Control_Model& control(int id) { return *form().Find_Control(id); }
    std::string field_text() { return control(Field_Id).Text(); }

    // Runs the screen of a mode: 1 the access code, 2 to 4 User_Input_Form1.
    uint8_t Run_Screen(int mode) {
        return mode == 1 ? box().User_Input_Form0()
                         : box().User_Input_Form1(static_cast<uint8_t>(mode));
    }

    static const char* Caption_Of(int mode) {
        const char* captions[] = {Code_Caption, Host_Caption, "  Enter IP Address  ", Port_Caption};
        return captions[mode - 1];
    }

    // The session variable a mode edits.
    std::string& Variable_Of(int mode) {
        std::string* variables[] = {&m.Held_Code_Text, &m.Host_Name, &m.Repeater_IP, &m.Port_Num};
        return *variables[mode - 1];
    }

    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

// What one key leaves in the field on each screen: it reaches the field in
// the modes listed in Passes (1 access code, 2 host, 3 repeater IP, 4 port).
TEST_F(Entry_Test, KeyFilterLetsThroughOnlyWhatTheModeAccepts) {
    const struct {
        int Code, Character;
        std::string Start, Passes, After = "";  // After: when not Start + Character
    } strokes[] = {
        {Key::Back, Key::Back, "12", "1234", "1"},
        {'A', 'a', "12", "2"},
        {'1', '!', "12", "2"},  // Shift with a digit key
        {'1', '&', "12", "2"},  // a French top-row key without Shift
        {Key::Period, '>', "12", "2"},
        {Key::Numpad_0, '0', "", "1234"},
        {Key::Period, '.', "12", "23"},
        {Key::Period, '.', "", ""},  // never a leading full stop
        {Key::Decimal, '.', "12", ""},
        {Key::Space, ' ', "12", ""},
        {106, '*', "12", ""},  // keypad operators
        {300, 'x', "12", ""},
        {92, 'w', "12", ""},  // a system key
    };
    m.Repeater_Found = true;
    for (const auto& k : strokes) {
        for (int mode = 1; mode <= 4; ++mode) {
            Variable_Of(mode) = k.Start;
            std::string after;
            d.operator_.On_Screen(Caption_Of(mode))
                .Key(k.Code, k.Character)
                .Run([&] { after = field_text(); })
                .Key(Key::Escape);
            EXPECT_EQ(Run_Screen(mode), Entry_Escape);
            const bool passes = k.Passes.find(static_cast<char>('0' + mode)) != std::string::npos;
            const std::string typed =
                k.After.empty() ? k.Start + static_cast<char>(k.Character) : k.After;
            EXPECT_EQ(after, passes ? typed : k.Start) << "mode " << mode << ", key " << k.Code;
        }
    }
}

// F2 restores the opening value, except on the code screen or when it was
// empty; Enter without an accepted change empties the field.
TEST_F(Entry_Test, F2AndEnterWithoutAChange) {
    const struct {
        int Mode;
        std::string Start, Typed;
        std::vector<std::pair<int, int>> Keys;  // after the typing: key code, character
        std::string After;
    } cases[] = {
        {2, "pc1", "55", {{Key::F2, 0}}, "pc1"},
        {3, "10.1.1.1", "55", {{Key::F2, 0}}, "10.1.1.1"},
        {4, "5901", "55", {{Key::F2, 0}}, "5901"},
        {1, "12", "55", {{Key::F2, 0}}, "1255"},
        {2, "", "55", {{Key::F2, 0}}, "55"},
        {4, "", "55", {{Key::F2, 0}}, "55"},
        {2, "59", "", {{Key::Return, 0}}, ""},
        {4, "59", "x", {{Key::Return, 0}}, ""},  // a key the port screen drops is no change
        {4, "59", "", {{'1', '!'}, {Key::Return, 0}}, ""},   // nor a digit key typing another
        {2, "59", "x", {{106, '*'}, {Key::Return, 0}}, ""},  // a keypad operator cancels it
    };
    for (const auto& c : cases) {
        Variable_Of(c.Mode) = c.Start;
        std::string after;
        d.operator_.On_Screen(Caption_Of(c.Mode)).Type(c.Typed);
        for (const auto& [code, character] : c.Keys) d.operator_.Key(code, character);
        // Esc, not Accept: a button that had the focus would carry over to the next screen.
        d.operator_.Run([&] { after = field_text(); }).Key(Key::Escape);
        EXPECT_EQ(Run_Screen(c.Mode), Entry_Escape);
        EXPECT_EQ(after, c.After) << "mode " << c.Mode << ", start " << c.Start << ", typed "
                                  << c.Typed;
    }
}

TEST_F(Entry_Test, EnterAfterAnAcceptedKeyMovesToAcceptWithoutPressingIt) {
    m.Port_Num = "59";
    int focused = -1;
    d.operator_.On_Screen(Port_Caption)
        .Type("0")
        .Key(Key::Return)
        .Run([&] { focused = form().Focused_Id(); })
        .Key(Key::Return)  // Enter on the button is consumed too; the screen stays
        .Type("1")
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(4), Entry_Escape);
    EXPECT_EQ(focused, Accept_Id);
    EXPECT_EQ(m.Port_Num, "59");
}

TEST_F(Entry_Test, TabSpaceDownAndUpMoveFieldAcceptExitFieldAndTheGreenFollows) {
    m.Host_Name = "pc";
    const std::pair<int, int> keys[] = {
        {Key::Tab, 0}, {Key::Space, ' '}, {Key::Down, 0}, {Key::Up, 0}};
    for (const auto& [code, character] : keys) {
        std::vector<std::vector<Color>> looks;  // focused id; field, Accept, Exit colours
        auto look = [&] {
            looks.push_back({static_cast<Color>(form().Focused_Id()),
                             control(Field_Id).Back_Color(), control(Field_Id).Fore_Color(),
                             control(Accept_Id).Back_Color(), control(Exit_Id).Back_Color()});
        };
        d.operator_.On_Screen(Host_Caption).Run(look);
        for (int i = 0; i < 3; ++i) d.operator_.Key(code, character).Run(look);
        d.operator_.Key(Key::Escape);
        EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);
        // The first focus comes before the wait: the field keeps its design.
        EXPECT_EQ(looks, (std::vector<std::vector<Color>>{{Field_Id, White, Black, White, White},
                                                          {Accept_Id, White, Black, Green, White},
                                                          {Exit_Id, White, Black, White, Green},
                                                          {Field_Id, Green, Black, White, White}}))
            << "key " << code;
        EXPECT_EQ(m.Host_Name, "pc");  // Space typed nothing
    }
}

TEST_F(Entry_Test, AltEStepsOverTheEditButtonsTabReturnsAndEscEndsFromAButton) {
    m.Repeater_Found = false;
    std::vector<int> focus;
    auto note = [&] { focus.push_back(form().Focused_Id()); };
    d.operator_.On_Screen(Code_Caption).Alt('E').Run(note).Key(Key::Tab).Run(note);
    d.operator_.Alt('E').Alt('E').Run(note).Key(Key::Down).Run(note).Alt('E').Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(focus, (std::vector<int>{Edit_IP_Id, Field_Id, Edit_Port_Id, Field_Id}));
    EXPECT_EQ(d.seen.at(0).Caption,
              std::string(Code_Caption) + " - Repeater IP : Unassigned   Port # ");
}

TEST_F(Entry_Test, AltAOnTheCodeScreenRunsTheCodeCheck) {
    m.Repeater_Found = true;
    // The system message box is answered at once; the field keeps what was typed.
    d.operator_.On_Screen(Code_Caption).Type("22").Alt('A').Type("33").Alt('A');
    EXPECT_EQ(box().User_Input_Form0(), Entry_Accept);
    ASSERT_EQ(d.forms.message_boxes.size(), 1u);
    EXPECT_EQ(d.forms.message_boxes[0].Text,
              "\r\n     The Access Code must be 4 character number.    ");
    EXPECT_EQ(m.Access_Code, "2233");
}

// The texts of each screen, word for word; the edit hints and buttons only
// while no repeater answers (mode 0: the access code screen then).
TEST_F(Entry_Test, EachScreenShowsItsTextsAndButtons) {
    const std::string Code = "ENTER REMOTE VIEWER 4 DIGIT ACCES CODE SUPPLIED BY THE HOST";
    const std::string Label = " Remote Viewer Access Code ";
    const std::string Accept = "Press [Accept] button to accept input.";
    const std::string Esc =
        "Press <Esc> key to return to network selection or the [Exit Program] button to exit "
        "program.";
    const std::pair<int, std::vector<std::string>> cases[] = {
        {1, {Code, Label, Accept, Esc}},
        {0,
         {Code, Label, Accept,
          "Press [Edit IP] button to change the repeater IP address for remote viewing.",
          "Press [Edit Port #] button to change the internet port number remote viewing.", Esc}},
        {2,
         {"ENTER HOST NAME or IP ADDRESS FOR LOCAL NETWORK REMOTE VIEWING",
          " Host Name/IP Address ", Accept}},
        {3, {"ENTER REPEATER IP ADDRESS FOR INTERNET REMOTE VIEWING", " IP Address ", Accept}},
        {4, {"ENTER PORT NUMBER FOR INTERNET REMOTE VIEWING", "   Port #   ", Accept}},
    };
    for (auto [mode, texts] : cases) {
        m.Repeater_Found = mode == 1;
        d.operator_.On_Screen(Caption_Of(std::max(mode, 1))).Key(Key::Escape);
        EXPECT_EQ(Run_Screen(std::max(mode, 1)), Entry_Escape);
        if (mode > 1)
            texts.insert(texts.end(), {"Press <F2> to restore original value.",
                                       "Press <Esc> key to return to network selection screen.",
                                       "Press [Exit Program] button to exit program."});
        EXPECT_EQ(d.seen.back().Texts, texts) << "mode " << mode;
        const auto& buttons = d.seen.back().Buttons;
        EXPECT_EQ(buttons.size(), mode == 0 ? 4u : 2u) << "mode " << mode;
        EXPECT_TRUE(buttons.count(Accept_Id) && buttons.count(Exit_Id)) << "mode " << mode;
    }
}

// Where the entry form puts its texts and controls, in twips, on one screen
// worked by hand from the designed layout. That every screen fits at all
// resolutions, and how sizes step down, is the sweep in tests/presentation.
// A font that has only some sizes keeps the designed rules: the heading the
// largest size not above 16, the hints not above 12, the field three sizes
// below the heading.
TEST_F(Entry_Test, LayoutWorkedByHandForAFontWithFewSizes) {
    d.forms.metrics.fixed_sizes["Courier New"] = {8, 9, 10, 11, 12, 14, 16, 18, 20};
    Select_Display_Font(m);
    m.Repeater_Found = true;
    // The outlines of the form's frame and of the entry box (left, top,
    // right, bottom, line width, colour as BGR), the heading and the first
    // and last hint (x, y, size), the field (left, top, width, size), the
    // buttons Exit Program and Accept (left, top, width, height, size).
    std::string seen;
    auto add = [&](const char* format, auto... values) {
        char buffer[120];
        std::snprintf(buffer, sizeof buffer, format, values...);
        seen += buffer;
    };
    d.operator_.On_Screen(Host_Caption)
        .Run([&] {
            const auto& ops = form().Drawing();
            std::vector<const Draw_Op*> texts;
            for (std::size_t i = 0; i < ops.size(); ++i) {
                if (ops[i].What == Draw_Op::Kind::Text) texts.push_back(&ops[i]);
                if (ops[i].What == Draw_Op::Kind::Box)
                    add("%g %g %g %g w%d %06x; ", ops[i].X1, ops[i].Y1, ops[i].X2, ops[i].Y2,
                        ops[i].Line_Width, ops[i].Colour);
            }
            for (const Draw_Op* t : {texts.at(0), texts.at(2), texts.back()})
                add("%.5s %g %g %g; ", t->Text.c_str(), t->X1, t->Y1, t->Font.Size);
            for (int id : {Field_Id, Exit_Id, Accept_Id}) {
                const Control_Model& c = control(id);
                add("%d: %g %g %g %g %g; ", id, c.Left(), c.Top(), c.Width(), c.Height(),
                    c.Font().Size);
            }
        })
        .Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form1(2), Entry_Escape);
    // A 21510 x 8085 client area at 96 dpi (15 twips a pixel). A border of
    // width w (19 for the frame, 15 for the box; a = w / 2 rounded) is a grey
    // band of width w at a + 2 pixels inside, then lines: cyan on the edge,
    // red at a / 2 + 2, white at a + 2, blue (2 wide) at 2a - 2. The heading
    // (62 characters of 192 twips) is centred.
    EXPECT_EQ(seen,
              "180 180 21330 7905 w19 f0f0f0; 0 0 21510 8085 w1 ffff00; "
              "105 105 21405 7980 w1 0000ff; 180 180 21330 7905 w1 ffffff; "
              "270 270 21240 7815 w2 ff0000; 6219 2527.5 15291 3180 w15 f0f0f0; "
              "6069 2377.5 15441 3330 w1 ffff00; 6159 2467.5 15351 3240 w1 0000ff; "
              "6219 2527.5 15291 3180 w1 ffffff; 6279 2587.5 15231 3120 w2 ff0000; "
              "ENTER 4803 1001.25 16; Press 8019 4440 12; "
              "Press 7587 5340 12; 1: 10932 2617.5 4224 405 11; 14: 1200 6990 2352 495 14; "
              "11: 18966 6990 1344 495 14; ");
}

}  // namespace
}  // namespace nrvnc::entry_test
