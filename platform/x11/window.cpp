#include "platform/x11/window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <unistd.h>

#include <algorithm>

#include "platform/x11/encoding.h"
#include "platform/x11/forms.h"
#include "platform/x11/keys.h"

namespace nrvnc {

namespace {

// _MOTIF_WM_HINTS, the one way to ask most window managers for a frame
// without a close button.
struct Motif_Hints {
    unsigned long Flags, Functions, Decorations;
    long Input_Mode;
    unsigned long State_Flags;
};
constexpr unsigned long Motif_Functions = 1, Motif_Decorations = 2;
constexpr unsigned long Func_Move = 4, Func_Minimize = 8, Func_Close = 32;
constexpr unsigned long Decor_Border = 2, Decor_Title = 8, Decor_Menu = 16, Decor_Minimize = 32;

constexpr long Wm_State_Iconic = 3;

}  // namespace

Frame_Insets X11_Form::Insets_For(const Form_Design& design, double tpp) {
    Frame_Insets f;
    if (static_cast<int>(design.Border) == Borderless) return f;
    constexpr int Border_Px = 3, Top_Px = 23;
    f.Left = f.Right = f.Bottom = Border_Px * tpp;
    f.Top = Top_Px * tpp;
    return f;
}

X11_Form::X11_Form(X11_Forms_Runtime& runtime, const Form_Design& design, Form_Events& events)
    : Form_Model(design, events, runtime.Fonts(),
                 Insets_For(design, runtime.Display_Connection().Twips_Per_Pixel())),
      runtime_(runtime),
      x_(runtime.Display_Connection()),
      insets_(Insets_For(design, x_.Twips_Per_Pixel())) {
    Display* dpy = x_.Dpy();
    Geometry g = Client_Geometry();
    XSetWindowAttributes attributes{};
    attributes.event_mask = KeyPressMask | StructureNotifyMask | PropertyChangeMask;
    attributes.background_pixel = x_.Pixel(Back_Color());
    window_ = XCreateWindow(dpy, x_.Root(), g.X, g.Y, static_cast<unsigned>(g.W),
                            static_cast<unsigned>(g.H), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWEventMask | CWBackPixel, &attributes);
    applied_geometry_ = g;

    XClassHint class_hint{const_cast<char*>("nrvnc"), const_cast<char*>("NRVNC")};
    XSetClassHint(dpy, window_, &class_hint);
    Atom delete_window = x_.Intern("WM_DELETE_WINDOW");
    XSetWMProtocols(dpy, window_, &delete_window, 1);
    long pid = static_cast<long>(getpid());
    XChangeProperty(dpy, window_, x_.Intern("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    Atom normal = x_.Intern("_NET_WM_WINDOW_TYPE_NORMAL");
    XChangeProperty(dpy, window_, x_.Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&normal), 1);
    if (!design.Show_In_Taskbar) {
        Atom skip = x_.Intern("_NET_WM_STATE_SKIP_TASKBAR");
        XChangeProperty(dpy, window_, x_.Intern("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&skip), 1);
    }
    Apply_Decorations();
    Apply_Size_Hints(g);
    Set_Initial_State(false);

    for (Control_Model* c : Controls_In_Tab_Order()) {
        controls_[c->Id()] = std::make_unique<X11_Control>(x_, runtime_.Fonts(), window_, *c);
        dirty_controls_.insert(c->Id());
    }
    runtime_.Add(this);
    Flush();
}

X11_Form::~X11_Form() {
    runtime_.Remove(this);
    controls_.clear();
    canvas_.reset();
    if (busy_cursor_) XFreeCursor(x_.Dpy(), busy_cursor_);
    XDestroyWindow(x_.Dpy(), window_);
    XFlush(x_.Dpy());
}

bool X11_Form::Owns(Window w) const {
    if (w == window_) return true;
    for (const auto& [id, c] : controls_)
        if (c->Handle() == w) return true;
    return false;
}

X11_Form::Geometry X11_Form::Client_Geometry() const {
    double tpp = x_.Twips_Per_Pixel();
    Geometry g;
    g.X = Twips_To_Px(Left() + insets_.Left, tpp);
    g.Y = Twips_To_Px(Top() + insets_.Top, tpp);
    g.W = std::max(1, Twips_To_Px(Scale_Width(), tpp));
    g.H = std::max(1, Twips_To_Px(Scale_Height(), tpp));
    return g;
}

void X11_Form::Apply_Decorations() {
    Motif_Hints hints{};
    hints.Flags = Motif_Functions | Motif_Decorations;
    hints.Functions = Func_Move;
    if (static_cast<int>(Design().Border) == Borderless) {
        hints.Decorations = 0;
    } else if (Design().Control_Box) {
        hints.Functions |= Func_Minimize | Func_Close;
        hints.Decorations = Decor_Border | Decor_Title | Decor_Menu | Decor_Minimize;
    } else {
        hints.Decorations = Decor_Border | Decor_Title;
    }
    Atom motif = x_.Intern("_MOTIF_WM_HINTS");
    XChangeProperty(x_.Dpy(), window_, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&hints), 5);
}

void X11_Form::Apply_Size_Hints(const Geometry& g) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    // A fixed size, and a position that is the client's own: the frame goes
    // around it, where the form's outer rectangle says.
    hints->flags = USPosition | PPosition | PMinSize | PMaxSize | PWinGravity;
    hints->x = g.X, hints->y = g.Y;
    hints->min_width = hints->max_width = g.W;
    hints->min_height = hints->max_height = g.H;
    hints->win_gravity = StaticGravity;
    XSetWMNormalHints(x_.Dpy(), window_, hints);
    XFree(hints);
}

void X11_Form::Set_Initial_State(bool iconic) {
    XWMHints* hints = XAllocWMHints();
    if (!hints) return;
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = iconic ? IconicState : NormalState;
    XSetWMHints(x_.Dpy(), window_, hints);
    XFree(hints);
}

void X11_Form::Apply_Caption() {
    Display* dpy = x_.Dpy();
    const std::string caption = Caption();
    std::string utf8 = To_Utf8(caption);
    bool plain = Is_Valid_Utf8(caption) &&
                 std::none_of(caption.begin(), caption.end(), [](char c) { return c & 0x80; });
    // WM_NAME as Latin-1 where the text is Latin-1 (or ASCII), else UTF-8.
    Atom type = (plain || !Is_Valid_Utf8(caption)) ? XA_STRING : x_.Intern("UTF8_STRING");
    const std::string& legacy = type == XA_STRING ? caption : utf8;
    for (Atom name : {XA_WM_NAME, XA_WM_ICON_NAME})
        XChangeProperty(dpy, window_, name, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(legacy.data()),
                        static_cast<int>(legacy.size()));
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
        XChangeProperty(dpy, window_, x_.Intern(name), x_.Intern("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()),
                        static_cast<int>(utf8.size()));
    applied_caption_ = caption;
    caption_applied_ = true;
}

void X11_Form::Apply_Window() {
    Display* dpy = x_.Dpy();
    if (!caption_applied_ || applied_caption_ != Caption()) Apply_Caption();

    Geometry g = Client_Geometry();
    if (!(g == applied_geometry_)) {
        Apply_Size_Hints(g);
        XMoveResizeWindow(dpy, window_, g.X, g.Y, static_cast<unsigned>(g.W),
                          static_cast<unsigned>(g.H));
        if (g.W != applied_geometry_.W || g.H != applied_geometry_.H) {
            canvas_.reset();
            drawing_dirty_ = true;
        }
        applied_geometry_ = g;
    }

    if (Pointer() != applied_pointer_) {
        if (Pointer() == Mouse_Pointer::Hourglass) {
            if (!busy_cursor_) busy_cursor_ = XCreateFontCursor(dpy, XC_watch);
            XDefineCursor(dpy, window_, busy_cursor_);
        } else {
            XUndefineCursor(dpy, window_);
        }
        applied_pointer_ = Pointer();
    }

    bool want_iconic = Visible() && State() == Window_State::Minimized;
    bool has_wm = x_.Has_Window_Manager();
    if (!Visible()) {
        if (mapped_) XWithdrawWindow(dpy, window_, x_.Screen());
        mapped_ = iconified_ = false;
    } else if (!mapped_) {
        Set_Initial_State(want_iconic);
        // Without a window manager nobody keeps an icon: minimised means
        // not on screen.
        if (!(want_iconic && !has_wm)) XMapRaised(dpy, window_);
        mapped_ = true;
        iconified_ = want_iconic;
        focus_owed_ = !want_iconic;
    } else if (want_iconic != iconified_) {
        if (want_iconic) {
            if (has_wm)
                XIconifyWindow(dpy, window_, x_.Screen());
            else
                XUnmapWindow(dpy, window_);
        } else {
            // Mapping an iconic window is how a client restores it.
            Set_Initial_State(false);
            XMapRaised(dpy, window_);
            focus_owed_ = true;
        }
        iconified_ = want_iconic;
    }
    window_dirty_ = false;
}

void X11_Form::Paint_Drawing() {
    const Geometry& g = applied_geometry_;
    if (!canvas_) canvas_ = std::make_unique<Canvas>(x_, g.W, g.H);
    Paint_Display_List(*canvas_, Drawing(), Back_Color(), runtime_.Fonts(), x_.Twips_Per_Pixel());
    // Set again after every paint: the server may have kept a copy of the
    // pixmap it was given.
    XSetWindowBackgroundPixmap(x_.Dpy(), window_, canvas_->Target());
    XClearWindow(x_.Dpy(), window_);
    drawing_dirty_ = false;
}

void X11_Form::Update_Control(int id, bool paint) {
    auto it = controls_.find(id);
    Control_Model* model = Find_Control(id);
    if (it == controls_.end() || !model) return;
    it->second->Update(*model, Focused_Id() == id, paint);
}

void X11_Form::Flush() {
    if (window_dirty_) Apply_Window();
    // A form that is not on screen paints nothing: what it shows is painted,
    // as it is then, when it is shown. Forms built only to measure, and the
    // faces a dialog changes before it appears, cost no drawing and no font.
    if (drawing_dirty_ && mapped_) Paint_Drawing();
    if (shown_focus_ != Focused_Id()) {
        dirty_controls_.insert(shown_focus_);
        dirty_controls_.insert(Focused_Id());
        shown_focus_ = Focused_Id();
    }
    std::set<int> dirty;
    dirty.swap(dirty_controls_);
    if (mapped_) {
        dirty.merge(unpainted_controls_);
        unpainted_controls_.clear();
    }
    for (int id : dirty) {
        Update_Control(id, mapped_);
        if (!mapped_) unpainted_controls_.insert(id);
    }
}

void X11_Form::Focus_Changed() {
    // The old and the new focused control are repainted by Flush.
}

void X11_Form::Take_Focus() {
    if (!mapped_ || iconified_) return;
    if (x_.Has_Window_Manager()) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window_;
        e.xclient.message_type = x_.Intern("_NET_ACTIVE_WINDOW");
        e.xclient.format = 32;
        e.xclient.data.l[0] = 2;  // a request on the user's behalf
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(x_.Dpy(), x_.Root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &e);
    } else {
        XSetInputFocus(x_.Dpy(), window_, RevertToParent, CurrentTime);
    }
}

void X11_Form::Raised() {
    Flush();
    if (!mapped_ || iconified_) return;
    // Minimised by the operator through the window manager: bring it back,
    // with the keys.
    if (server_iconic_) {
        XMapRaised(x_.Dpy(), window_);
        focus_owed_ = true;
    }
    // Every pass of a dialog wait comes here: the form stays on top without
    // taking the keyboard from a program the operator has turned to. The
    // keys are asked for once, when the form has just been shown or
    // restored.
    XRaiseWindow(x_.Dpy(), window_);
    if (focus_owed_) {
        focus_owed_ = false;
        Take_Focus();
    }
    XFlush(x_.Dpy());
}

void X11_Form::Handle_Key(XKeyEvent& event) {
    Key_Press press = Translate_Key(event);
    if (press.Key_Code == 0 && press.Character == 0) return;
    Deliver_Key(press.Key_Code, press.Shift, press.Character);
}

void X11_Form::Handle_Button(XButtonEvent& event, bool press, bool accept_input) {
    if (event.button != Button1) return;
    int id = -1;
    for (const auto& [cid, c] : controls_)
        if (c->Handle() == event.window) id = cid;
    Control_Model* model = id >= 0 ? Find_Control(id) : nullptr;
    if (!model) return;
    X11_Control& control = *controls_[id];
    bool usable = Visible() && Enabled() && model->Can_Take_Focus();
    if (press) {
        if (!usable) return;
        pressed_control_ = id;
        if (model->Kind() == Control_Kind::Command_Button)
            control.Set_Pressed(*model, Focused_Id() == id, true);
        else
            model->Set_Sel_Start(control.Position_At(*model, event.x));
        return;
    }
    if (pressed_control_ != id) return;
    pressed_control_ = -1;
    if (model->Kind() == Control_Kind::Command_Button)
        control.Set_Pressed(*model, Focused_Id() == id, false);
    XWindowAttributes wa{};
    bool inside = XGetWindowAttributes(x_.Dpy(), event.window, &wa) && event.x >= 0 &&
                  event.y >= 0 && event.x < wa.width && event.y < wa.height;
    // A release outside the control is the operator changing their mind.
    if (inside && usable && accept_input) Deliver_Click(id);
}

void X11_Form::Handle_Event(XEvent& event, bool accept_input) {
    switch (event.type) {
        case KeyPress:
            if (accept_input) Handle_Key(event.xkey);
            break;
        case ButtonPress:
        case ButtonRelease:
            // A release always ends the pressed look; it clicks only when
            // the form takes input.
            if (accept_input || event.type == ButtonRelease)
                Handle_Button(event.xbutton, event.type == ButtonPress, accept_input);
            break;
        case MapNotify:
            if (event.xmap.window == window_) {
                server_iconic_ = false;
                if (!x_.Has_Window_Manager()) Take_Focus();
            }
            break;
        case PropertyNotify:
            if (event.xproperty.atom == x_.Intern("WM_STATE")) {
                Atom wm_state = x_.Intern("WM_STATE");
                auto state = Read_Long_Property(x_.Dpy(), window_, wm_state, wm_state);
                server_iconic_ = !state.empty() && static_cast<long>(state[0]) == Wm_State_Iconic;
            }
            break;
        case ClientMessage:
            if (event.xclient.message_type == x_.Intern("WM_PROTOCOLS") &&
                static_cast<Atom>(event.xclient.data.l[0]) == x_.Intern("WM_DELETE_WINDOW") &&
                On_Close_Request)
                On_Close_Request();
            break;
        default:
            break;
    }
}

}  // namespace nrvnc
