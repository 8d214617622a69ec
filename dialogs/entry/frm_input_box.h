// frmInputBox: the value-entry dialog with its four screens (host name,
// repeater IP address, port number, access code).
//
// One shared instance (Misc::frmInputBox). Each screen loads the form,
// lays it out, waits for the operator, writes its session variable and
// unloads the form again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"

namespace nrvnc {

class Misc;

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
    Misc& misc_;
    std::unique_ptr<Form> form_;
};

}  // namespace nrvnc
