// The controls of a form as child windows of its client area: command
// buttons (face in their back colour, caption centred with the access
// letter underlined, a dotted mark when focused) and single-line text boxes
// (text, caret at the selection start when focused). Each paints into its
// own pixmap, which is the window's background.
#pragma once

#include <memory>

#include "platform/form_model.h"
#include "platform/x11/display.h"
#include "platform/x11/fonts.h"
#include "platform/x11/painting.h"
#include "platform/x11/xlib.h"

namespace nrvnc {

class X11_Control {
  public:
    X11_Control(X11_Display& display, const X11_Fonts& fonts, Window parent,
                const Control_Model& model);
    ~X11_Control();
    X11_Control(const X11_Control&) = delete;
    X11_Control& operator=(const X11_Control&) = delete;

    Window Handle() const { return window_; }
    int Id() const { return id_; }

    // Brings the window in line with the model (geometry, visibility) and,
    // when asked to and the control is visible, repaints it.
    void Update(const Control_Model& model, bool focused, bool paint = true);
    // The look of a button held down with the mouse.
    void Set_Pressed(const Control_Model& model, bool focused, bool pressed);
    // The character position in a text box nearest to x (pixels in the box).
    int Position_At(const Control_Model& model, int x) const;

  private:
    void Paint(const Control_Model& model, bool focused);
    void Paint_Button(const Control_Model& model, bool focused);
    void Paint_Text_Box(const Control_Model& model, bool focused);

    X11_Display& x_;
    const X11_Fonts& fonts_;
    Window window_;
    int id_;
    int x_px_ = 0, y_px_ = 0, w_px_ = 0, h_px_ = 0;
    bool mapped_ = false;
    bool pressed_ = false;
    int scroll_px_ = 0;  // text box: how far the text is scrolled to the left
    std::unique_ptr<Canvas> canvas_;
    std::string name_;
};

}  // namespace nrvnc
