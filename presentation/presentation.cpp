#include "presentation/presentation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/error.h"
#include "presentation/frm_flat_black.h"
#include "session/state/misc.h"

namespace nrvnc {

namespace {

// Rounds to the nearest whole number, halves to the even neighbour, as the
// conversions of the forms runtime do; outside 32 bits is an overflow.
int32_t Round_To_Long(double value) {
    double whole = std::floor(value);
    double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (!(whole >= std::numeric_limits<int32_t>::min() &&
          whole <= std::numeric_limits<int32_t>::max()))
        throw Runtime_Error(Error_Number::Overflow, "Overflow");
    return static_cast<int32_t>(whole);
}

// n pixels times the twips per pixel, as a single-precision product.
int32_t Pixels_To_Twips(int16_t n, double twips_per_pixel) {
    const float product =
        static_cast<float>(static_cast<float>(n) * static_cast<float>(twips_per_pixel));
    return Round_To_Long(product);
}

// One outline of the frame, inset by the same number of pixels on all sides.
void Inset_Box(Misc& misc, float Left, float Right, float Top, float Bottom, int16_t Inset,
               Color Colour, Form& Surface) {
    const double dx = Pix_To_Twips_X(misc, Inset);
    const double dy = Pix_To_Twips_Y(misc, Inset);
    Surface.Box(static_cast<double>(Left) + dx, static_cast<double>(Top) + dy,
                static_cast<double>(Right) - dx, static_cast<double>(Bottom) - dy, Colour, false);
}

// The 781 trial sizes from 1 to 40 points. The running size stays in double
// precision so that the trials are exactly 1.0, 1.05, ... as the sums come
// out; the form gets singles.
template <typename Trial> void For_Each_Trial_Size(Trial trial) {
    double size = 1.0;
    while (true) {
        trial(static_cast<float>(size));
        if (size + 0.05 <= 40.0)
            size += 0.05;
        else
            break;
    }
}

}  // namespace

int32_t Pix_To_Twips_X(Misc& misc, int16_t n) {
    return Pixels_To_Twips(n, misc.Sys.forms.Twips_Per_Pixel_X());
}

int32_t Pix_To_Twips_Y(Misc& misc, int16_t n) {
    return Pixels_To_Twips(n, misc.Sys.forms.Twips_Per_Pixel_Y());
}

void Draw_Border(Misc& misc, float Left, float Right, float Top, float Bottom, float Width,
                 Form& Surface) {
    // Insets in pixels derived from the band width: the band sits d pixels
    // inside, the red line b, the blue line c.
    const int32_t a = Round_To_Long(static_cast<double>(Width) / 2.0);
    const int32_t b = Round_To_Long(a / 2.0 + 2.0);
    const int32_t c = 2 * a - 2;
    const int32_t d = a + 2;

    Surface.Set_Fill_Style(1);
    Surface.Set_Draw_Width(Round_To_Long(Width));
    Inset_Box(misc, Left, Right, Top, Bottom, static_cast<int16_t>(d),
              misc.Sys.forms.System_Color(15), Surface);

    Surface.Set_Draw_Width(1);
    Inset_Box(misc, Left, Right, Top, Bottom, 0, QB_Color(11), Surface);
    Inset_Box(misc, Left, Right, Top, Bottom, static_cast<int16_t>(b), QB_Color(12), Surface);

    Surface.Set_Draw_Width(1);
    Inset_Box(misc, Left, Right, Top, Bottom, static_cast<int16_t>(d), QB_Color(15), Surface);

    Surface.Set_Draw_Width(2);
    Inset_Box(misc, Left, Right, Top, Bottom, static_cast<int16_t>(c), QB_Color(9), Surface);
}

Color QB_Color(int number) {
    static constexpr Color Palette[16] = {
        Rgb(0, 0, 0),       Rgb(0, 0, 128),   Rgb(0, 128, 0),   Rgb(0, 128, 128),
        Rgb(128, 0, 0),     Rgb(128, 0, 128), Rgb(128, 128, 0), Rgb(192, 192, 192),
        Rgb(128, 128, 128), Rgb(0, 0, 255),   Rgb(0, 255, 0),   Rgb(0, 255, 255),
        Rgb(255, 0, 0),     Rgb(255, 0, 255), Rgb(255, 255, 0), Rgb(255, 255, 255)};
    if (number < 0 || number > 15)
        throw Runtime_Error(Error_Number::Invalid_Procedure_Call,
                            "Invalid procedure call or argument");
    return Palette[number];
}

void Select_Display_Font(Misc& misc) {
    static const char* const Preferred[] = {"Courier New", "Lucida Sans Typewriter",
                                            "Consolas",    "Lucida Console",
                                            "Ms Mincho",   "@Ms Mincho"};
    misc.Display_Font.clear();
    Forms_Runtime& forms = misc.Sys.forms;
    for (const char* name : Preferred) {
        const int count = forms.Font_Count();
        for (int i = 0; i < count; ++i) {
            // Whole name, letter case included.
            if (forms.Font(i) == name) {
                misc.Display_Font = name;
                Get_Font_Sizes(misc);
                return;
            }
        }
    }
    forms.Message_Box("        Useable fonts cannot be found for the Display.", forms.App_Title());
}

std::vector<float> Font_Size_Ladder(Misc& misc, Form& Surface) {
    const float kept = Surface.Font_Size();
    std::vector<float> sizes = misc.Font_Sizes;
    For_Each_Trial_Size([&](float trial) {
        Surface.Set_Font_Size(trial);
        sizes.push_back(Surface.Font_Size());
    });
    Surface.Set_Font_Size(kept);
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

void Get_Font_Sizes(Misc& misc) {
    FrmFlatBlack& surface = frmFlatBlack(misc);
    surface.Load();
    misc.Do_Events();
    Form& form = surface.form();
    form.Set_Font_Name(misc.Display_Font);

    std::vector<float> sizes;
    For_Each_Trial_Size([&](float trial) {
        form.Set_Font_Size(trial);
        if (form.Font_Size() == trial) sizes.push_back(form.Font_Size());
    });

    surface.Unload();
    misc.Do_Events();
    if (!sizes.empty()) misc.Font_Sizes = sizes;
}

}  // namespace nrvnc
