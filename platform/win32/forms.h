// The forms runtime on USER and GDI: forms as top-level windows of their
// own class (window.h), their drawing kept in memory bitmaps (painting.h),
// buttons and text boxes as child windows (controls.h), text through GDI
// fonts (fonts.h), key messages read as the model's key presses (keys.h).
//
// One thread: every handler of a form runs inside Do_Events or inside
// Message_Box, on the thread that calls them, or synchronously inside the
// call that causes it (Set_Focus).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/win32/fonts.h"

namespace nrvnc {

class Win32_Form;

class Win32_Forms_Runtime : public Forms_Runtime {
  public:
    // Registers the form's window class; the runtime must outlive every
    // form it loads, and all of them live on the thread that made it.
    explicit Win32_Forms_Runtime(std::string app_title = "NRVNC");
    ~Win32_Forms_Runtime() override;
    Win32_Forms_Runtime(const Win32_Forms_Runtime&) = delete;
    Win32_Forms_Runtime& operator=(const Win32_Forms_Runtime&) = delete;

    std::unique_ptr<Form> Load_Form(const Form_Design& design, Form_Events& events) override;
    // Dispatches every pending message of the thread and runs the forms'
    // queued handlers. Inside a polling loop (called again right after a
    // call that had nothing to do) it first waits up to 10 ms for a message
    // or an event registered with Event_Wait, and handles what came. An
    // error raised by a handler inside a window procedure comes out of here.
    void Do_Events() override;
    // MessageBoxA with an OK button, modal to every form of the program.
    void Message_Box(const std::string& text, const std::string& title) override;
    std::string App_Title() const override { return app_title_; }

    double Screen_Width() const override;
    double Screen_Height() const override;
    double Twips_Per_Pixel_X() const override { return fonts_.Twips_Per_Pixel_X(); }
    double Twips_Per_Pixel_Y() const override { return fonts_.Twips_Per_Pixel_Y(); }
    int Font_Count() const override;
    std::string Font(int index) const override;
    // GetSysColor: the colours of the desktop the program runs on.
    Color System_Color(int index) const override;

    const Win32_Fonts& Fonts() const { return fonts_; }

    // Bookkeeping of Win32_Form.
    void Add(Win32_Form* form);
    void Remove(Win32_Form* form);
    // While the system message box is up, the forms take no input.
    bool Modal() const { return modal_; }
    // A hidden window that owns the forms kept off the taskbar.
    HWND Owner_Window();
    // Keeps an error raised inside a window procedure for Do_Events.
    void Keep_Error(std::exception_ptr error);

  private:
    bool Pump();
    bool Run_Handlers();
    bool Is_Live(Win32_Form* form) const;

    std::string app_title_;
    Win32_Fonts fonts_;
    std::vector<Win32_Form*> forms_;
    HWND owner_ = nullptr;
    bool modal_ = false;
    std::exception_ptr kept_error_;
    // The end of the last call that had nothing to do; zero after a busy one.
    std::chrono::steady_clock::time_point idle_since_;
};

}  // namespace nrvnc
