#include "platform/win32/window.h"

#include <algorithm>
#include <exception>

#include "platform/win32/forms.h"
#include "platform/win32/keys.h"

namespace nrvnc {

namespace {

LRESULT CALLBACK Form_Window_Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Win32_Form*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!form || !form->Handle()) return DefWindowProcA(window, message, wparam, lparam);
    return form->Form_Message(message, wparam, lparam);
}

int Low_Word_X(LPARAM lparam) {
    return static_cast<short>(LOWORD(lparam));
}
int High_Word_Y(LPARAM lparam) {
    return static_cast<short>(HIWORD(lparam));
}

}  // namespace

void Win32_Form::Register_Class(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Form_Window_Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = LoadIconA(instance, reinterpret_cast<LPCSTR>(1));  // the program's icon, if any
    if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.lpszClassName = Class_Name;
    RegisterClassExA(&wc);
}

DWORD Win32_Form::Style_For(const Form_Design& design) {
    DWORD style = WS_CLIPCHILDREN;
    switch (design.Border) {
        case Border_Style::None:
            return style | WS_POPUP;
        case Border_Style::Fixed_Single:
            style |= WS_CAPTION;
            break;
        case Border_Style::Sizable:
            style |= WS_CAPTION | WS_THICKFRAME;
            break;
    }
    if (design.Control_Box) style |= WS_SYSMENU | WS_MINIMIZEBOX;
    return style;
}

Frame_Insets Win32_Form::Insets_For(const Form_Design& design, const Win32_Fonts& fonts) {
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, Style_For(design), FALSE, 0);
    Frame_Insets f;
    f.Left = -r.left * fonts.Twips_Per_Pixel_X();
    f.Right = r.right * fonts.Twips_Per_Pixel_X();
    f.Top = -r.top * fonts.Twips_Per_Pixel_Y();
    f.Bottom = r.bottom * fonts.Twips_Per_Pixel_Y();
    return f;
}

Win32_Form::Win32_Form(Win32_Forms_Runtime& runtime, const Form_Design& design, Form_Events& events)
    : Form_Model(design, events, runtime.Fonts(), Insets_For(design, runtime.Fonts())),
      runtime_(runtime),
      fonts_(runtime.Fonts()) {
    Geometry g = Client_Geometry();
    HWND owner = design.Show_In_Taskbar ? nullptr : runtime_.Owner_Window();
    HWND window = CreateWindowExA(0, Class_Name, Caption().c_str(), Style_For(design), g.X, g.Y,
                                  g.W, g.H, owner, nullptr, GetModuleHandleA(nullptr), this);
    if (!window) throw std::runtime_error("CreateWindowExA failed");
    window_ = window;
    applied_geometry_ = g, geometry_applied_ = true;
    applied_caption_ = Caption(), caption_applied_ = true;
    for (Control_Model* c : Controls_In_Tab_Order()) {
        auto control = std::make_unique<Win32_Control>(*this, window_, *c, fonts_);
        control->Update(*c);
        controls_[c->Id()] = std::move(control);
    }
    runtime_.Add(this);
    Paint_Canvas(true);
    Apply_Window();
}

Win32_Form::~Win32_Form() {
    runtime_.Remove(this);
    controls_.clear();
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

HWND Win32_Form::Control_Handle(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second->Handle();
}

// The outer rectangle in pixels: the client size comes from the scale, and
// the frame the system draws goes around it.
Win32_Form::Geometry Win32_Form::Client_Geometry() const {
    const double tx = fonts_.Twips_Per_Pixel_X(), ty = fonts_.Twips_Per_Pixel_Y();
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, Style_For(Design()), FALSE, 0);
    Geometry g;
    g.X = Twips_To_Px(Left(), tx);
    g.Y = Twips_To_Px(Top(), ty);
    g.W = std::max(1, Twips_To_Px(Scale_Width(), tx)) + frame.right - frame.left;
    g.H = std::max(1, Twips_To_Px(Scale_Height(), ty)) + frame.bottom - frame.top;
    return g;
}

template <typename Action>
void Win32_Form::Guarded(Action action) {
    try {
        action();
    } catch (...) {
        runtime_.Keep_Error(std::current_exception());
    }
}

void Win32_Form::Apply_Window() {
    if (!window_) return;
    if (!caption_applied_ || applied_caption_ != Caption()) {
        SetWindowTextA(window_, Caption().c_str());
        applied_caption_ = Caption(), caption_applied_ = true;
    }
    if ((IsWindowEnabled(window_) != FALSE) != Enabled()) EnableWindow(window_, Enabled());
    Apply_Pointer();
    Apply_Geometry();  // before showing, so the window appears where it belongs

    bool shown = IsWindowVisible(window_) != FALSE;
    if (!Visible()) {
        if (shown) ShowWindow(window_, SW_HIDE);
    } else if (!shown) {
        focus_owed_ = State() != Window_State::Minimized;
        ShowWindow(window_, State() == Window_State::Minimized   ? SW_SHOWMINNOACTIVE
                            : State() == Window_State::Maximized ? SW_SHOWMAXIMIZED
                                                                 : SW_SHOW);
    } else if (State() == Window_State::Minimized) {
        if (!IsIconic(window_)) ShowWindow(window_, SW_MINIMIZE);
    } else if (State() == Window_State::Maximized) {
        if (!IsZoomed(window_)) ShowWindow(window_, SW_MAXIMIZE);
    } else if (IsIconic(window_) || IsZoomed(window_)) {
        if (IsIconic(window_)) focus_owed_ = true;
        ShowWindow(window_, SW_RESTORE);
    }

    // A minimised window keeps the place it is restored to; it moves once
    // it is back.
    Apply_Geometry();
}

void Win32_Form::Apply_Geometry() {
    Geometry g = Client_Geometry();
    if (g == applied_geometry_ || IsIconic(window_)) return;
    bool resized = g.W != applied_geometry_.W || g.H != applied_geometry_.H;
    SetWindowPos(window_, nullptr, g.X, g.Y, g.W, g.H, SWP_NOZORDER | SWP_NOACTIVATE);
    applied_geometry_ = g;
    if (resized) Paint_Canvas(true);
}

bool Win32_Form::Pointer_Over(HWND window) const {
    POINT p{};
    if (!GetCursorPos(&p)) return false;
    HWND under = WindowFromPoint(p);
    return under && (under == window || IsChild(window, under));
}

void Win32_Form::Apply_Pointer() {
    if (Pointer() == applied_pointer_) return;
    applied_pointer_ = Pointer();
    // The system asks for the cursor again only when the mouse moves.
    if (Pointer_Over(window_))
        SetCursor(LoadCursorA(
            nullptr, reinterpret_cast<LPCSTR>(Pointer() == Mouse_Pointer::Hourglass ? IDC_WAIT
                                                                                    : IDC_ARROW)));
}

void Win32_Form::Paint_Canvas(bool from_start) {
    RECT client{};
    GetClientRect(window_, &client);
    int w = std::max(1, static_cast<int>(client.right)),
        h = std::max(1, static_cast<int>(client.bottom));
    if (!canvas_ || canvas_->Width() != w || canvas_->Height() != h) {
        canvas_ = std::make_unique<Canvas>(w, h);
        from_start = true;
    }
    if (Drawing().size() < painted_) from_start = true;
    Paint_Display_List(*canvas_, Drawing(), from_start ? 0 : painted_, Back_Color(), fonts_);
    painted_ = Drawing().size();
    InvalidateRect(window_, nullptr, FALSE);
}

void Win32_Form::Drawing_Changed() {
    if (window_) Paint_Canvas(false);
}

void Win32_Form::Control_Changed(Control_Model& c) {
    auto it = controls_.find(c.Id());
    if (it == controls_.end()) return;
    it->second->Update(c);
    // A control that can no longer have the focus gives the keys back to
    // the form.
    if (!c.Can_Take_Focus() && GetFocus() == it->second->Handle()) SetFocus(window_);
}

void Win32_Form::Give_Native_Focus() {
    if (!IsWindowVisible(window_)) return;
    HWND target = window_;
    if (Control_Model* c = Find_Control(Focused_Id()); c && c->Can_Take_Focus())
        target = Control_Handle(c->Id());
    if (target && GetFocus() != target) SetFocus(target);
}

void Win32_Form::Focus_Changed() {
    for (int id : {shown_focus_, Focused_Id()})
        if (HWND w = Control_Handle(id)) InvalidateRect(w, nullptr, FALSE);
    shown_focus_ = Focused_Id();
    Give_Native_Focus();
}

void Win32_Form::Raised() {
    if (!IsWindowVisible(window_) || State() == Window_State::Minimized) return;
    // Minimised by the operator or the system: bring it back, with the keys.
    if (IsIconic(window_)) {
        ShowWindow(window_, SW_RESTORE);
        focus_owed_ = true;
    }
    // Every pass of a dialog wait comes here: the form stays on top without
    // taking the keyboard from a program the operator has turned to. The
    // keys are asked for once, when the form has just been shown or
    // restored; the foreground lock refuses them to a program in the
    // background anyway, and flashes its taskbar button instead.
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (focus_owed_) {
        focus_owed_ = false;
        if (GetForegroundWindow() != window_) SetForegroundWindow(window_);
    }
}

bool Win32_Form::Accepts_Input() const {
    return !runtime_.Modal();
}

void Win32_Form::Key_Message(HWND from, UINT message, WPARAM wparam, LPARAM lparam) {
    Key_Press press;
    if (!Read_Key_Press(from, message, wparam, lparam, press) || !Accepts_Input()) return;
    Guarded([&] { Deliver_Key(press.Key_Code, press.Shift, press.Character); });
}

void Win32_Form::Edit_Clicked(Win32_Control& control, LPARAM lparam) {
    POINT p{Low_Word_X(lparam), High_Word_Y(lparam)};
    RECT inside{};
    GetClientRect(control.Handle(), &inside);
    Control_Model* model = Find_Control(control.Id());
    // A release outside the control is the operator changing their mind.
    if (!model || !PtInRect(&inside, p) || !Accepts_Input() || !Visible() || !Enabled() ||
        !model->Can_Take_Focus())
        return;
    int position = LOWORD(SendMessageA(control.Handle(), EM_CHARFROMPOS, 0, lparam));
    int id = control.Id();
    Guarded([&] {
        model->Set_Sel_Start(position);
        Deliver_Click(id);
    });
}

LRESULT Win32_Form::Control_Message(Win32_Control& control, UINT message, WPARAM wparam,
                                    LPARAM lparam) {
    const bool text_box = control.Kind() == Control_Kind::Text_Box;
    if (Is_Key_Message(message)) {
        Key_Message(control.Handle(), message, wparam, lparam);
        return 0;
    }
    switch (message) {
        case WM_SETCURSOR:
            if (Pointer() == Mouse_Pointer::Hourglass) {
                SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
                return TRUE;
            }
            break;
        case WM_LBUTTONDBLCLK:
            // Every click is a click: a quick second one too.
            return control.Call_Original(WM_LBUTTONDOWN, wparam, lparam);
        case WM_LBUTTONUP:
            if (text_box) {
                LRESULT result = control.Call_Original(message, wparam, lparam);
                Edit_Clicked(control, lparam);
                return result;
            }
            break;
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
        case WM_CONTEXTMENU:
            // The text changes only through the model, key by key.
            if (text_box) return 0;
            break;
        default:
            break;
    }
    return control.Call_Original(message, wparam, lparam);
}

LRESULT Win32_Form::Form_Message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (Is_Key_Message(message)) {
        Key_Message(window_, message, wparam, lparam);
        return 0;
    }
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps{};
            HDC dc = BeginPaint(window_, &ps);
            if (canvas_)
                BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                       ps.rcPaint.bottom - ps.rcPaint.top, canvas_->Dc(), ps.rcPaint.left,
                       ps.rcPaint.top, SRCCOPY);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
            Win32_Control* c = Win32_Control::From(item->hwndItem);
            Control_Model* model = c ? Find_Control(c->Id()) : nullptr;
            if (!model) break;
            c->Paint_Button(*item, *model, Focused_Id() == c->Id());
            return TRUE;
        }
        case WM_COMMAND: {
            Win32_Control* c = Win32_Control::From(reinterpret_cast<HWND>(lparam));
            if (c && c->Kind() == Control_Kind::Command_Button && HIWORD(wparam) == BN_CLICKED &&
                Accepts_Input()) {
                int id = c->Id();
                Guarded([&] { Deliver_Click(id); });
            }
            return 0;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            Win32_Control* c = Win32_Control::From(reinterpret_cast<HWND>(lparam));
            Control_Model* model = c ? Find_Control(c->Id()) : nullptr;
            if (!model) break;
            return reinterpret_cast<LRESULT>(
                c->Edit_Colours(reinterpret_cast<HDC>(wparam), *model));
        }
        case WM_SETCURSOR:
            if (Pointer() == Mouse_Pointer::Hourglass) {
                SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            // Focus already on one of our controls was put there by the
            // operator's click (the window manager may report the
            // activation after the button went down); moving it would
            // cancel the click.
            if (LOWORD(wparam) != WA_INACTIVE) {
                HWND focus = GetFocus();
                if (!focus || !IsChild(window_, focus)) Give_Native_Focus();
            }
            return 0;
        case WM_SETFOCUS:
            Give_Native_Focus();
            return 0;
        case WM_CLOSE:
            return 0;  // the dialogs close only by their own buttons
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_CLOSE || (wparam & 0xFFF0) == SC_KEYMENU) return 0;
            break;
        default:
            break;
    }
    return DefWindowProcA(window_, message, wparam, lparam);
}

}  // namespace nrvnc
