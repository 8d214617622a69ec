// A form of the X11 forms runtime: the portable form model mirrored in a
// top-level window. The model holds every value, the drawing and the focus;
// this class only shows them and feeds the window system's input back to
// the model (keys to Deliver_Key, clicks to Deliver_Click).
//
// Changes of the model are collected and pushed to the X server by Flush,
// which the runtime calls from Do_Events (Bring_To_Top pushes at once).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/form_model.h"
#include "platform/x11/controls.h"
#include "platform/x11/painting.h"
#include "platform/x11/xlib.h"

namespace nrvnc {

class X11_Forms_Runtime;

class X11_Form : public Form_Model {
  public:
    X11_Form(X11_Forms_Runtime& runtime, const Form_Design& design, Form_Events& events);
    ~X11_Form() override;

    // The frame the window system puts around a client area of this design,
    // chosen to match the frame of the dialogs' home platform: 3 pixels on
    // each side and a title bar that makes the top 23 pixels.
    static Frame_Insets Insets_For(const Form_Design& design, double twips_per_pixel);

    Window Handle() const { return window_; }
    bool Owns(Window w) const;
    // Handles an event of the form's windows. Input events are ignored
    // when accept_input is false (a modal box of the program is up).
    void Handle_Event(XEvent& event, bool accept_input);
    // Pushes the changes of the model to the X server.
    void Flush();

    // Called when the window manager asks to close the window; by default
    // the request is ignored (the dialogs close only by their own buttons).
    std::function<void()> On_Close_Request;

  protected:
    void Window_Changed() override { window_dirty_ = true; }
    void Drawing_Changed() override { drawing_dirty_ = true; }
    void Control_Changed(Control_Model& c) override { dirty_controls_.insert(c.Id()); }
    void Raised() override;
    void Focus_Changed() override;

  private:
    struct Geometry {
        int X = 0, Y = 0, W = 0, H = 0;
        bool operator==(const Geometry&) const = default;
    };
    Geometry Client_Geometry() const;
    void Apply_Window();
    void Apply_Caption();
    void Apply_Size_Hints(const Geometry& g);
    void Apply_Decorations();
    void Set_Initial_State(bool iconic);
    void Paint_Drawing();
    void Update_Control(int id, bool paint);
    void Take_Focus();
    void Handle_Key(XKeyEvent& event);
    void Handle_Button(XButtonEvent& event, bool press, bool accept_input);

    X11_Forms_Runtime& runtime_;
    X11_Display& x_;
    Frame_Insets insets_;
    Window window_ = 0;
    std::unique_ptr<Canvas> canvas_;
    std::map<int, std::unique_ptr<X11_Control>> controls_;

    bool window_dirty_ = true, drawing_dirty_ = true;
    std::set<int> dirty_controls_;
    std::set<int> unpainted_controls_;  // changed while the form was off screen
    int shown_focus_ = -1;

    // What the X server was last told.
    std::string applied_caption_;
    bool caption_applied_ = false;
    Geometry applied_geometry_;
    Mouse_Pointer applied_pointer_ = Mouse_Pointer::Default;
    bool mapped_ = false;         // we asked for the window to be on screen
    bool iconified_ = false;      // we asked for it to be minimised
    bool server_iconic_ = false;  // the window manager reports it minimised
    bool focus_owed_ = false;     // shown or restored since it last asked for the keys
    int pressed_control_ = -1;
    Cursor busy_cursor_ = 0;
};

}  // namespace nrvnc
