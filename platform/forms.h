// The forms runtime: a tiny forms toolkit with the semantics the two
// dialogs are written against.
//
// Units: every position and size is in twips (1/1440 inch); pixel amounts
// are converted by the caller with the screen's twips per pixel. The scale
// of a form is its client area: Scale_Left and Scale_Top are 0, Scale_Width
// and Scale_Height are the client size in twips.
//
// Events: handlers of a form (Form_Events) run only inside Do_Events, inside
// Message_Box, or synchronously inside the call that causes them where the
// toolkit does so: Set_Focus fires Lost_Focus of the control that had the
// focus and then Got_Focus of the new one before it returns.
//
// Keys: the form sees every key first when its design has Key_Preview.
// Form_KeyDown may set the key code to 0: the focused control then does not
// act on the key (no caret move, no focus move, no button press). A
// character key then raises Form_KeyPress, which may set the character to 0
// so that it does not reach the text box. Alt with a button's access letter
// (the letter after "&" in its caption) is handled before the form sees the
// key: it moves the focus to that button and clicks it; when several shown
// buttons share the letter, the focus moves to the next of them and nothing
// is clicked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nrvnc {

// 24-bit colour with blue in the high byte: 0x00BBGGRR.
using Color = uint32_t;
constexpr Color Rgb(int red, int green, int blue) {
    return static_cast<Color>(red) | static_cast<Color>(green) << 8 |
           static_cast<Color>(blue) << 16;
}

enum class Window_State { Normal = 0, Minimized = 1, Maximized = 2 };
enum class Mouse_Pointer { Default = 0, Hourglass = 11 };
enum class Border_Style { None = 0, Fixed_Single = 1, Sizable = 2 };
enum class Control_Kind { Command_Button, Text_Box };

// Shift state of a key: bit 0 Shift, bit 1 Ctrl, bit 2 Alt.
namespace Shift_Mask {
constexpr int Shift = 1;
constexpr int Ctrl = 2;
constexpr int Alt = 4;
}  // namespace Shift_Mask

// Virtual-key codes as the key handlers expect them.
namespace Key {
constexpr int Back = 8, Tab = 9, Return = 13, Escape = 27, Space = 32, End = 35, Home = 36,
              Left = 37, Up = 38, Right = 39, Down = 40, Delete = 46, Digit_0 = 48, Letter_A = 65,
              Numpad_0 = 96, Decimal = 110, F2 = 113, Period = 190;
}

struct Font_Spec {
    std::string Name;
    float Size = 8.25f;
    bool Bold = false;
};

struct Control_Design {
    int Id = 0;  // the form's own number for the control; events carry it
    Control_Kind Kind = Control_Kind::Command_Button;
    std::string Caption;  // buttons: "&" marks the access letter
    std::string Text;     // text boxes
    int Tab_Index = 0;
    bool Visible = true;
    bool Enabled = true;
    Color Back_Color = 0xFFFFFF;
    Color Fore_Color = 0;
    double Left = 0, Top = 0, Width = 1200, Height = 405;
    Font_Spec Font;
};

struct Form_Design {
    std::string Caption;
    Border_Style Border = Border_Style::Fixed_Single;
    bool Control_Box = false;  // no system menu, close, minimise or maximise button
    bool Enabled = true;
    bool Key_Preview = false;
    bool Show_In_Taskbar = true;
    Color Back_Color = 0;
    Color Fore_Color = 0;
    Font_Spec Font;
    double Left = 0, Top = 0, Width = 4800, Height = 3600;
    std::vector<Control_Design> Controls;
};

// Handlers the core gives a form. Default: do nothing.
class Form_Events {
public:
    virtual ~Form_Events() = default;
    virtual void Form_Activate() {}
    virtual void Form_KeyDown(int16_t& key_code, int16_t shift) { (void)key_code, (void)shift; }
    virtual void Form_KeyPress(int16_t& key_ascii) { (void)key_ascii; }
    virtual void Control_Click(int id) { (void)id; }
    virtual void Control_GotFocus(int id) { (void)id; }
    virtual void Control_LostFocus(int id) { (void)id; }
};

class Control {
public:
    virtual ~Control() = default;
    virtual int Id() const = 0;
    virtual Control_Kind Kind() const = 0;

    virtual double Left() const = 0;
    virtual double Top() const = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual void Set_Left(double) = 0;
    virtual void Set_Top(double) = 0;
    virtual void Set_Width(double) = 0;
    virtual void Set_Height(double) = 0;

    virtual bool Visible() const = 0;
    virtual void Set_Visible(bool) = 0;
    virtual bool Enabled() const = 0;
    virtual void Set_Enabled(bool) = 0;
    // Raises Runtime_Error 5 when the form is hidden or the control is
    // hidden or disabled.
    virtual void Set_Focus() = 0;

    virtual Color Back_Color() const = 0;
    virtual void Set_Back_Color(Color) = 0;
    virtual Color Fore_Color() const = 0;
    virtual void Set_Fore_Color(Color) = 0;

    virtual std::string Font_Name() const = 0;
    virtual void Set_Font_Name(const std::string&) = 0;
    // The size set is read back as the nearest size the screen renders.
    virtual float Font_Size() const = 0;
    virtual void Set_Font_Size(float) = 0;
    virtual bool Font_Bold() const = 0;
    virtual void Set_Font_Bold(bool) = 0;

    // Buttons.
    virtual std::string Caption() const = 0;
    virtual void Set_Caption(const std::string&) = 0;
    // Text boxes.
    virtual std::string Text() const = 0;
    virtual void Set_Text(const std::string&) = 0;
    virtual int Sel_Start() const = 0;
    virtual void Set_Sel_Start(int) = 0;
};

class Form {
public:
    virtual ~Form() = default;

    virtual std::string Caption() const = 0;
    virtual void Set_Caption(const std::string&) = 0;

    // Outer rectangle, frame and title bar included.
    virtual double Left() const = 0;
    virtual double Top() const = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual void Set_Left(double) = 0;
    virtual void Set_Top(double) = 0;
    virtual void Set_Width(double) = 0;
    virtual void Set_Height(double) = 0;
    // Client area.
    virtual double Scale_Left() const = 0;
    virtual double Scale_Top() const = 0;
    virtual double Scale_Width() const = 0;
    virtual double Scale_Height() const = 0;

    virtual Window_State State() const = 0;
    virtual void Set_State(Window_State) = 0;
    virtual void Bring_To_Top() = 0;  // top of the z-order
    virtual Mouse_Pointer Pointer() const = 0;
    virtual void Set_Pointer(Mouse_Pointer) = 0;
    virtual bool Enabled() const = 0;
    virtual void Set_Enabled(bool) = 0;
    virtual bool Visible() const = 0;
    virtual void Show() = 0;  // not modal: returns at once
    virtual void Hide() = 0;

    // Drawing. Everything drawn is kept and survives the window being
    // covered, shown after painting, or repainted.
    virtual Color Back_Color() const = 0;
    virtual void Set_Back_Color(Color) = 0;  // also clears the drawing
    virtual Color Fore_Color() const = 0;
    virtual void Set_Fore_Color(Color) = 0;
    virtual std::string Font_Name() const = 0;
    virtual void Set_Font_Name(const std::string&) = 0;
    virtual float Font_Size() const = 0;
    virtual void Set_Font_Size(float) = 0;
    virtual bool Font_Bold() const = 0;
    virtual void Set_Font_Bold(bool) = 0;
    virtual int Draw_Width() const = 0;  // pixels
    virtual void Set_Draw_Width(int) = 0;
    virtual int Fill_Style() const = 0;  // 0 solid, 1 transparent
    virtual void Set_Fill_Style(int) = 0;

    virtual void Cls() = 0;  // clears the drawing; print position to 0, 0
    // An outlined box (corners inclusive) in the current line width, or a
    // filled one.
    virtual void Box(double x1, double y1, double x2, double y2, Color color, bool filled) = 0;
    virtual void Line(double x1, double y1, double x2, double y2, Color color) = 0;
    virtual double Current_X() const = 0;
    virtual double Current_Y() const = 0;
    virtual void Set_Current_X(double) = 0;
    virtual void Set_Current_Y(double) = 0;
    // Prints at the print position in the text colour, then moves the
    // position one text line down and back to the left edge (Scale_Left).
    virtual void Print(const std::string& text) = 0;
    virtual double Text_Width(const std::string& text) const = 0;
    virtual double Text_Height(const std::string& text) const = 0;

    virtual Control& Item(int id) = 0;
};

class Forms_Runtime {
public:
    virtual ~Forms_Runtime() = default;

    // Creates the window of a form from its design, hidden. The form lives
    // until the returned object is destroyed (unloading). The events object
    // must outlive the form.
    virtual std::unique_ptr<Form> Load_Form(const Form_Design& design, Form_Events& events) = 0;

    // Lets pending window events run. May wait a few milliseconds for the
    // next event, never longer.
    virtual void Do_Events() = 0;

    // The system message box: the text, an OK button and the title; modal.
    virtual void Message_Box(const std::string& text, const std::string& title) = 0;
    // The program's own title, used for message boxes without one.
    virtual std::string App_Title() const = 0;

    virtual double Screen_Width() const = 0;  // twips
    virtual double Screen_Height() const = 0;
    virtual double Twips_Per_Pixel_X() const = 0;
    virtual double Twips_Per_Pixel_Y() const = 0;
    virtual int Font_Count() const = 0;
    virtual std::string Font(int index) const = 0;

    // System colours by index: 8 window text, 14 highlighted text,
    // 15 button face, 16 button shadow.
    virtual Color System_Color(int index) const = 0;
};

}  // namespace nrvnc
