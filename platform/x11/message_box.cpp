// The system message box: a small modal window of the same toolkit with
// the text, the title and an OK button. Enter, Space, Esc, a click on OK or
// the window manager's close button end it.
#include <algorithm>
#include <vector>

#include "platform/x11/event_wait.h"
#include "platform/x11/forms.h"
#include "platform/x11/window.h"

namespace nrvnc {

namespace {

constexpr int Ok_Id = 0;

std::vector<std::string> Split_Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

class Box_Events : public Form_Events {
  public:
    bool Done = false;
    void Form_KeyDown(int16_t& key_code, int16_t) override {
        if (key_code == Key::Return || key_code == Key::Space || key_code == Key::Escape) {
            Done = true;
            key_code = 0;
        }
    }
    void Control_Click(int id) override {
        if (id == Ok_Id) Done = true;
    }
};

}  // namespace

void X11_Forms_Runtime::Message_Box(const std::string& text, const std::string& title) {
    const double tpp = display_.Twips_Per_Pixel();
    auto px = [tpp](int n) { return n * tpp; };
    std::vector<std::string> lines = Split_Lines(text);

    Font_Spec font;
    font.Name = "Sans";
    font.Size = fonts_.Renderable_Size(font.Name, 9);
    double text_width = 0;
    for (const auto& line : lines) text_width = std::max(text_width, fonts_.Text_Width(font, line));
    double line_height = fonts_.Text_Height(font, "H");

    const int Margin = 24, Top = 20, Gap = 18, Bottom = 12, Button_W = 88, Button_H = 26;
    double client_w = std::max({text_width + px(2 * Margin), px(Button_W + 2 * Margin), px(200)});
    double client_h = px(Top) + static_cast<double>(lines.size()) * line_height + px(Gap) +
                      px(Button_H) + px(Bottom);

    Form_Design design;
    design.Caption = title.empty() ? app_title_ : title;
    design.Border = Border_Style::Fixed_Single;
    design.Control_Box = true;
    design.Key_Preview = true;
    design.Back_Color = System_Color(15);
    design.Fore_Color = System_Color(18);
    design.Font = font;
    Frame_Insets frame = X11_Form::Insets_For(design, tpp);
    design.Width = client_w + frame.Left + frame.Right;
    design.Height = client_h + frame.Top + frame.Bottom;
    design.Left = (Screen_Width() - design.Width) / 2;
    design.Top = (Screen_Height() - design.Height) / 2;

    Control_Design ok;
    ok.Id = Ok_Id;
    ok.Kind = Control_Kind::Command_Button;
    ok.Caption = "OK";
    ok.Back_Color = System_Color(15);
    ok.Fore_Color = System_Color(18);
    ok.Font = font;
    ok.Width = px(Button_W);
    ok.Height = px(Button_H);
    ok.Left = (client_w - ok.Width) / 2;
    ok.Top = client_h - px(Bottom) - ok.Height;
    design.Controls.push_back(ok);

    Box_Events events;
    X11_Form box(*this, design, events);
    box.On_Close_Request = [&events] { events.Done = true; };
    box.Set_Current_Y(px(Top));
    for (const auto& line : lines) {
        box.Set_Current_X(px(Margin));
        box.Print(line);
    }
    box.Show();
    box.Item(Ok_Id).Set_Focus();
    box.Bring_To_Top();

    // Modal: the other forms keep painting but take no input until it ends.
    while (!events.Done) {
        Flush_All();
        bool busy = Pump(&box);
        busy = Run_Handlers(&box) || busy;
        if (events.Done) break;
        if (!busy && XEventsQueued(display_.Dpy(), QueuedAfterFlush) == 0)
            Event_Wait::Wait_For_Activity(50, display_.Fd());
    }
    box.Hide();
    box.Flush();
    XFlush(display_.Dpy());
}

}  // namespace nrvnc
