#include "platform/form_model.h"

#include <algorithm>
#include <cctype>

#include "platform/error.h"

namespace nrvnc {

char Access_Letter(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

std::string Shown_Caption(const std::string& caption) {
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

// ---- Control_Model ----

Control_Model::Control_Model(Form_Model& form, const Control_Design& design)
    : form_(form), design_(design) {
    design_.Font.Size = form_.metrics_.Renderable_Size(design_.Font.Name, design_.Font.Size);
}

void Control_Model::Changed() { form_.Control_Changed(*this); }

void Control_Model::Set_Left(double v) { design_.Left = v, Changed(); }
void Control_Model::Set_Top(double v) { design_.Top = v, Changed(); }
void Control_Model::Set_Width(double v) { design_.Width = v, Changed(); }
void Control_Model::Set_Height(double v) { design_.Height = v, Changed(); }

void Control_Model::Set_Visible(bool v) {
    design_.Visible = v;
    if (!v && form_.focused_ == design_.Id) form_.focused_ = -1;
    Changed();
}

void Control_Model::Set_Enabled(bool v) {
    design_.Enabled = v;
    if (!v && form_.focused_ == design_.Id) form_.focused_ = -1;
    Changed();
}

void Control_Model::Set_Focus() {
    if (!form_.visible_ || !Can_Take_Focus())
        throw Runtime_Error(Error_Number::Invalid_Procedure_Call,
                            "Invalid procedure call or argument");
    form_.Focus_Control(*this);
}

void Control_Model::Set_Back_Color(Color c) { design_.Back_Color = c, Changed(); }
void Control_Model::Set_Fore_Color(Color c) { design_.Fore_Color = c, Changed(); }

void Control_Model::Set_Font_Name(const std::string& name) {
    design_.Font.Name = name;
    design_.Font.Size = form_.metrics_.Renderable_Size(name, design_.Font.Size);
    Changed();
}

void Control_Model::Set_Font_Size(float size) {
    design_.Font.Size = form_.metrics_.Renderable_Size(design_.Font.Name, size);
    Changed();
}

void Control_Model::Set_Font_Bold(bool bold) { design_.Font.Bold = bold, Changed(); }
void Control_Model::Set_Caption(const std::string& caption) { design_.Caption = caption, Changed(); }

void Control_Model::Set_Text(const std::string& text) {
    design_.Text = text;
    sel_start_ = std::min<int>(sel_start_, static_cast<int>(text.size()));
    Changed();
}

void Control_Model::Set_Sel_Start(int position) {
    sel_start_ = std::clamp(position, 0, static_cast<int>(design_.Text.size()));
    Changed();
}

// ---- Form_Model ----

Form_Model::Form_Model(const Form_Design& design, Form_Events& events, const Text_Metrics& metrics,
                       Frame_Insets frame)
    : design_(design),
      events_(events),
      metrics_(metrics),
      frame_(frame),
      caption_(design.Caption),
      left_(design.Left),
      top_(design.Top),
      width_(design.Width),
      height_(design.Height),
      enabled_(design.Enabled),
      back_color_(design.Back_Color),
      fore_color_(design.Fore_Color),
      font_(design.Font) {
    font_.Size = Nearest_Size(font_.Size);
    for (const auto& c : design.Controls)
        controls_.push_back(std::make_unique<Control_Model>(*this, c));
}

Form_Model::~Form_Model() = default;

float Form_Model::Nearest_Size(float size) const {
    return metrics_.Renderable_Size(font_.Name, size);
}

void Form_Model::Set_Caption(const std::string& caption) {
    caption_ = caption;
    Window_Changed();
}

void Form_Model::Set_Left(double v) { left_ = v, Window_Changed(); }
void Form_Model::Set_Top(double v) { top_ = v, Window_Changed(); }
void Form_Model::Set_Width(double v) { width_ = std::max(0.0, v), Window_Changed(); }
void Form_Model::Set_Height(double v) { height_ = std::max(0.0, v), Window_Changed(); }

double Form_Model::Scale_Width() const {
    return std::max(0.0, width_ - frame_.Left - frame_.Right);
}
double Form_Model::Scale_Height() const {
    return std::max(0.0, height_ - frame_.Top - frame_.Bottom);
}

void Form_Model::Set_State(Window_State state) {
    state_ = state;
    Window_Changed();
}

void Form_Model::Bring_To_Top() { Raised(); }

void Form_Model::Set_Pointer(Mouse_Pointer pointer) {
    pointer_ = pointer;
    Window_Changed();
}

void Form_Model::Set_Enabled(bool enabled) {
    enabled_ = enabled;
    Window_Changed();
}

void Form_Model::Show() {
    bool was_visible = visible_;
    visible_ = true;
    Window_Changed();
    if (!was_visible) pending_.push_back([this] { events_.Form_Activate(); });
}

void Form_Model::Hide() {
    visible_ = false;
    Window_Changed();
}

void Form_Model::Set_Back_Color(Color c) {
    back_color_ = c;
    Cls();
}

void Form_Model::Set_Font_Name(const std::string& name) {
    font_.Name = name;
    font_.Size = metrics_.Renderable_Size(name, font_.Size);
}

void Form_Model::Set_Font_Size(float size) { font_.Size = metrics_.Renderable_Size(font_.Name, size); }

void Form_Model::Cls() {
    drawing_.clear();
    current_x_ = current_y_ = 0;
    Drawing_Changed();
}

void Form_Model::Box(double x1, double y1, double x2, double y2, Color color, bool filled) {
    Add_Figure(filled ? Draw_Op::Kind::Filled_Box : Draw_Op::Kind::Box, x1, y1, x2, y2, color);
}

void Form_Model::Line(double x1, double y1, double x2, double y2, Color color) {
    Add_Figure(Draw_Op::Kind::Line, x1, y1, x2, y2, color);
}

// A box or a line in the current line width; like the drawing statements
// it stands for, it leaves the drawing position at its end point.
void Form_Model::Add_Figure(Draw_Op::Kind kind, double x1, double y1, double x2, double y2,
                            Color color) {
    Draw_Op op;
    op.What = kind;
    op.X1 = x1, op.Y1 = y1, op.X2 = x2, op.Y2 = y2;
    op.Colour = color;
    op.Line_Width = draw_width_;
    drawing_.push_back(op);
    current_x_ = x2, current_y_ = y2;
    Drawing_Changed();
}

void Form_Model::Print(const std::string& text) {
    Draw_Op op;
    op.What = Draw_Op::Kind::Text;
    op.X1 = current_x_, op.Y1 = current_y_;
    op.X2 = current_x_ + Text_Width(text);
    op.Y2 = current_y_ + Text_Height(text);
    op.Colour = fore_color_;
    op.Text = text;
    op.Font = font_;
    drawing_.push_back(op);
    current_x_ = Scale_Left();
    current_y_ += Text_Height(text.empty() ? std::string("H") : text);
    Drawing_Changed();
}

double Form_Model::Text_Width(const std::string& text) const {
    return metrics_.Text_Width(font_, text);
}
double Form_Model::Text_Height(const std::string& text) const {
    return metrics_.Text_Height(font_, text);
}

Control_Model* Form_Model::Find_Control(int id) const {
    for (const auto& c : controls_)
        if (c->Id() == id) return c.get();
    return nullptr;
}

Control& Form_Model::Item(int id) {
    Control_Model* c = Find_Control(id);
    if (!c) throw Runtime_Error(Error_Number::Subscript_Out_Of_Range, "Control array element does not exist");
    return *c;
}

std::vector<Control_Model*> Form_Model::Controls_In_Tab_Order() const {
    std::vector<Control_Model*> order;
    for (const auto& c : controls_) order.push_back(c.get());
    std::stable_sort(order.begin(), order.end(),
                     [](auto* a, auto* b) { return a->Tab_Index() < b->Tab_Index(); });
    return order;
}

void Form_Model::Focus_Control(Control_Model& control) {
    if (focused_ == control.Id()) return;
    int old = focused_;
    focused_ = control.Id();
    Focus_Changed();
    if (old >= 0 && Find_Control(old)) events_.Control_LostFocus(old);
    events_.Control_GotFocus(control.Id());
}

void Form_Model::Move_Focus(int direction) {
    auto order = Controls_In_Tab_Order();
    std::vector<Control_Model*> stops;
    for (auto* c : order)
        if (c->Can_Take_Focus()) stops.push_back(c);
    if (stops.empty()) return;
    auto it = std::find_if(stops.begin(), stops.end(), [&](auto* c) { return c->Id() == focused_; });
    std::ptrdiff_t n = static_cast<std::ptrdiff_t>(stops.size());
    std::ptrdiff_t at = it == stops.end() ? (direction > 0 ? -1 : 0) : it - stops.begin();
    Focus_Control(*stops[static_cast<std::size_t>(((at + direction) % n + n) % n)]);
}

bool Form_Model::Handle_Access_Key(int key_code) {
    char letter = static_cast<char>(std::toupper(key_code));
    std::vector<Control_Model*> matches;
    for (auto* c : Controls_In_Tab_Order())
        if (c->Kind() == Control_Kind::Command_Button && c->Can_Take_Focus() &&
            Access_Letter(c->Caption()) == letter)
            matches.push_back(c);
    if (matches.empty()) return false;
    if (matches.size() == 1) {
        int id = matches.front()->Id();
        Focus_Control(*matches.front());
        events_.Control_Click(id);
        return true;
    }
    auto it = std::find_if(matches.begin(), matches.end(), [&](auto* c) { return c->Id() == focused_; });
    Control_Model* next = (it == matches.end() || it + 1 == matches.end()) ? matches.front() : *(it + 1);
    Focus_Control(*next);
    return true;
}

void Form_Model::Deliver_Key(int key_code, int shift, int character) {
    if (!visible_ || !enabled_) return;
    if ((shift & Shift_Mask::Alt) &&
        ((key_code >= 'A' && key_code <= 'Z') || (key_code >= '0' && key_code <= '9'))) {
        if (Handle_Access_Key(key_code)) return;
    }
    int16_t k = static_cast<int16_t>(key_code);
    if (design_.Key_Preview) events_.Form_KeyDown(k, static_cast<int16_t>(shift));
    if (k != 0) Default_Key_Down(k, shift);
    if (character != 0 && !(shift & (Shift_Mask::Alt | Shift_Mask::Ctrl))) {
        int16_t ch = static_cast<int16_t>(character);
        if (design_.Key_Preview) events_.Form_KeyPress(ch);
        if (ch != 0) Default_Character(ch);
    }
}

void Form_Model::Default_Key_Down(int key_code, int shift) {
    Control_Model* c = Find_Control(focused_);
    if (key_code == Key::Tab) {
        Move_Focus((shift & Shift_Mask::Shift) ? -1 : 1);
        return;
    }
    if (!c) return;
    if (c->Kind() == Control_Kind::Command_Button) {
        if (key_code == Key::Space || key_code == Key::Return) {
            events_.Control_Click(c->Id());
        } else if (key_code == Key::Up || key_code == Key::Left) {
            Move_Focus(-1);
        } else if (key_code == Key::Down || key_code == Key::Right) {
            Move_Focus(1);
        }
        return;
    }
    int len = static_cast<int>(c->Text().size());
    switch (key_code) {
        case Key::Left: c->Set_Sel_Start(c->Sel_Start() - 1); break;
        case Key::Right: c->Set_Sel_Start(c->Sel_Start() + 1); break;
        case Key::Home: c->Set_Sel_Start(0); break;
        case Key::End: c->Set_Sel_Start(len); break;
        case Key::Delete:
            if (c->Sel_Start() < len) {
                std::string t = c->Text();
                int at = c->Sel_Start();
                t.erase(static_cast<std::size_t>(at), 1);
                c->Set_Text(t);
                c->Set_Sel_Start(at);
            }
            break;
        default: break;
    }
}

void Form_Model::Default_Character(int character) {
    Control_Model* c = Find_Control(focused_);
    if (!c || c->Kind() != Control_Kind::Text_Box) return;
    std::string t = c->Text();
    int at = c->Sel_Start();
    if (character == Key::Back) {
        if (at > 0) {
            t.erase(static_cast<std::size_t>(at - 1), 1);
            c->Set_Text(t);
            c->Set_Sel_Start(at - 1);
        }
        return;
    }
    if (character < 32 || character > 255) return;
    t.insert(t.begin() + at, static_cast<char>(character));
    c->Set_Text(t);
    c->Set_Sel_Start(at + 1);
}

void Form_Model::Deliver_Click(int control_id) {
    if (!visible_ || !enabled_) return;
    Control_Model* c = Find_Control(control_id);
    if (!c || !c->Can_Take_Focus()) return;
    Focus_Control(*c);
    events_.Control_Click(control_id);
}

void Form_Model::Run_Pending_Events() {
    while (!pending_.empty()) {
        auto handler = std::move(pending_.front());
        pending_.pop_front();
        handler();
    }
}

}  // namespace nrvnc
