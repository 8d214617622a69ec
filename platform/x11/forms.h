// The forms runtime on X11: forms as top-level windows (window.h), their
// drawing kept in pixmaps (painting.h), buttons and text boxes as child
// windows (controls.h), text through Xft (fonts.h), keys translated to the
// virtual-key codes of the dialogs (keys.h).
//
// One thread: every handler of a form runs inside Do_Events or inside
// Message_Box, on the thread that calls them.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/x11/display.h"
#include "platform/x11/fonts.h"

namespace nrvnc {

class X11_Form;

class X11_Forms_Runtime : public Forms_Runtime {
  public:
    // The display must outlive the runtime, and the runtime every form it
    // loads.
    explicit X11_Forms_Runtime(X11_Display& display, std::string app_title = "NRVNC");
    ~X11_Forms_Runtime() override;
    X11_Forms_Runtime(const X11_Forms_Runtime&) = delete;
    X11_Forms_Runtime& operator=(const X11_Forms_Runtime&) = delete;

    std::unique_ptr<Form> Load_Form(const Form_Design& design, Form_Events& events) override;
    // Handles every pending X event and runs the forms' queued handlers.
    // When there was nothing to do and the last call also had nothing to do
    // and ended less than 2 ms ago (a polling loop), waits up to 10 ms for
    // the X connection or a descriptor registered with Event_Wait, and
    // handles what came.
    void Do_Events() override;
    void Message_Box(const std::string& text, const std::string& title) override;
    std::string App_Title() const override { return app_title_; }

    double Screen_Width() const override;
    double Screen_Height() const override;
    double Twips_Per_Pixel_X() const override { return display_.Twips_Per_Pixel(); }
    double Twips_Per_Pixel_Y() const override { return display_.Twips_Per_Pixel(); }
    int Font_Count() const override;
    std::string Font(int index) const override;
    Color System_Color(int index) const override;

    X11_Display& Display_Connection() { return display_; }
    const X11_Fonts& Fonts() const { return fonts_; }

    // Bookkeeping of X11_Form.
    void Add(X11_Form* form);
    void Remove(X11_Form* form);

  private:
    bool Pump(X11_Form* modal);
    bool Run_Handlers(X11_Form* only);
    void Flush_All();
    bool Is_Live(X11_Form* form) const;

    X11_Display& display_;
    std::string app_title_;
    X11_Fonts fonts_;
    std::vector<X11_Form*> forms_;
    std::chrono::steady_clock::time_point idle_since_;  // end of the last idle call
    std::chrono::steady_clock::time_point loop_since_;  // first idle call of the loop
    bool forms_changed_ = false;  // a form was loaded or unloaded since the last call
};

}  // namespace nrvnc
