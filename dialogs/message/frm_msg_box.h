// frmMsgBox: the program's own message window and its numbered catalogue.
//
// One shared instance (frmMsgBox(misc), below). The form's window is loaded on
// first use (MsgBox_Loaded becomes true) and unloaded by Close_frmMsgBox.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "platform/forms.h"

namespace nrvnc {

class Misc;

// A caller value of a message: a flag, a small number or a line of text.
using Msg_Value = std::variant<bool, int, std::string>;

// Answer of a message that has no button pressed (the stand-by notice).
constexpr int16_t No_Answer = 10;

class FrmMsgBox : public Form_Events {
public:
    explicit FrmMsgBox(Misc& misc);
    ~FrmMsgBox() override;

    // Shows message Sel (0, 1, 2, 3 or 16) and returns the index of the
    // pressed button; message 1 returns No_Answer at once and stays up.
    int16_t Do_User_Msg(int16_t Sel, const Msg_Value& UserIn1, const Msg_Value& UserIn2);

    // Lays the dialog out for Lines[1..8] and shows it (element 0 unused).
    void Do_frmMsgBox(const std::array<std::string, 9>& Lines);

    // Hides and unloads the form.
    void Close_frmMsgBox();

    bool Loaded() const { return form_ != nullptr; }
    // The loaded form, loading it first when needed.
    Form& form();

    // Handlers.
    void Control_Click(int id) override;     // cmdMsgBox_Click
    void Control_GotFocus(int id) override;  // cmdMsgBox_GotFocus

private:
    void Form_Load();

    Misc& misc_;
    std::unique_ptr<Form> form_;
    int16_t Msg_Number = 0;
    uint8_t Msg_Wait_Mode = 0;
    int16_t Msg_Answer = No_Answer;
    // Client rectangle saved by Do_frmMsgBox, twips.
    float Client_Left = 0, Client_Top = 0, Client_Width = 0, Client_Height = 0,
          Client_Right = 0, Client_Bottom = 0;
};

// The single shared instance, created on first use and kept in Misc.
FrmMsgBox& frmMsgBox(Misc& misc);

}  // namespace nrvnc
