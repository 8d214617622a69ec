#include "platform/win32/controls.h"

#include <imm.h>

#include <algorithm>

#include "platform/win32/painting.h"
#include "platform/win32/window.h"

namespace nrvnc {

namespace {

constexpr char Property_Name[] = "NRVNC.Control";

// Two rings of edges: top and left in one colour, bottom and right in the other.
void Edge(HDC dc, int inset, int w, int h, Color top_left, Color bottom_right) {
    auto fill = [dc](int x, int y, int fw, int fh, Color c) {
        RECT r{x, y, x + fw, y + fh};
        SetBkColor(dc, c);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    };
    int r = w - 1 - inset, b = h - 1 - inset;
    fill(inset, inset, r - inset + 1, 1, top_left);
    fill(inset, inset, 1, b - inset + 1, top_left);
    fill(inset, b, r - inset + 1, 1, bottom_right);
    fill(r, inset, 1, b - inset + 1, bottom_right);
}

constexpr int Text_Box_Margin = 1;  // pixels between the sunken edge and the text

}  // namespace

Win32_Control::Win32_Control(Win32_Form& form, HWND parent, const Control_Model& model,
                             const Win32_Fonts& fonts)
    : form_(form), fonts_(fonts), id_(model.Id()), kind_(model.Kind()) {
    bool button = kind_ == Control_Kind::Command_Button;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (button ? BS_OWNERDRAW : ES_LEFT | ES_AUTOHSCROLL);
    window_ = CreateWindowExA(button ? 0 : WS_EX_CLIENTEDGE, button ? "BUTTON" : "EDIT", "", style,
                              0, 0, 1, 1, parent, reinterpret_cast<HMENU>(INT_PTR{model.Id()}),
                              GetModuleHandleA(nullptr), nullptr);
    // An input method would compose straight into the native field, past
    // the form's key handling: the field would show characters the program
    // never saw. Without a context only our own key handling types into it.
    if (!button) ImmAssociateContext(window_, nullptr);
    SetPropA(window_, Property_Name, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass_Proc)));
}

Win32_Control::~Win32_Control() {
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    RemovePropA(window_, Property_Name);
    DestroyWindow(window_);
    if (brush_) DeleteObject(brush_);
}

Win32_Control* Win32_Control::From(HWND window) {
    return window ? static_cast<Win32_Control*>(GetPropA(window, Property_Name)) : nullptr;
}

LRESULT Win32_Control::Call_Original(UINT message, WPARAM wparam, LPARAM lparam) {
    return CallWindowProcA(original_, window_, message, wparam, lparam);
}

LRESULT CALLBACK Win32_Control::Subclass_Proc(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
    Win32_Control* control = From(window);
    if (!control) return DefWindowProcA(window, message, wparam, lparam);
    return control->form_.Control_Message(*control, message, wparam, lparam);
}

void Win32_Control::Update(const Control_Model& model) {
    const double tx = fonts_.Twips_Per_Pixel_X(), ty = fonts_.Twips_Per_Pixel_Y();
    int x = Twips_To_Px(model.Left(), tx), y = Twips_To_Px(model.Top(), ty);
    int w = std::max(1, Twips_To_Px(model.Width(), tx));
    int h = std::max(1, Twips_To_Px(model.Height(), ty));
    if (x != x_px_ || y != y_px_ || w != w_px_ || h != h_px_) {
        SetWindowPos(window_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        x_px_ = x, y_px_ = y, w_px_ = w, h_px_ = h;
    }
    bool repaint = kind_ == Control_Kind::Command_Button;
    if (kind_ == Control_Kind::Command_Button) {
        // The caption as the window's text, so that tools that drive the
        // desktop (and accessibility tools) can find the button.
        if (model.Caption() != caption_) {
            caption_ = model.Caption();
            SetWindowTextA(window_, caption_.c_str());
        }
    } else {
        HFONT font = fonts_.Open(model.Font());
        if (font != font_) {
            font_ = font;
            SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            SendMessageA(window_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                         MAKELPARAM(Text_Box_Margin, Text_Box_Margin));
            repaint = true;
        }
        std::string shown(static_cast<std::size_t>(GetWindowTextLengthA(window_)) + 1, '\0');
        shown.resize(static_cast<std::size_t>(
            GetWindowTextA(window_, shown.data(), static_cast<int>(shown.size()))));
        if (model.Text() != shown) SetWindowTextA(window_, model.Text().c_str());
        DWORD start = 0, end = 0;
        SendMessageA(window_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        if (start != static_cast<DWORD>(model.Sel_Start()) || end != start) {
            SendMessageA(window_, EM_SETSEL, static_cast<WPARAM>(model.Sel_Start()),
                         static_cast<LPARAM>(model.Sel_Start()));
            SendMessageA(window_, EM_SCROLLCARET, 0, 0);
        }
        if (model.Back_Color() != back_ || model.Fore_Color() != fore_) repaint = true;
    }
    back_ = model.Back_Color(), fore_ = model.Fore_Color();
    if ((IsWindowEnabled(window_) != FALSE) != model.Enabled()) {
        EnableWindow(window_, model.Enabled());
        repaint = true;
    }
    bool shown = (GetWindowLongA(window_, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != model.Visible()) ShowWindow(window_, model.Visible() ? SW_SHOWNA : SW_HIDE);
    // A button paints every pixel itself; an edit control erases with the
    // brush of its colours.
    if (repaint) InvalidateRect(window_, nullptr, kind_ == Control_Kind::Text_Box);
}

void Win32_Control::Paint_Button(const DRAWITEMSTRUCT& item, const Control_Model& model,
                                 bool focused) const {
    HDC dc = item.hDC;
    const RECT& rc = item.rcItem;
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    bool pressed = (item.itemState & ODS_SELECTED) != 0;
    RECT face = rc;
    SetBkColor(dc, model.Back_Color());
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &face, nullptr, 0, nullptr);
    if (pressed) {
        Edge(dc, 0, w, h, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DDKSHADOW));
        Edge(dc, 1, w, h, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW));
    } else {
        Edge(dc, 0, w, h, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_3DDKSHADOW));
        Edge(dc, 1, w, h, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_BTNSHADOW));
    }
    // DrawText underlines the letter after "&" and shows "&&" as "&".
    HGDIOBJ old = SelectObject(dc, fonts_.Open(model.Font()));
    SetBkMode(dc, TRANSPARENT);
    RECT text = rc;
    if (pressed) OffsetRect(&text, 1, 1);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (model.Enabled()) {
        SetTextColor(dc, model.Fore_Color());
        DrawTextA(dc, model.Caption().c_str(), -1, &text, format);
    } else {
        RECT raised = text;
        OffsetRect(&raised, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, model.Caption().c_str(), -1, &raised, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(dc, model.Caption().c_str(), -1, &text, format);
    }
    SelectObject(dc, old);
    // The focus mark follows the model's focus, not the system's.
    if (focused && model.Enabled()) {
        RECT mark{rc.left + 3, rc.top + 3, rc.right - 3, rc.bottom - 3};
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        DrawFocusRect(dc, &mark);
    }
}

HBRUSH Win32_Control::Edit_Colours(HDC dc, const Control_Model& model) {
    Color back = model.Back_Color();
    if (!brush_ || brush_colour_ != back) {
        if (brush_) DeleteObject(brush_);
        brush_ = CreateSolidBrush(back);
        brush_colour_ = back;
    }
    SetBkColor(dc, back);
    SetTextColor(dc, model.Enabled() ? model.Fore_Color() : GetSysColor(COLOR_GRAYTEXT));
    return brush_;
}

}  // namespace nrvnc
