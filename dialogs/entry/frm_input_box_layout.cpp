// The run-time layout of frmInputBox: frame, button row, heading, entry box
// with its label block and field, and the hint lines.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "dialogs/entry/frm_input_box.h"
#include "platform/error.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"

namespace nrvnc {

namespace {

constexpr Color Button_White = 0xFFFFFF;
constexpr Color Divider_Colour = 0xC0C000;

// The smallest size of the field's text: 9 points, or the nearest size
// above it.
constexpr float Smallest_Field_Size = 9;

// Index of the largest size not above the limit; the smallest size when all
// are above it.
int Index_At_Most(const std::vector<float>& sizes, float limit) {
    int index = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i] <= limit) index = static_cast<int>(i);
    return index;
}

// Index of the smallest size not below the floor; the largest when all are
// below it.
int Index_At_Least(const std::vector<float>& sizes, float floor) {
    for (std::size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i] >= floor) return static_cast<int>(i);
    return static_cast<int>(sizes.size()) - 1;
}

}  // namespace

float FrmInputBox::Font_Size_At(int index) const {
    if (index < 0 || index >= static_cast<int>(misc_.Font_Sizes.size()))
        throw Runtime_Error(Error_Number::Subscript_Out_Of_Range, "Subscript out of range");
    return misc_.Font_Sizes[static_cast<std::size_t>(index)];
}

void FrmInputBox::Print_Text_At(float X, float Y, const std::string& Text, uint8_t Color) {
    Form& f = form();
    f.Set_Current_X(X);
    f.Set_Current_Y(Y);
    f.Set_Fore_Color(QB_Color(Color));
    f.Print(Text);
}

// Centres Text in the part of the form right of X.
void FrmInputBox::Print_Aligned_Text(const std::string& Text, float Y, float X, uint8_t Color) {
    Form& f = form();
    f.Set_Current_X(X);
    const float Free_Width = static_cast<float>(f.Scale_Width()) - X;
    const float Text_X = X + (Free_Width - static_cast<float>(f.Text_Width(Text))) / 2;
    Print_Text_At(Text_X, Y, Text, Color);
}

// The smallest size of the ladder not below Wanted; 12 when all are smaller.
void FrmInputBox::Fit_Font_Size(float Wanted, float& Height_Out) {
    Form& f = form();
    float size = 12;
    for (float candidate : Font_Size_Ladder(misc_, f)) {
        if (candidate >= Wanted) {
            size = candidate;
            break;
        }
    }
    f.Set_Font_Size(size);
    Height_Out = static_cast<float>(f.Text_Height("H"));
}

void FrmInputBox::Setup_Input_Form() {
    Form& f = form();
    const uint8_t Input_Mode = misc_.Input_Mode;
    std::array<std::string, 5> Hint;  // 1 To 4

    // 1. Surface and frame.
    f.Set_Back_Color(Rgb(0, 0, 0));
    f.Cls();
    Draw_Border(misc_, Form_Scale_Left, Form_Scale_Width, Form_Scale_Top, Form_Scale_Height, 19, f);

    // 2. Form font; every measurement below uses the font as it stands.
    f.Set_Font_Name(misc_.Display_Font);
    const std::vector<float> Sizes = Font_Size_Ladder(misc_, f);
    f.Set_Font_Size(14);
    f.Set_Font_Bold(true);

    // 3 to 6. The button row at the button size (14 points unless the row
    // does not fit the form): Exit Program bottom left, Accept bottom right,
    // Edit IP and Edit Port # between them on the access-code screen while
    // the repeater is not found.
    const bool Edit_Buttons = Input_Mode == 1 && !misc_.Repeater_Found;
    float Button_Size = 14;
    auto Place_Buttons = [&] {
        f.Set_Font_Size(Button_Size);
        auto button_face = [&](Control& button, const std::string& caption) {
            button.Set_Font_Name(misc_.Display_Font);
            button.Set_Font_Size(Button_Size);
            button.Set_Font_Bold(true);
            button.Set_Caption(caption);
            button.Set_Back_Color(Button_White);
        };

        Control& Exit_Button = cmdExitProg();
        button_face(Exit_Button, "E&xit Program");
        Exit_Button.Set_Left(Px_X(80));
        Exit_Button.Set_Width(static_cast<float>(f.Text_Width(std::string(14, 'H'))));
        Exit_Button.Set_Height(1.5f * static_cast<float>(f.Text_Height("H")));
        Exit_Button.Set_Top(Form_Scale_Height - (static_cast<float>(Exit_Button.Height()) +
                                                 static_cast<float>(Px_Y(40))));

        Control& Accept_Button = cmdXitNSav();
        button_face(Accept_Button, "&Accept");
        Accept_Button.Set_Width(static_cast<float>(f.Text_Width(" Accept ")));
        Accept_Button.Set_Left(Form_Scale_Width - (static_cast<float>(Accept_Button.Width()) +
                                                   static_cast<float>(Px_X(80))));
        Accept_Button.Set_Height(Exit_Button.Height());
        Accept_Button.Set_Top(Exit_Button.Top());
        if (!Edit_Buttons) return;

        const float Exit_Right = static_cast<float>(Exit_Button.Left() + Exit_Button.Width());
        const float Middle = static_cast<float>(f.Scale_Width()) / 2;
        Control& IP_Button = cmdIPAddress();
        button_face(IP_Button, " &Edit IP ");
        IP_Button.Set_Width(static_cast<float>(f.Text_Width("  Edit IP  ")));
        IP_Button.Set_Left(Exit_Right +
                           (Middle - Exit_Right - static_cast<float>(IP_Button.Width())) / 2);
        IP_Button.Set_Height(Exit_Button.Height());
        IP_Button.Set_Top(Exit_Button.Top());

        Control& Port_Button = cmdPortNum();
        button_face(Port_Button, " &Edit Port # ");
        Port_Button.Set_Width(static_cast<float>(f.Text_Width("  Edit Port #  ")));
        Port_Button.Set_Left(Middle + (static_cast<float>(Accept_Button.Left()) - Middle -
                                       static_cast<float>(Port_Button.Width())) /
                                          2);
        Port_Button.Set_Height(Exit_Button.Height());
        Port_Button.Set_Top(Exit_Button.Top());
    };
    Place_Buttons();

    // 5. Hints.
    Hint[1] = "Press [Accept] button to accept input.";
    if (Edit_Buttons) {
        Hint[2] = "Press [Edit IP] button to change the repeater IP address for remote viewing.";
        Hint[3] = "Press [Edit Port #] button to change the internet port number remote viewing.";
        Hint[4] =
            "Press <Esc> key to return to network selection or the [Exit Program] button to exit "
            "program.";
    } else if (Input_Mode == 1) {
        Hint[2] =
            "Press <Esc> key to return to network selection or the [Exit Program] button to exit "
            "program.";
    } else {
        Hint[2] = "Press <F2> to restore original value.";
        Hint[3] = "Press <Esc> key to return to network selection screen.";
        Hint[4] = "Press [Exit Program] button to exit program.";
    }

    // 7. One more line than printed, for spacing.
    int Hint_Lines = 1;
    for (int j = 1; j <= 4; ++j)
        if (!Hint[j].empty()) ++Hint_Lines;

    // 8. Heading: largest size not above 16; hints: largest not above 12.
    // The field is three sizes below the heading, but never below 9 points
    // nor above the heading.
    int Heading_Index = Index_At_Most(Sizes, 16);
    int Hint_Index = Index_At_Most(Sizes, 12);
    const int Smallest_Field = Index_At_Least(Sizes, Smallest_Field_Size);
    int Button_Index = Index_At_Most(Sizes, f.Font_Size());
    Heading_Size = Sizes[static_cast<std::size_t>(Heading_Index)];
    float Hint_Size = Sizes[static_cast<std::size_t>(Hint_Index)];

    float Hint_Height = 0, Heading_Height = 0, Label_Size = 0, Char_Width = 0, Line_Height = 0;
    float Label_Width = 0, Field_Width = 0, Inner_Width = 0, Inner_Height = 0;
    const std::string Heading =
        Input_Mode == 1   ? "ENTER REMOTE VIEWER 4 DIGIT ACCES CODE SUPPLIED BY THE HOST"
        : Input_Mode == 2 ? "ENTER HOST NAME or IP ADDRESS FOR LOCAL NETWORK REMOTE VIEWING"
        : Input_Mode == 3 ? "ENTER REPEATER IP ADDRESS FOR INTERNET REMOTE VIEWING"
        : Input_Mode == 4 ? "ENTER PORT NUMBER FOR INTERNET REMOTE VIEWING"
                          : "";
    const float Field_Height = static_cast<float>(txtItemValue(1).Height());
    bool Too_Narrow = false;  // at the smallest sizes, still too wide for the form
    for (;;) {
        // 9. Clear the inside of the frame.
        f.Box(Form_Scale_Left + static_cast<float>(Px_X(20)),
              Form_Scale_Top + static_cast<float>(Px_Y(20)),
              Form_Scale_Width - static_cast<float>(Px_X(20)),
              Form_Scale_Height - static_cast<float>(Px_Y(20)), f.Back_Color(), true);

        // 10. Measure.
        f.Set_Font_Size(Hint_Size);
        Hint_Height = static_cast<float>(f.Text_Height("M"));
        float Widest_Hint = 0;
        for (int j = 1; j <= 4; ++j)
            Widest_Hint = std::max(Widest_Hint, static_cast<float>(f.Text_Width(Hint[j])));
        f.Set_Font_Size(Heading_Size);
        Heading_Height = static_cast<float>(f.Text_Height("M"));
        Label_Size = f.Font_Size();
        Char_Width = static_cast<float>(f.Text_Width("M"));
        Line_Height = 1.1f * static_cast<float>(f.Text_Height("M"));
        // The field keeps its designed height: under a small heading the
        // row grows so that the field stays inside the box's inner line.
        Line_Height = std::max(Line_Height, Field_Height - static_cast<float>(Px_Y(4)));
        Label_Width = static_cast<float>(Item_Label[1].size() + 2) * Char_Width;
        Field_Width = static_cast<float>(Field_Chars + 2) * Char_Width;
        Inner_Width = Field_Width + Label_Width + static_cast<float>(Px_X(4));
        Inner_Height = static_cast<float>(Item_Count) * Line_Height + static_cast<float>(Px_Y(4));
        Box_Outer_Width = Inner_Width + static_cast<float>(Px_X(32));
        Box_Outer_Height = Inner_Height + static_cast<float>(Px_Y(32));

        // 11. The smaller the box against the form, the higher it sits.
        int k = 5;
        if (Form_Scale_Height * 0.5f >= Box_Outer_Height)
            k = 10;
        else if (Form_Scale_Height * 0.6f >= Box_Outer_Height)
            k = 9;
        else if (Form_Scale_Height * 0.7f >= Box_Outer_Height)
            k = 8;
        else if (Form_Scale_Height * 0.8f >= Box_Outer_Height)
            k = 7;
        else if (Form_Scale_Height * 0.9f >= Box_Outer_Height)
            k = 6;

        // 12. Box position.
        Box_Top =
            static_cast<float>((Form_Scale_Height - Box_Outer_Height) * (k / 20.0) * (2.0 / 3.0));
        Box_Left = (Form_Scale_Width - Box_Outer_Width) / 2;
        Box_Right = Box_Left + Inner_Width + static_cast<float>(Px_X(32));
        Box_Bottom = Box_Top + Inner_Height + static_cast<float>(Px_Y(32));

        // 13. Fit test: the heading, the box and the hints in the height of
        // the form. On a small or dense screen the widths count too: the
        // heading, the box and the hints must stay inside the frame, the
        // hints above the buttons, the buttons clear of one another.
        const float Edge_X = static_cast<float>(Px_X(20)), Edge_Y = static_cast<float>(Px_Y(20));
        const float Free =
            Form_Scale_Height - static_cast<float>(Px_Y(60)) -
            (static_cast<float>(Hint_Lines) * Hint_Height + Box_Outer_Height + Heading_Height);
        const float Hints_Top =
            Box_Bottom +
            (Form_Scale_Height - Box_Bottom - static_cast<float>(Hint_Lines) * Hint_Height) / 3;
        const float Hints_Bottom = Hints_Top + static_cast<float>(Hint_Lines - 1) *
                                                   (Hint_Height + static_cast<float>(Px_Y(1)));
        const float Heading_Width = static_cast<float>(f.Text_Width(Heading));
        const bool Too_Low = Free <= 0 || Hints_Bottom > static_cast<float>(cmdExitProg().Top()) ||
                             (Box_Top - Form_Scale_Top - Heading_Height) / 2 < Edge_Y;
        const bool Heading_Too_Wide =
            Form_Scale_Width - Heading_Width < 2 * Edge_X || Box_Left < Edge_X;
        const bool Hints_Too_Wide = Form_Scale_Width - Widest_Hint < 2 * Edge_X;
        bool Buttons_Too_Wide = cmdXitNSav().Left() < cmdExitProg().Left() + cmdExitProg().Width();
        if (Edit_Buttons)
            Buttons_Too_Wide =
                cmdIPAddress().Left() < cmdExitProg().Left() + cmdExitProg().Width() ||
                cmdPortNum().Left() < cmdIPAddress().Left() + cmdIPAddress().Width() ||
                cmdXitNSav().Left() < cmdPortNum().Left() + cmdPortNum().Width();
        if (!Too_Low && !Heading_Too_Wide && !Hints_Too_Wide && !Buttons_Too_Wide) break;

        // Step the sizes that do not fit one place down: the heading (and
        // with it the box) not below the field's smallest size, the hints,
        // the buttons. Where the height does not suffice, heading and hints
        // step together, and the buttons when those cannot.
        bool stepped = false;
        auto step = [&](int& index, int floor) {
            if (index > floor) --index, stepped = true;
        };
        if (Heading_Too_Wide || Too_Low) step(Heading_Index, Smallest_Field);
        if (Hints_Too_Wide || Too_Low) step(Hint_Index, 0);
        if (Buttons_Too_Wide || (Too_Low && !stepped)) {
            step(Button_Index, Smallest_Field);
            Button_Size = Sizes[static_cast<std::size_t>(Button_Index)];
            Place_Buttons();
        }
        if (!stepped) {
            Too_Narrow = Heading_Too_Wide || Hints_Too_Wide || Buttons_Too_Wide;
            break;
        }
        Heading_Size = Sizes[static_cast<std::size_t>(Heading_Index)];
        Hint_Size = Sizes[static_cast<std::size_t>(Hint_Index)];
    }

    // A form of three quarters of a small screen (640 x 480 at 96 dpi) is
    // too narrow for the heading or the buttons even at their smallest
    // sizes, and overlapping buttons take each other's clicks: the form then
    // takes the whole width of the screen and is laid out again, once.
    const float Screen_Width = static_cast<float>(misc_.Sys.forms.Screen_Width());
    if (Too_Narrow && static_cast<float>(f.Width()) < Screen_Width) {
        f.Set_Width(Screen_Width);
        f.Set_Left(0);
        Form_Scale_Width = static_cast<float>(f.Scale_Width());
        Setup_Input_Form();
        return;
    }

    // 14. Entry box frame.
    Draw_Border(misc_, Box_Left, Box_Right, Box_Top, Box_Bottom, 15, f);

    // 15. Heading font.
    Fit_Font_Size(Heading_Size, Heading_Height);
    Heading_Size = f.Font_Size();
    if (Heading_Size > 18) {
        Fit_Font_Size(17.5f, Heading_Height);
        Heading_Size = f.Font_Size();
    }
    f.Set_Font_Bold(true);

    // 16. Heading, centred across the form midway between its top and the box.
    Print_Aligned_Text(Heading, (Box_Top - Form_Scale_Top - Heading_Height) / 2, Form_Scale_Left,
                       14);

    // 17. Label block.
    const float Label_Left = Box_Left + static_cast<float>(Px_X(16));
    const float Label_Right = Label_Left + Label_Width;
    const float Label_Top = Box_Top + static_cast<float>(Px_Y(15));
    f.Box(Label_Left, Label_Top, Label_Right, Label_Top + Inner_Height, QB_Color(12), true);

    // 18. Labels and hints in bright white.
    f.Set_Font_Size(Label_Size);
    f.Set_Font_Bold(true);
    f.Set_Fore_Color(QB_Color(15));

    // 19. Labels and fields, one row each.
    for (int i = 1; i <= Item_Count; ++i) {
        const float Row_Top =
            Box_Top + static_cast<float>(Px_Y(16)) + static_cast<float>(i - 1) * Line_Height;
        const std::string& Label = Item_Label[static_cast<std::size_t>(i)];
        Print_Text_At(Label_Left + (Label_Width - static_cast<float>(f.Text_Width(Label))) / 2,
                      Row_Top + static_cast<float>(Px_Y(2)), Label, 15);
        if (i != Item_Count) {
            const float Divider_Y = Row_Top + Line_Height + static_cast<float>(Px_Y(1));
            f.Line(Label_Left, Divider_Y, Label_Right, Divider_Y, Divider_Colour);
        }
        const float Field_Size = Sizes[static_cast<std::size_t>(
            std::min(Heading_Index, std::max(Heading_Index - 3, Smallest_Field)))];
        f.Set_Font_Size(Field_Size);
        Control& field = txtItemValue(i);
        field.Set_Font_Name(f.Font_Name());
        field.Set_Font_Bold(true);
        field.Set_Font_Size(Field_Size);
        field.Set_Left(Label_Right + static_cast<float>(Px_X(1)));
        field.Set_Width(Field_Width);
        field.Set_Top(Row_Top);
    }

    // 20. Hint lines, centred across the box.
    f.Set_Font_Size(Label_Size);
    f.Set_Font_Size(Hint_Size);
    f.Set_Font_Bold(true);
    Hint_Height = static_cast<float>(f.Text_Height("M"));
    float Y = Box_Bottom +
              (Form_Scale_Height - Box_Bottom - static_cast<float>(Hint_Lines) * Hint_Height) / 3;
    for (int j = 1; j <= 4; ++j) {
        if (Hint[j].empty()) continue;
        Print_Text_At(
            Box_Left + (Box_Right - Box_Left - static_cast<float>(f.Text_Width(Hint[j]))) / 2, Y,
            Hint[j], 15);
        Y = Y + Hint_Height + static_cast<float>(Px_Y(1));
    }
}

}  // namespace nrvnc
