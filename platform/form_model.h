// The portable part of a forms runtime: a form's state, its kept drawing
// (a display list), its controls, focus, and the dispatch of keys and clicks
// to the form's handlers. The fake desktop uses it as it is; the X11 backend
// derives from it and paints what it holds. Nothing here touches a window
// system.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms.h"

namespace nrvnc {

// How wide and high a text is, and which sizes the screen renders.
class Text_Metrics {
public:
    virtual ~Text_Metrics() = default;
    virtual double Text_Width(const Font_Spec& font, const std::string& text) const = 0;
    virtual double Text_Height(const Font_Spec& font, const std::string& text) const = 0;
    // The nearest size the screen renders for this font.
    virtual float Renderable_Size(const std::string& font_name, float size) const = 0;
};

// Size of the window frame around the client area, in twips.
struct Frame_Insets {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// One kept drawing operation, in twips of the client area.
struct Draw_Op {
    enum class Kind { Box, Filled_Box, Line, Text };
    Kind What = Kind::Box;
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    Color Colour = 0;
    int Line_Width = 1;  // pixels
    std::string Text;    // Kind::Text, drawn with its top left at (X1, Y1)
    Font_Spec Font;      // Kind::Text
};

// The access letter of a caption: the character after a single "&",
// upper-cased; 0 when there is none.
char Access_Letter(const std::string& caption);
// A caption as shown: "&x" becomes "x", "&&" becomes "&".
std::string Shown_Caption(const std::string& caption);

class Form_Model;

class Control_Model : public Control {
public:
    Control_Model(Form_Model& form, const Control_Design& design);

    int Id() const override { return design_.Id; }
    Control_Kind Kind() const override { return design_.Kind; }
    double Left() const override { return design_.Left; }
    double Top() const override { return design_.Top; }
    double Width() const override { return design_.Width; }
    double Height() const override { return design_.Height; }
    void Set_Left(double v) override;
    void Set_Top(double v) override;
    void Set_Width(double v) override;
    void Set_Height(double v) override;
    bool Visible() const override { return design_.Visible; }
    void Set_Visible(bool v) override;
    bool Enabled() const override { return design_.Enabled; }
    void Set_Enabled(bool v) override;
    void Set_Focus() override;
    Color Back_Color() const override { return design_.Back_Color; }
    void Set_Back_Color(Color c) override;
    Color Fore_Color() const override { return design_.Fore_Color; }
    void Set_Fore_Color(Color c) override;
    std::string Font_Name() const override { return design_.Font.Name; }
    void Set_Font_Name(const std::string& name) override;
    float Font_Size() const override { return design_.Font.Size; }
    void Set_Font_Size(float size) override;
    bool Font_Bold() const override { return design_.Font.Bold; }
    void Set_Font_Bold(bool bold) override;
    std::string Caption() const override { return design_.Caption; }
    void Set_Caption(const std::string& caption) override;
    std::string Text() const override { return design_.Text; }
    void Set_Text(const std::string& text) override;
    int Sel_Start() const override { return sel_start_; }
    void Set_Sel_Start(int position) override;

    int Tab_Index() const { return design_.Tab_Index; }
    const Font_Spec& Font() const { return design_.Font; }
    bool Can_Take_Focus() const { return design_.Visible && design_.Enabled; }

private:
    friend class Form_Model;
    void Changed();
    Form_Model& form_;
    Control_Design design_;
    int sel_start_ = 0;
};

class Form_Model : public Form {
public:
    Form_Model(const Form_Design& design, Form_Events& events, const Text_Metrics& metrics,
               Frame_Insets frame);
    ~Form_Model() override;

    // Form
    std::string Caption() const override { return caption_; }
    void Set_Caption(const std::string& caption) override;
    double Left() const override { return left_; }
    double Top() const override { return top_; }
    double Width() const override { return width_; }
    double Height() const override { return height_; }
    void Set_Left(double v) override;
    void Set_Top(double v) override;
    void Set_Width(double v) override;
    void Set_Height(double v) override;
    double Scale_Left() const override { return 0; }
    double Scale_Top() const override { return 0; }
    double Scale_Width() const override;
    double Scale_Height() const override;
    Window_State State() const override { return state_; }
    void Set_State(Window_State state) override;
    void Bring_To_Top() override;
    Mouse_Pointer Pointer() const override { return pointer_; }
    void Set_Pointer(Mouse_Pointer pointer) override;
    bool Enabled() const override { return enabled_; }
    void Set_Enabled(bool enabled) override;
    bool Visible() const override { return visible_; }
    void Show() override;
    void Hide() override;
    Color Back_Color() const override { return back_color_; }
    void Set_Back_Color(Color c) override;
    Color Fore_Color() const override { return fore_color_; }
    void Set_Fore_Color(Color c) override { fore_color_ = c; }
    std::string Font_Name() const override { return font_.Name; }
    void Set_Font_Name(const std::string& name) override;
    float Font_Size() const override { return font_.Size; }
    void Set_Font_Size(float size) override;
    bool Font_Bold() const override { return font_.Bold; }
    void Set_Font_Bold(bool bold) override { font_.Bold = bold; }
    int Draw_Width() const override { return draw_width_; }
    void Set_Draw_Width(int width) override { draw_width_ = width < 1 ? 1 : width; }
    int Fill_Style() const override { return fill_style_; }
    void Set_Fill_Style(int style) override { fill_style_ = style; }
    void Cls() override;
    void Box(double x1, double y1, double x2, double y2, Color color, bool filled) override;
    void Line(double x1, double y1, double x2, double y2, Color color) override;
    double Current_X() const override { return current_x_; }
    double Current_Y() const override { return current_y_; }
    void Set_Current_X(double x) override { current_x_ = x; }
    void Set_Current_Y(double y) override { current_y_ = y; }
    void Print(const std::string& text) override;
    double Text_Width(const std::string& text) const override;
    double Text_Height(const std::string& text) const override;
    Control& Item(int id) override;

    // What the window system (or a test) does to the form. Input is
    // ignored while the form is hidden or disabled.
    void Deliver_Key(int key_code, int shift, int character);
    void Deliver_Click(int control_id);
    // Runs the handlers queued by Show (activation). Backends call it from
    // Do_Events.
    void Run_Pending_Events();

    const std::vector<Draw_Op>& Drawing() const { return drawing_; }
    int Focused_Id() const { return focused_; }  // -1: none
    const Font_Spec& Font() const { return font_; }
    const Form_Design& Design() const { return design_; }
    std::vector<Control_Model*> Controls_In_Tab_Order() const;
    Control_Model* Find_Control(int id) const;
    const Text_Metrics& Metrics() const { return metrics_; }
    bool Has_Pending_Events() const { return !pending_.empty(); }

protected:
    // Hooks for a backend that mirrors the model in a real window.
    virtual void Window_Changed() {}
    virtual void Drawing_Changed() {}
    virtual void Control_Changed(Control_Model&) {}
    virtual void Raised() {}
    virtual void Focus_Changed() {}

private:
    friend class Control_Model;
    void Add_Figure(Draw_Op::Kind kind, double x1, double y1, double x2, double y2, Color color);
    void Focus_Control(Control_Model& control);
    void Move_Focus(int direction);
    bool Handle_Access_Key(int key_code);
    void Default_Key_Down(int key_code, int shift);
    void Default_Character(int character);
    float Nearest_Size(float size) const;

    Form_Design design_;
    Form_Events& events_;
    const Text_Metrics& metrics_;
    Frame_Insets frame_;
    std::string caption_;
    double left_, top_, width_, height_;
    Window_State state_ = Window_State::Normal;
    Mouse_Pointer pointer_ = Mouse_Pointer::Default;
    bool enabled_;
    bool visible_ = false;
    Color back_color_, fore_color_;
    Font_Spec font_;
    int draw_width_ = 1;
    int fill_style_ = 1;
    double current_x_ = 0, current_y_ = 0;
    std::vector<Draw_Op> drawing_;
    std::vector<std::unique_ptr<Control_Model>> controls_;
    int focused_ = -1;
    std::deque<std::function<void()>> pending_;
};

}  // namespace nrvnc
