#include "dialogs/message/frm_msg_box.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

#include "platform/error.h"
#include "presentation/presentation.h"
#include "session/state/housekeeping.h"
#include "session/state/misc.h"

namespace nrvnc {

namespace {

constexpr Color Focus_Green = Rgb(128, 255, 128);
constexpr int Button_Shadow = 16;
constexpr int Highlighted_Text = 14;

// A caller value as text: flags read "True"/"False", numbers in decimal.
std::string Text_Of(const Msg_Value& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "True" : "False";
    if (const int* number = std::get_if<int>(&value)) return std::to_string(*number);
    return std::get<std::string>(value);
}

bool Same_Letters(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A caller value compared with a number: flags count as -1 (True) and 0
// (False); a text counts only when it is a whole number or "True"/"False".
bool Equals_Number(const Msg_Value& value, int number) {
    if (const bool* flag = std::get_if<bool>(&value)) return (*flag ? -1 : 0) == number;
    if (const int* n = std::get_if<int>(&value)) return *n == number;
    const std::string& text = std::get<std::string>(value);
    if (Same_Letters(text, "True")) return number == -1;
    if (Same_Letters(text, "False")) return number == 0;
    int parsed = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    return error == std::errc() && end == text.data() + text.size() && parsed == number;
}

}  // namespace

FrmMsgBox::FrmMsgBox(Misc& misc) : misc_(misc) {}

FrmMsgBox::~FrmMsgBox() = default;

Form& FrmMsgBox::form() {
    if (!form_) {
        Form_Design design;
        design.Caption = "  Norvane";
        design.Border = Border_Style::Fixed_Single;
        design.Control_Box = false;
        // Enabled only while it shows a message.
        design.Enabled = false;
        design.Back_Color = Rgb(0, 0, 0);
        design.Fore_Color = misc_.Sys.forms.System_Color(Highlighted_Text);
        for (int index = 0; index <= 2; ++index) {
            Control_Design button;
            button.Id = index;
            button.Kind = Control_Kind::Command_Button;
            button.Caption = "";
            button.Tab_Index = index;
            button.Visible = false;
            button.Back_Color = misc_.Sys.forms.System_Color(Button_Shadow);
            design.Controls.push_back(button);
        }
        form_ = misc_.Sys.forms.Load_Form(design, *this);
        Form_Load();
    }
    return *form_;
}

void FrmMsgBox::Form_Load() {
    misc_.MsgBox_Loaded = true;
}

int16_t FrmMsgBox::Do_User_Msg(int16_t Sel, const Msg_Value& UserIn1, const Msg_Value& UserIn2) {
    Form& f = form();
    f.Set_Pointer(Mouse_Pointer::Default);
    Msg_Number = Sel;

    Msg_Wait_Mode = Sel == 1 ? 2 : 0;

    std::array<std::string, 9> Lines{};
    Msg_Answer = No_Answer;
    for (int index = 0; index <= 2; ++index) f.Item(index).Set_Caption("");

    const bool Is_True = Equals_Number(UserIn1, -1);

    switch (Sel) {
        case 0:
            f.Item(0).Set_Caption("  &Local  ");
            if (Is_True) f.Item(1).Set_Caption(" &Internet ");
            f.Item(2).Set_Caption(" &Exit VNC ");
            break;
        case 1:
            break;
        case 2:
            f.Item(0).Set_Caption("&Continue");
            f.Item(2).Set_Caption(" &Exit VNC ");
            break;
        case 16:
            f.Item(0).Set_Caption("&Yes");
            f.Item(2).Set_Caption("&No");
            break;
        default:
            // 3, and any number outside the catalogue: an information, so
            // that a waiting message always offers a button.
            f.Item(1).Set_Caption("&OK");
            break;
    }

    f.Set_Caption(f.Caption() + "  ---  Message # " + std::to_string(Sel));

    switch (Sel) {
        case 0:
            if (Is_True) {
                Lines[1] =
                    "Will you be using a local area network(LAN) or an internet network(WAN)?";
                Lines[3] = "Select [Exit VNC] to exit program.";
            } else {
                Lines[1] = "Only local network remote viewing is possible now";
                Lines[2] = " because there is no internet connection.";
                Lines[4] = "If you want to view another computer over the internet";
                Lines[5] = "   connect this computer to the internet and restart program.   ";
                Lines[7] = "Select [Exit VNC] to exit program.";
            }
            break;
        case 1:
            if (Equals_Number(UserIn1, 0)) Lines[1] = "     Stand by. Configuring connection.     ";
            break;
        case 2:
            Lines[1] =
                "The internet repeater service needed to do internet viewing sessions cannot be "
                "found.";
            Lines[3] = "If you choose [Continue] you can change the internet IP address and/or";
            Lines[4] = "the port number on the internet session ID entry screen and try again.";
            break;
        default: {
            const std::string First = Text_Of(UserIn1);
            const std::string Second = Text_Of(UserIn2);
            Lines[2] = First;
            if (Second.empty()) break;  // a single line; a stored question waits for later
            if (!misc_.Msg_Question.empty()) {
                Lines[1] = First;
                Lines[2] = Second;
                Lines[4] = misc_.Msg_Question;
            } else {
                Lines[1] = First;
                Lines[2] = "";
                Lines[3] = Second;
            }
            misc_.Msg_Question.clear();
            break;
        }
    }

    Do_frmMsgBox(Lines);

    if (Msg_Wait_Mode == 0) {
        // The click handler sets the answer while events run.
        while (Msg_Answer == No_Answer && form_) Bring_Form_To_Front(misc_, *form_);
    }

    const int16_t Result = Msg_Answer;
    if (form_) form_->Set_Enabled(false);
    if (Msg_Wait_Mode != 2) Close_frmMsgBox();
    return Result;
}

void FrmMsgBox::Do_frmMsgBox(const std::array<std::string, 9>& Lines) {
    Form& f = form();
    Forms_Runtime& forms = misc_.Sys.forms;

    f.Set_Font_Name(misc_.Display_Font);
    f.Set_Font_Bold(true);
    f.Set_Font_Size(14);
    f.Set_Back_Color(0);
    f.Set_Fore_Color(forms.System_Color(Highlighted_Text));

    // The buttons to show and their longest caption.
    int Count = 0;
    std::size_t Longest = 0;
    for (int index = 0; index <= 2 && Msg_Wait_Mode == 0; ++index) {
        const std::string caption = f.Item(index).Caption();
        if (caption.empty()) continue;
        ++Count;
        if (caption.size() > Longest) Longest = caption.size();
    }

    // Text at 14 points, buttons at 16 or 20. On a screen too small for the
    // dialog at those sizes (a long line on a narrow or dense screen), both
    // step down the sizes the screen renders until the dialog fits.
    const double Factor = Msg_Number == 1 ? 3.0 : 7.5;
    float Text_Size = f.Font_Size();
    f.Set_Font_Size(Longest > 10 ? 16 : 20);
    float Button_Size = f.Font_Size();
    int Last_Line = 0;
    double Max_Width = 0;
    std::vector<float> Sizes;
    for (;;) {
        f.Set_Font_Size(Text_Size);
        Last_Line = 0;
        Max_Width = 0;
        for (int i = 1; i <= 8; ++i) {
            const std::string& line = Lines[static_cast<std::size_t>(i)];
            if (line.empty()) continue;
            Last_Line = i;
            const double width = std::nearbyint(f.Text_Width(line));
            if (width > Max_Width) Max_Width = width;
        }
        const double Width = Pix_To_Twips_X(misc_, 100) + Max_Width;
        const double Height = Pix_To_Twips_Y(misc_, 80) + (Last_Line + Factor) * f.Text_Height("H");
        if (Width <= forms.Screen_Width() && Height <= forms.Screen_Height()) break;
        if (Sizes.empty()) Sizes = Font_Size_Ladder(misc_, f);
        const auto below = [&](float size) {
            auto at = std::lower_bound(Sizes.begin(), Sizes.end(), size);
            return at == Sizes.begin() ? size : *(at - 1);
        };
        if (below(Text_Size) == Text_Size) break;
        Text_Size = below(Text_Size);
        Button_Size = below(Button_Size);
    }

    f.Set_Width(Pix_To_Twips_X(misc_, 100) + Max_Width);

    if (Msg_Number == 1) {
        f.Set_Pointer(Mouse_Pointer::Hourglass);
        misc_.Do_Events();
    }

    const double H = f.Text_Height("H");
    f.Set_Height(Pix_To_Twips_Y(misc_, 80) + (Last_Line + Factor) * H);

    f.Set_Left((forms.Screen_Width() - f.Width()) / 2);
    f.Set_Top((forms.Screen_Height() - f.Height()) / 2);

    Client_Left = static_cast<float>(f.Scale_Left());
    Client_Top = static_cast<float>(f.Scale_Top());
    Client_Width = static_cast<float>(f.Scale_Width());
    Client_Height = static_cast<float>(f.Scale_Height());
    Client_Right = Client_Left + Client_Width;
    Client_Bottom = Client_Top + Client_Height;

    f.Box(Client_Left, Client_Top, Client_Right, Client_Bottom, f.Back_Color(), true);
    Draw_Border(misc_, Client_Left, Client_Right, Client_Top, Client_Bottom, 19, f);

    f.Set_Current_X(0);
    f.Set_Current_Y(Client_Top + Pix_To_Twips_Y(misc_, 20) + 2 * H);
    for (int i = 1; i <= Last_Line; ++i) {
        const std::string& line = Lines[static_cast<std::size_t>(i)];
        if (line.empty()) {
            f.Print(" ");  // the empty row keeps its height
        } else {
            f.Set_Current_X(Client_Left + (Client_Width - f.Text_Width(line)) / 2);
            f.Print(line);
        }
    }

    if (Msg_Wait_Mode == 0) {
        if (Count > 0) {
            f.Print("");
            f.Print("");
            f.Set_Font_Size(Button_Size);
            for (int index = 0; index <= 2; ++index) {
                Control& button = f.Item(index);
                if (button.Caption().empty()) continue;
                button.Set_Font_Name(misc_.Display_Font);
                button.Set_Font_Bold(true);
                button.Set_Font_Size(f.Font_Size());
                button.Set_Height(2 * f.Text_Height("H") + Pix_To_Twips_Y(misc_, 10));
                button.Set_Top(f.Current_Y());
                button.Set_Width(Count == 3 ? Client_Width / 5.0 : Client_Width / 4.0);
                double Position;
                if (Count == 1)
                    Position = 0.375;
                else if (Count == 2)
                    Position = index == 0 ? 1.0 / 6.0 : 7.0 / 12.0;
                else
                    Position = index == 0 ? 0.1 : index == 1 ? 0.4 : 0.7;
                button.Set_Left(Client_Left + Pix_To_Twips_X(misc_, 20) +
                                (Client_Width - Pix_To_Twips_X(misc_, 40)) * Position);
            }
            f.Set_Font_Size(Text_Size);
        }
    }

    f.Set_Enabled(true);
    f.Show();
    misc_.Do_Events();

    for (int index = 0; index <= 2; ++index) {
        Control& button = f.Item(index);
        const bool shown = !button.Caption().empty();
        button.Set_Visible(shown);
        button.Set_Enabled(shown);
    }
    misc_.Do_Events();

    for (int index = 0; index <= 2; ++index) {
        Control& button = f.Item(index);
        if (button.Enabled()) {
            button.Set_Focus();
            break;
        }
    }
    misc_.Do_Events();
}

void FrmMsgBox::Close_frmMsgBox() {
    if (form_) form_->Hide();
    misc_.Do_Events();
    form_.reset();
    misc_.Do_Events();
    misc_.MsgBox_Loaded = false;
}

void FrmMsgBox::Control_Click(int id) {
    Msg_Answer = static_cast<int16_t>(id);
}

void FrmMsgBox::Control_GotFocus(int id) {
    if (!form_) return;
    for (int index = 0; index <= 2; ++index)
        form_->Item(index).Set_Back_Color(
            index == id ? Focus_Green : misc_.Sys.forms.System_Color(Button_Shadow));
}

FrmMsgBox& frmMsgBox(Misc& misc) {
    return misc.Single_Instance<FrmMsgBox>();
}

}  // namespace nrvnc
