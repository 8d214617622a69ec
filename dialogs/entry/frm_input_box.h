// frmInputBox: the value-entry dialog with its four screens (host name,
// repeater IP address, port number, access code).
//
// One shared instance (frmInputBox(misc), below). Each screen loads the form,
// lays it out, waits for the operator, writes its session variable and
// unloads the form again.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"

namespace nrvnc {

class Misc;
class Runtime_Error;

// Result codes of a screen.
constexpr uint8_t Entry_Accept = 1;
constexpr uint8_t Entry_Edit_IP = 5;
constexpr uint8_t Entry_Edit_Port = 6;
constexpr uint8_t Entry_Escape = 7;
constexpr uint8_t Entry_Exit = 9;

class FrmInputBox : public Form_Events {
  public:
    explicit FrmInputBox(Misc& misc);
    ~FrmInputBox() override;

    // Sel 2: host name screen, 3: repeater IP screen, 4: port screen.
    uint8_t User_Input_Form1(uint8_t Sel);
    // The access-code screen.
    uint8_t User_Input_Form0();

    bool Loaded() const { return form_ != nullptr; }

    // Handlers (the form sees keys first).
    void Form_Activate() override;
    void Form_KeyDown(int16_t& key_code, int16_t shift) override;
    void Form_KeyPress(int16_t& key_ascii) override;
    void Control_Click(int id) override;
    void Control_GotFocus(int id) override;
    void Control_LostFocus(int id) override;

  private:
    // The loaded form; the first use loads it and runs Form_Load.
    Form& form();
    void Form_Load();

    // Layout (frm_input_box_layout.cpp).
    void Setup_Input_Form();
    void Print_Text_At(float X, float Y, const std::string& Text, uint8_t Color);
    void Print_Aligned_Text(const std::string& Text, float Y, float X, uint8_t Color);
    void Fit_Font_Size(float Wanted, float& Height_Out);
    float Font_Size_At(int index) const;  // raises error 9 outside Font_Sizes

    // Screens (frm_input_box.cpp).
    void Show_And_Wait_Start();
    uint8_t Close_Screen(bool edit_buttons);
    uint8_t Entry_Error(const Runtime_Error& error);

    // Keys and focus (frm_input_box_keys.cpp).
    void Move_Focus_To(Control& control);

    Control& txtItemValue(int index);
    Control& cmdXitNSav();
    Control& cmdPortNum();
    Control& cmdIPAddress();
    Control& cmdExitProg();

    int32_t Px_X(int16_t n);
    int32_t Px_Y(int16_t n);

    Misc& misc_;
    std::unique_ptr<Form> form_;

    // Form-level state; it outlives the form's window between screens.
    uint8_t Input_Result = 0;
    bool Input_Active = false;
    uint8_t Focus_Item = 0;
    int16_t Item_Count = 0;
    std::vector<std::string> Item_Label;  // 1 To Item_Count; element 0 unused
    uint8_t Field_Chars = 0;
    std::array<std::string, 2> Item_Start_Value;  // element 1 used
    int16_t Item_Index = 0;
    bool Swallow_Key = false;
    bool Item_Changed = false;
    bool Changed_Before_Key = false;  // Item_Changed before the key now filtered

    // Layout values, twips.
    float Form_Scale_Left = 0, Form_Scale_Top = 0, Form_Scale_Width = 0, Form_Scale_Height = 0;
    float Box_Left = 0, Box_Top = 0, Box_Right = 0, Box_Bottom = 0;
    float Box_Outer_Width = 0, Box_Outer_Height = 0;
    float Heading_Size = 0;
};

// The single shared instance, created on first use and kept in Misc.
FrmInputBox& frmInputBox(Misc& misc);

}  // namespace nrvnc
