// Pixel conversions and the dialog frame, on the fake desktop.
#include "presentation/presentation.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

TEST(Pix_To_Twips, Rounds_The_Single_Precision_Product_Halves_To_Even_On_Each_Axis) {
    const struct {
        double Twips_Per_Pixel;
        int16_t Pixels;
        int32_t Twips;
    } cases[] = {{15, 100, 1500},
                 {15, -4, -60},
                 {12.5, 1, 12},
                 {12.5, 3, 38},
                 {12.5, 5, 62},
                 {12.5, 2, 25},
                 {12.5, -3, -38},
                 {1.25, 6, 8},
                 // 12.5000001 is 12.5 in single precision: a double product
                 // would give 62.5000005 -> 63.
                 {12.5000001, 5, 62}};
    for (const auto& c : cases) {
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.twips_per_pixel_x = c.Twips_Per_Pixel;
        d.forms.twips_per_pixel_y = 1;
        EXPECT_EQ(Pix_To_Twips_X(m, c.Pixels), c.Twips)
            << c.Pixels << " px at " << c.Twips_Per_Pixel;
        d.forms.twips_per_pixel_x = 1;
        d.forms.twips_per_pixel_y = c.Twips_Per_Pixel;
        EXPECT_EQ(Pix_To_Twips_Y(m, c.Pixels), c.Twips)
            << c.Pixels << " px at " << c.Twips_Per_Pixel;
    }
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.twips_per_pixel_x = 1e6;
    EXPECT_THROW(Pix_To_Twips_X(m, 30000), Runtime_Error);  // overflow
}

// Five outlines: the grey band, the cyan edge, red, white and blue lines.
TEST(Draw_Border, Five_Outlines_In_Order_With_Their_Insets_Widths_And_Colours) {
    const struct {
        float Width;
        int Band, Red, Blue;  // insets in pixels of the band (and white line), red and blue lines
    } cases[] = {{19, 12, 7, 18}, {15, 10, 6, 14}, {20, 12, 7, 18}, {5, 4, 3, 2}};
    const float L = 30, R = 7000, T = 45, B = 5000;
    for (int dpi : {96, 120}) {
        for (const auto& c : cases) {
            fake::Fake_Desktop d;
            Misc m(d.platform());
            d.forms.Set_Dots_Per_Inch(dpi);
            Form_Events events;
            std::unique_ptr<Form> form = d.forms.Load_Form(Form_Design{}, events);
            form->Set_Fill_Style(0);
            form->Set_Draw_Width(7);
            Draw_Border(m, L, R, T, B, c.Width, *form);
            const struct {
                int Inset, Line_Width;
                Color Colour;
            } expected[5] = {{c.Band, static_cast<int>(c.Width), Rgb(240, 240, 240)},
                             {0, 1, Rgb(0, 255, 255)},
                             {c.Red, 1, Rgb(255, 0, 0)},
                             {c.Band, 1, Rgb(255, 255, 255)},
                             {c.Blue, 2, Rgb(0, 0, 255)}};
            const auto& ops = d.forms.live.back()->Drawing();
            ASSERT_EQ(ops.size(), 5u) << "width " << c.Width << " at " << dpi;
            for (int i = 0; i < 5; ++i) {
                SCOPED_TRACE("width " + std::to_string(c.Width) + " dpi " + std::to_string(dpi) +
                             " outline " + std::to_string(i + 1));
                const Draw_Op& op = ops[static_cast<std::size_t>(i)];
                const double inset = expected[i].Inset * 1440.0 / dpi;
                EXPECT_EQ(op.What, Draw_Op::Kind::Box);
                EXPECT_EQ(op.X1, L + inset);
                EXPECT_EQ(op.Y1, T + inset);
                EXPECT_EQ(op.X2, R - inset);
                EXPECT_EQ(op.Y2, B - inset);
                EXPECT_EQ(op.Line_Width, expected[i].Line_Width);
                EXPECT_EQ(op.Colour, expected[i].Colour);
            }
            EXPECT_EQ(form->Fill_Style(), 1);
            EXPECT_EQ(form->Draw_Width(), 2);
        }
    }
}

}  // namespace
}  // namespace nrvnc
