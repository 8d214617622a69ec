// The four entry screens: what each shows, what it writes and returns.
#include <algorithm>

#include "tests/entry/entry_fixture.h"

namespace nrvnc::entry_test {
namespace {

const std::string Accept_Hint = "Press [Accept] button to accept input.";
const std::map<int, std::string> Accept_Exit = {{Accept_Id, "&Accept"}, {Exit_Id, "E&xit Program"}};

TEST_F(Entry_Test, EditingScreensShowCaptionLabelValueAndButtons) {
    const struct {
        int Sel;
        std::string Start, Label, Heading;
    } cases[] = {
        {2, "pc-one", " Host Name/IP Address ",
         "ENTER HOST NAME or IP ADDRESS FOR LOCAL NETWORK REMOTE VIEWING"},
        {3, "10.0.0.5", " IP Address ", "ENTER REPEATER IP ADDRESS FOR INTERNET REMOTE VIEWING"},
        {4, "5901", "   Port #   ", "ENTER PORT NUMBER FOR INTERNET REMOTE VIEWING"},
        {7, "5500", "   Port #   ", ""},  // any other selector: the port, no heading
    };
    for (const auto& c : cases) {
        Variable_Of(std::min(c.Sel, 4)) = c.Start;
        int caret = -1, focused = -1;
        d.operator_.On_Screen(Caption_Of(std::min(c.Sel, 4))).Run([&] {
            caret = control(Field_Id).Sel_Start();
            focused = form().Focused_Id();
        });
        d.operator_.Type("9").Press(Accept_Id);
        EXPECT_EQ(box().User_Input_Form1(static_cast<uint8_t>(c.Sel)), Entry_Accept);
        const fake::Screen_Snapshot& s = d.seen.back();
        EXPECT_EQ(s.Caption, Caption_Of(std::min(c.Sel, 4)));
        EXPECT_EQ(s.Field, c.Start);
        EXPECT_EQ(caret, static_cast<int>(c.Start.size()));
        EXPECT_EQ(focused, Field_Id);
        EXPECT_EQ(s.Buttons, Accept_Exit);
        EXPECT_EQ(s.Texts,
                  (std::vector<std::string>{
                      c.Heading, c.Label, Accept_Hint, "Press <F2> to restore original value.",
                      "Press <Esc> key to return to network selection screen.",
                      "Press [Exit Program] button to exit program."}));
        EXPECT_EQ(Variable_Of(std::min(c.Sel, 4)), c.Start + "9");
        // The form is unloaded and the mode reset.
        EXPECT_FALSE(box().Loaded());
        EXPECT_TRUE(d.forms.live.empty());
        EXPECT_EQ(m.Input_Mode, 0);
    }
}

TEST_F(Entry_Test, AccessCodeScreenWithRepeaterFoundAndNotFound) {
    const std::string Esc_Hint =
        "Press <Esc> key to return to network selection or the [Exit Program] button to exit "
        "program.";
    m.Repeater_IP = "203.0.113.9";
    m.Port_Num = "5500";
    m.Repeater_Found = true;
    d.operator_.On_Screen(Code_Caption).Type("4711").Press(Accept_Id);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Accept);
    EXPECT_EQ(m.Access_Code, "4711");
    EXPECT_TRUE(d.forms.message_boxes.empty());
    ASSERT_EQ(d.seen.size(), 1u);
    EXPECT_EQ(d.seen[0].Caption,
              "  Enter Remote Viewing Access Code - Repeater IP : 203.0.113.9   Port # 5500");
    EXPECT_EQ(d.seen[0].Buttons, Accept_Exit);
    EXPECT_EQ(d.seen[0].Field, "");
    const std::string heading = "ENTER REMOTE VIEWER 4 DIGIT ACCES CODE SUPPLIED BY THE HOST";
    const std::string label = " Remote Viewer Access Code ";
    EXPECT_EQ(d.seen[0].Texts, (std::vector<std::string>{heading, label, Accept_Hint, Esc_Hint}));

    m.Repeater_IP = "";
    m.Repeater_Found = false;
    d.operator_.On_Screen(Code_Caption).Key(Key::Escape);
    EXPECT_EQ(box().User_Input_Form0(), Entry_Escape);
    EXPECT_EQ(d.seen[1].Caption,
              "  Enter Remote Viewing Access Code - Repeater IP : Unassigned   Port # 5500");
    EXPECT_EQ(d.seen[1].Buttons, (std::map<int, std::string>{{Accept_Id, "&Accept"},
                                                             {Edit_Port_Id, " &Edit Port # "},
                                                             {Edit_IP_Id, " &Edit IP "},
                                                             {Exit_Id, "E&xit Program"}}));
    EXPECT_EQ(d.seen[1].Texts,
              (std::vector<std::string>{
                  heading, label, Accept_Hint,
                  "Press [Edit IP] button to change the repeater IP address for remote viewing.",
                  "Press [Edit Port #] button to change the internet port number remote viewing.",
                  Esc_Hint}));
}

}  // namespace
}  // namespace nrvnc::entry_test
