// A form of the Win32 forms runtime: the portable form model mirrored in a
// top-level window of its own class. The model holds every value, the
// drawing and the focus; this class shows them and feeds the window
// system's input back to the model (keys to Deliver_Key, clicks to
// Deliver_Click).
//
// Changes of the model reach the window at once. Input reaches the model
// only from window procedures, which run inside Do_Events (DispatchMessage);
// an error a handler raises there is kept by the runtime and raised again
// from Do_Events, outside the system's frames.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <map>
#include <memory>

#include "platform/form_model.h"
#include "platform/win32/controls.h"
#include "platform/win32/painting.h"

namespace nrvnc {

class Win32_Forms_Runtime;

class Win32_Form : public Form_Model {
  public:
    Win32_Form(Win32_Forms_Runtime& runtime, const Form_Design& design, Form_Events& events);
    ~Win32_Form() override;

    // The window class of every form.
    static constexpr const char* Class_Name = "NRVNC_Form";
    static void Register_Class(HINSTANCE instance);

    // Window styles of a design: a caption where it has a border; the
    // system menu and the minimise button only with a control box.
    static DWORD Style_For(const Form_Design& design);
    // The frame the system puts around a client area of this design.
    static Frame_Insets Insets_For(const Form_Design& design, const Win32_Fonts& fonts);

    HWND Handle() const { return window_; }
    // The window of a control; null when there is none of that id.
    HWND Control_Handle(int id) const;

    // The window procedures: the form's own and its controls'.
    LRESULT Form_Message(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Control_Message(Win32_Control& control, UINT message, WPARAM wparam, LPARAM lparam);

  protected:
    void Window_Changed() override { Apply_Window(); }
    void Drawing_Changed() override;
    void Control_Changed(Control_Model& c) override;
    void Raised() override;
    void Focus_Changed() override;

  private:
    struct Geometry {
        int X = 0, Y = 0, W = 0, H = 0;
        bool operator==(const Geometry&) const = default;
    };
    Geometry Client_Geometry() const;
    void Apply_Window();
    void Apply_Geometry();
    void Apply_Pointer();
    bool Pointer_Over(HWND window) const;
    void Paint_Canvas(bool from_start);
    void Give_Native_Focus();
    bool Accepts_Input() const;
    void Key_Message(HWND from, UINT message, WPARAM wparam, LPARAM lparam);
    void Edit_Clicked(Win32_Control& control, LPARAM lparam);
    // Runs model code from a window procedure; keeps what it raises.
    template <typename Action>
    void Guarded(Action action);

    Win32_Forms_Runtime& runtime_;
    const Win32_Fonts& fonts_;
    HWND window_ = nullptr;
    std::unique_ptr<Canvas> canvas_;
    std::size_t painted_ = 0;  // drawing operations already in the canvas
    std::map<int, std::unique_ptr<Win32_Control>> controls_;
    int shown_focus_ = -1;
    Geometry applied_geometry_;
    bool geometry_applied_ = false;
    std::string applied_caption_;
    bool caption_applied_ = false;
    Mouse_Pointer applied_pointer_ = Mouse_Pointer::Default;
    bool focus_owed_ = false;  // shown or restored since it last asked for the keys
};

}  // namespace nrvnc
