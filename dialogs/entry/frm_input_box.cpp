#include "dialogs/entry/frm_input_box.h"

#include <algorithm>
#include <cctype>

#include "dialogs/message/frm_msg_box.h"
#include "platform/error.h"
#include "presentation/presentation.h"
#include "session/state/housekeeping.h"
#include "session/state/misc.h"

namespace nrvnc {

namespace {

// Control ids of the design.
constexpr int Id_Item_Value = 1;  // txtItemValue(1)
constexpr int Id_Xit_N_Sav = 11;
constexpr int Id_Port_Num = 12;
constexpr int Id_IP_Address = 13;
constexpr int Id_Exit_Prog = 14;

Form_Design Input_Box_Design() {
    Form_Design design;
    design.Caption = "";
    design.Border = Border_Style::Fixed_Single;
    design.Control_Box = false;
    design.Key_Preview = true;  // the key filter sees every key before the field or a button
    design.Back_Color = Rgb(0, 0, 0);

    Control_Design field;
    field.Id = Id_Item_Value;
    field.Kind = Control_Kind::Text_Box;
    field.Tab_Index = 0;
    field.Visible = false;
    field.Back_Color = Rgb(255, 255, 255);
    field.Fore_Color = Rgb(0, 0, 0);
    field.Height = 405;
    design.Controls.push_back(field);

    // Tab order follows the row on screen, so that Alt+E reaches Edit IP
    // before Edit Port #.
    auto button = [&](int id, int tab_index) {
        Control_Design b;
        b.Id = id;
        b.Kind = Control_Kind::Command_Button;
        b.Tab_Index = tab_index;
        b.Visible = false;
        b.Enabled = false;
        design.Controls.push_back(b);
    };
    button(Id_Exit_Prog, 1);
    button(Id_IP_Address, 2);
    button(Id_Port_Num, 3);
    button(Id_Xit_N_Sav, 4);
    return design;
}

// Exactly four characters, each a digit.
bool Is_Four_Digit_Code(const std::string& code) {
    return code.size() == 4 && std::all_of(code.begin(), code.end(),
                                           [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

FrmInputBox::FrmInputBox(Misc& misc) : misc_(misc) {}

FrmInputBox::~FrmInputBox() = default;

FrmInputBox& frmInputBox(Misc& misc) {
    return misc.Single_Instance<FrmInputBox>();
}

Form& FrmInputBox::form() {
    if (!form_) {
        form_ = misc_.Sys.forms.Load_Form(Input_Box_Design(), *this);
        Form_Load();
    }
    return *form_;
}

Control& FrmInputBox::txtItemValue(int index) {
    return form().Item(index);
}
Control& FrmInputBox::cmdXitNSav() {
    return form().Item(Id_Xit_N_Sav);
}
Control& FrmInputBox::cmdPortNum() {
    return form().Item(Id_Port_Num);
}
Control& FrmInputBox::cmdIPAddress() {
    return form().Item(Id_IP_Address);
}
Control& FrmInputBox::cmdExitProg() {
    return form().Item(Id_Exit_Prog);
}

int32_t FrmInputBox::Px_X(int16_t n) {
    return Pix_To_Twips_X(misc_, n);
}
int32_t FrmInputBox::Px_Y(int16_t n) {
    return Pix_To_Twips_Y(misc_, n);
}

void FrmInputBox::Form_Load() {
    Form& f = *form_;
    Forms_Runtime& screen = misc_.Sys.forms;
    const float Screen_Width = static_cast<float>(screen.Screen_Width());
    const float Screen_Height = static_cast<float>(screen.Screen_Height());
    f.Set_Height(Screen_Height / 2 + static_cast<float>(Px_Y(25)));
    f.Set_Width(Screen_Width * 0.75f);
    f.Set_Left(Screen_Width * 0.125f);
    f.Set_Top(Screen_Height / 4 - static_cast<float>(Px_Y(12)));
    Form_Scale_Width = static_cast<float>(f.Scale_Width());
    Form_Scale_Height = static_cast<float>(f.Scale_Height());
    Form_Scale_Left = static_cast<float>(f.Scale_Left());
    Form_Scale_Top = static_cast<float>(f.Scale_Top());
    misc_.Input_Mode = 0;
    Input_Result = 0;
}

// Shows the laid-out form and gives the field its first focus. Input_Active
// is still False here, so that first focus neither colours the field nor
// touches Focus_Item.
void FrmInputBox::Show_And_Wait_Start() {
    Form& f = form();
    f.Show();
    misc_.Do_Events();
    f.Bring_To_Top();
    misc_.Do_Events();
    txtItemValue(Item_Index).Set_Focus();
    Input_Active = true;
}

uint8_t FrmInputBox::User_Input_Form1(uint8_t Sel) {
    Item_Label.assign(2, std::string());
    try {
        Field_Chars = 20;
        Item_Count = 1;

        std::string caption, label, value;
        switch (Sel) {
            case 2:
                caption = "  Enter Host Name or IP Address  ";
                label = " Host Name/IP Address ";
                value = misc_.Host_Name;
                break;
            case 3:
                caption = "  Enter IP Address  ";
                label = " IP Address ";
                value = misc_.Repeater_IP;
                break;
            default:
                caption = "  Enter Port Number  ";
                label = "   Port #   ";
                value = misc_.Port_Num;
                break;
        }
        form().Set_Caption(caption);
        Item_Label[1] = label;

        misc_.Input_Mode = Sel;
        Setup_Input_Form();

        Item_Changed = false;
        Item_Index = 1;
        Input_Result = 0;

        cmdXitNSav().Set_Visible(true);
        cmdXitNSav().Set_Enabled(true);
        cmdExitProg().Set_Visible(true);
        cmdExitProg().Set_Enabled(true);

        Control& field = txtItemValue(Item_Index);
        field.Set_Visible(true);
        field.Set_Text(value);
        field.Set_Sel_Start(static_cast<int>(field.Text().size()));
        Item_Start_Value[1] = field.Text();

        Show_And_Wait_Start();
        do {
            Bring_Form_To_Front(misc_, form());
        } while (Input_Result == 0);

        // Any ending but Accept leaves the variable as it was.
        const std::string result =
            Input_Result == Entry_Accept ? txtItemValue(1).Text() : Item_Start_Value[1];
        switch (Sel) {
            case 2:
                misc_.Host_Name = result;
                break;
            case 3:
                misc_.Repeater_IP = result;
                break;
            default:
                misc_.Port_Num = result;
                break;
        }
        return Close_Screen(false);
    } catch (const Runtime_Error& error) {
        return Entry_Error(error);
    }
}

uint8_t FrmInputBox::User_Input_Form0() {
    Item_Label.assign(2, std::string());
    try {
        Field_Chars = 10;
        Item_Count = 1;

        form().Set_Caption(
            "  Enter Remote Viewing Access Code - Repeater IP : " +
            (misc_.Repeater_IP.empty() ? std::string("Unassigned") : misc_.Repeater_IP) +
            "   Port # " + misc_.Port_Num);
        Item_Label[1] = " Remote Viewer Access Code ";

        misc_.Input_Mode = 1;
        Setup_Input_Form();

        Item_Changed = false;
        Item_Index = 1;
        Input_Result = 0;
        std::string Entered_Code;

        cmdXitNSav().Set_Visible(true);
        cmdXitNSav().Set_Enabled(true);
        if (!misc_.Repeater_Found) {
            cmdIPAddress().Set_Visible(true);
            cmdIPAddress().Set_Enabled(true);
            cmdPortNum().Set_Visible(true);
            cmdPortNum().Set_Enabled(true);
        }
        cmdExitProg().Set_Visible(true);
        cmdExitProg().Set_Enabled(true);

        Control& field = txtItemValue(Item_Index);
        field.Set_Visible(true);
        field.Set_Text(misc_.Held_Code_Text);
        field.Set_Sel_Start(static_cast<int>(field.Text().size()));
        misc_.Held_Code_Text.clear();

        Show_And_Wait_Start();
        do {
            Bring_Form_To_Front(misc_, form());
            if (Input_Result == Entry_Accept) {
                Entered_Code = txtItemValue(1).Text();
                if (!Is_Four_Digit_Code(Entered_Code)) {
                    misc_.Sys.forms.Message_Box(
                        "\r\n     The Access Code must be 4 character number.    ",
                        misc_.Sys.forms.App_Title());
                    Input_Result = 0;
                    Item_Changed = false;
                    txtItemValue(Item_Index).Set_Focus();
                }
            }
        } while (Input_Result == 0);

        if (Input_Result == Entry_Accept) misc_.Access_Code = Entered_Code.substr(0, 4);
        return Close_Screen(true);
    } catch (const Runtime_Error& error) {
        return Entry_Error(error);
    }
}

uint8_t FrmInputBox::Close_Screen(bool edit_buttons) {
    Form& f = form();
    cmdXitNSav().Set_Visible(false);
    cmdXitNSav().Set_Enabled(false);
    cmdExitProg().Set_Visible(false);
    cmdExitProg().Set_Enabled(false);
    if (edit_buttons) {
        cmdIPAddress().Set_Visible(false);
        cmdIPAddress().Set_Enabled(false);
        cmdPortNum().Set_Visible(false);
        cmdPortNum().Set_Enabled(false);
    }
    txtItemValue(1).Set_Visible(false);

    f.Box(f.Scale_Left(), f.Scale_Top(), f.Scale_Width(), f.Scale_Height(), f.Back_Color(), true);

    misc_.Input_Mode = 0;
    f.Hide();
    misc_.Do_Events();

    Input_Active = false;
    Item_Changed = false;

    const uint8_t result = Input_Result;
    form_.reset();
    misc_.Do_Events();
    return result;
}

// The screen cannot go on: tell the operator and end with Exit Program; the
// caller then closes the program.
uint8_t FrmInputBox::Entry_Error(const Runtime_Error& error) {
    misc_.Input_Mode = 0;
    if (form_) form_->Hide();
    misc_.Do_Events();
    frmMsgBox(misc_).Do_User_Msg(
        3, std::string("Error # " + std::to_string(error.Number) + "  " + error.Description),
        std::string("Program will now close."));
    Input_Active = false;
    Item_Changed = false;
    Input_Result = Entry_Exit;
    form_.reset();
    misc_.Do_Events();
    return Entry_Exit;
}

}  // namespace nrvnc
