// The controls of a form as child windows of its client area: command
// buttons drawn by the program (owner-drawn: face in their back colour,
// bold caption with the access letter underlined, the focus rectangle on
// the button the model has focused) and single-line text boxes as native
// EDIT controls in their designed colours and font.
//
// Both are subclassed: every key message goes to the form (which hands it
// to the model), never to the control's own procedure, so the model alone
// decides what a key does; the EDIT control shows the model's text and
// caret.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "platform/form_model.h"
#include "platform/win32/fonts.h"

namespace nrvnc {

class Win32_Form;

class Win32_Control {
  public:
    Win32_Control(Win32_Form& form, HWND parent, const Control_Model& model,
                  const Win32_Fonts& fonts);
    ~Win32_Control();
    Win32_Control(const Win32_Control&) = delete;
    Win32_Control& operator=(const Win32_Control&) = delete;

    // The control of one of our child windows; null for any other window.
    static Win32_Control* From(HWND window);

    HWND Handle() const { return window_; }
    int Id() const { return id_; }
    Control_Kind Kind() const { return kind_; }

    // Brings the window in line with the model: geometry, visibility,
    // enabled state, caption or text, caret, font and colours.
    void Update(const Control_Model& model);
    // WM_DRAWITEM of a button.
    void Paint_Button(const DRAWITEMSTRUCT& item, const Control_Model& model, bool focused) const;
    // WM_CTLCOLOREDIT / WM_CTLCOLORSTATIC of a text box: the brush to return.
    HBRUSH Edit_Colours(HDC dc, const Control_Model& model);
    // The control's own window procedure.
    LRESULT Call_Original(UINT message, WPARAM wparam, LPARAM lparam);

  private:
    static LRESULT CALLBACK Subclass_Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    Win32_Form& form_;
    const Win32_Fonts& fonts_;
    HWND window_;
    int id_;
    Control_Kind kind_;
    WNDPROC original_ = nullptr;
    int x_px_ = -1, y_px_ = -1, w_px_ = -1, h_px_ = -1;
    std::string caption_;
    HFONT font_ = nullptr;
    Color back_ = 0, fore_ = 0;
    HBRUSH brush_ = nullptr;
    Color brush_colour_ = 0;
};

}  // namespace nrvnc
