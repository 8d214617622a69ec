// Shared set-up of the entry dialog tests: a fake desktop, the display
// font and its sizes given as Select_Display_Font would leave them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/entry/frm_input_box.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc::entry_test {

constexpr int Field_Id = 1;
constexpr int Accept_Id = 11;
constexpr int Edit_Port_Id = 12;
constexpr int Edit_IP_Id = 13;
constexpr int Exit_Id = 14;

constexpr Color Green = Rgb(0, 255, 0);  // palette 10
constexpr Color White = Rgb(255, 255, 255);
constexpr Color Black = Rgb(0, 0, 0);

constexpr const char* Host_Caption = "  Enter Host Name or IP Address  ";
constexpr const char* IP_Caption = "  Enter IP Address  ";
constexpr const char* Port_Caption = "  Enter Port Number  ";
constexpr const char* Code_Caption = "  Enter Remote Viewing Access Code";

class Entry_Test : public ::testing::Test {
  protected:
    Entry_Test() {
        m.Display_Font = "Courier New";
        m.Font_Sizes = {8, 9, 10, 11, 12, 14, 16, 18, 20};
    }

    FrmInputBox& box() { return frmInputBox(m); }

    // The entry form while a screen is up.
    fake::Fake_Form& form() {
        for (auto* f : d.forms.live)
            if (f->Caption().rfind("  Enter", 0) == 0) return *f;
        ADD_FAILURE() << "no entry screen is loaded";
        return *d.forms.live.at(0);
    }
    Control_Model& control(int id) { return *form().Find_Control(id); }
    std::string field_text() { return control(Field_Id).Text(); }

    // Runs the screen of a mode: 1 the access code, 2 to 4 User_Input_Form1.
    uint8_t Run_Screen(int mode) {
        return mode == 1 ? box().User_Input_Form0()
                         : box().User_Input_Form1(static_cast<uint8_t>(mode));
    }

    static const char* Caption_Of(int mode) {
        const char* captions[] = {Code_Caption, Host_Caption, IP_Caption, Port_Caption};
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

}  // namespace nrvnc::entry_test
