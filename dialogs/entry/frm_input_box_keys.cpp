// Keys, focus and buttons of frmInputBox. The handlers only change the
// form-level state; the waiting screen method polls Input_Result.
#include "dialogs/entry/frm_input_box.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"

namespace nrvnc {

namespace {

constexpr int Id_Item_Value = 1;
constexpr int Id_Xit_N_Sav = 11;
constexpr int Id_Port_Num = 12;
constexpr int Id_IP_Address = 13;
constexpr int Id_Exit_Prog = 14;

constexpr Color Button_White = 0xFFFFFF;

}  // namespace

void FrmInputBox::Form_Activate() {
    if (Item_Index == 0) Item_Index = 1;
    Item_Changed = false;
}

// A focus move the filter asks for; a control that cannot take the focus
// (form hidden, control hidden or disabled) is left alone rather than
// raising inside a key event.
void FrmInputBox::Move_Focus_To(Control& control) {
    if (form_ && form_->Visible() && control.Visible() && control.Enabled()) control.Set_Focus();
}

void FrmInputBox::Form_KeyDown(int16_t& key_code, int16_t) {
    const int k = key_code;
    const uint8_t Input_Mode = misc_.Input_Mode;
    Swallow_Key = true;
    Changed_Before_Key = Item_Changed;

    if (k == 9 || k == 32 || k == 40 || k == 38) {
        // Field -> Accept -> Exit Program -> field.
        switch (Focus_Item) {
            case 0:
                Move_Focus_To(cmdXitNSav());
                break;
            case 1:
                Move_Focus_To(cmdExitProg());
                break;
            case 2:
            case 3:
            case 4:
                Move_Focus_To(txtItemValue(1));
                break;
            default:
                break;
        }
    } else if (k == 8 || k == 37 || k == 39 || k == 46 || k == 36 || k == 35) {
        Swallow_Key = false;  // editing and caret keys
    } else if (k == 113) {
        // F2 restores the value the screen opened with.
        if (Input_Mode > 1 && !Item_Start_Value[1].empty())
            txtItemValue(1).Set_Text(Item_Start_Value[1]);
    } else if (k == 27) {
        Input_Result = Entry_Escape;  // even while Input_Active is False
    } else if (k == 13) {
        if (Item_Changed) {
            if (Focus_Item == 0) Move_Focus_To(cmdXitNSav());
        } else {
            if (Focus_Item == 0) txtItemValue(1).Set_Text("");
        }
    } else if ((k >= 48 && k <= 57) || (k >= 96 && k <= 105)) {
        Item_Changed = true;
        Swallow_Key = false;
    } else if ((k >= 0 && k <= 47) || (k >= 58 && k <= 90) || (k >= 112 && k <= 189) ||
               (k >= 191 && k <= 255)) {
        if (Input_Mode == 2) {
            Item_Changed = true;
            Swallow_Key = false;
        }
    } else if (k == 190) {
        // A full stop never starts a value.
        if (!txtItemValue(1).Text().empty() && (Input_Mode == 2 || Input_Mode == 3)) {
            Item_Changed = true;
            Swallow_Key = false;
        }
    } else {
        // The system keys 91 to 95, the keypad's operator keys and decimal
        // point, and codes above 255.
        Item_Changed = false;
    }

    if (Swallow_Key) key_code = 0;
}

// The key code names a key, not what it types: Shift with a digit key, or
// the top row of a layout whose digits need Shift, gives another character.
// So the digit-only fields decide again by the character itself.
void FrmInputBox::Form_KeyPress(int16_t& key_ascii) {
    if (Swallow_Key) {
        key_ascii = 0;
        return;
    }
    const int c = key_ascii;
    const uint8_t Input_Mode = misc_.Input_Mode;
    const bool Digit_Only = Input_Mode == 1 || Input_Mode == 3 || Input_Mode == 4;
    const bool Typed_Right = (c >= 0 && c < 32) || (c >= '0' && c <= '9') ||
                             (c == '.' && Input_Mode == 3);  // or an editing key
    if (Digit_Only && !Typed_Right) {
        key_ascii = 0;
        Item_Changed = Changed_Before_Key;  // nothing was typed
    }
}

void FrmInputBox::Control_Click(int id) {
    if (id == Id_Item_Value) {
        Item_Index = static_cast<int16_t>(id);
        return;
    }
    if (!Input_Active) return;
    switch (id) {
        case Id_Xit_N_Sav:
            Input_Result = Entry_Accept;
            break;
        case Id_Exit_Prog:
            Input_Result = Entry_Exit;
            break;
        case Id_IP_Address:
            misc_.Held_Code_Text = txtItemValue(1).Text();
            Input_Result = Entry_Edit_IP;
            break;
        case Id_Port_Num:
            misc_.Held_Code_Text = txtItemValue(1).Text();
            Input_Result = Entry_Edit_Port;
            break;
        default:
            break;
    }
}

void FrmInputBox::Control_GotFocus(int id) {
    if (!Input_Active) return;
    switch (id) {
        case Id_Item_Value: {
            Focus_Item = 0;
            Control& field = txtItemValue(id);
            field.Set_Back_Color(QB_Color(10));
            field.Set_Fore_Color(QB_Color(0));
            return;
        }
        case Id_Xit_N_Sav:
            Focus_Item = 1;
            break;
        case Id_Port_Num:
            Focus_Item = 2;
            break;
        case Id_IP_Address:
            Focus_Item = 3;
            break;
        case Id_Exit_Prog:
            Focus_Item = 4;
            break;
        default:
            return;
    }
    form().Item(id).Set_Back_Color(QB_Color(10));
}

void FrmInputBox::Control_LostFocus(int id) {
    if (!Input_Active) return;
    if (id == Id_Item_Value) {
        Control& field = txtItemValue(id);
        field.Set_Back_Color(QB_Color(15));
        field.Set_Fore_Color(QB_Color(0));
        return;
    }
    if (id == Id_Xit_N_Sav || id == Id_Port_Num || id == Id_IP_Address || id == Id_Exit_Prog)
        form().Item(id).Set_Back_Color(Button_White);
}

}  // namespace nrvnc
