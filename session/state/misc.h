// The program's shared state: the session variables through which the
// procedures exchange the connection values and flags, the module values of
// the dialogs, and the home of the single shared instance of each form.
//
// Main owns one Misc for the whole run; every procedure receives it. Tests
// build their own on the fake desktop.
//
// This folder (session/state/) sits under every subsystem: each may include
// it, and it includes nothing but platform/. It names no form: each form's
// own header offers its accessor (frmMsgBox(misc) ...), which keeps the
// instance here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace nrvnc {

class Misc {
  public:
    explicit Misc(Platform& platform);
    ~Misc();
    Misc(const Misc&) = delete;
    Misc& operator=(const Misc&) = delete;

    Platform& Sys;

    // Session variables; each starts empty, 0 or False.
    std::string Host_Name;
    std::string Repeater_IP;
    std::string Port_Num;
    std::string Access_Code;
    std::string INI_File_Path;
    uintptr_t FTP_Handle = 0;
    bool Internet_OK = false;
    bool Local_Network = false;
    bool Repeater_Found = false;
    std::string Msg_Question;
    bool MsgBox_Loaded = false;

    // Module values of the dialogs.
    uint8_t Input_Mode = 0;      // entry screen shown: 0 none, 1 code, 2 host, 3 repeater, 4 port
    std::string Held_Code_Text;  // access-code text kept across Edit IP / Edit Port #
    std::string Display_Font;    // font of every dialog text; empty when none was found
    std::vector<float> Font_Sizes;  // exact sizes of Display_Font, ascending

    // The single shared instance of a form object (constructed from this
    // Misc), created on first use; called by the form's own accessor.
    // Creating the object does not load the form's window; each form loads
    // itself when it is first used, as its own header describes.
    template <class Form_Type>
    Form_Type& Single_Instance() {
        for (auto& [type, instance] : forms_)
            if (type == typeid(Form_Type)) return *static_cast<Form_Type*>(instance.get());
        std::shared_ptr<void> instance = std::make_shared<Form_Type>(*this);
        forms_.emplace_back(typeid(Form_Type), instance);
        return *static_cast<Form_Type*>(instance.get());
    }

    // Lets pending window events run.
    void Do_Events() { Sys.forms.Do_Events(); }

  private:
    // The form objects by type, in the order they were created.
    // shared_ptr<void> keeps each form's deleter with the code that created it.
    std::vector<std::pair<std::type_index, std::shared_ptr<void>>> forms_;
};

}  // namespace nrvnc
