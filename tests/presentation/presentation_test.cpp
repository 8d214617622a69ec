// Pixel conversions, the dialog frame and the palette, on the fake desktop.
#include "presentation/presentation.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

struct Pix_Case {
    double Twips_Per_Pixel;
    int16_t Pixels;
    int32_t Twips;
};

TEST(Pix_To_Twips, Rounds_The_Single_Precision_Product_Halves_To_Even) {
    const Pix_Case cases[] = {
        {15, 100, 1500},
        {15, 0, 0},
        {15, -4, -60},
        {12, 7, 84},
        {12.5, 1, 12},
        {12.5, 3, 38},
        {12.5, 5, 62},
        {12.5, 7, 88},
        {12.5, 2, 25},
        {12.5, -1, -12},
        {12.5, -3, -38},
        {12.5, -5, -62},
        // 12.5000001 is 12.5 in single precision: a double product would
        // give 12.5000001 -> 13 and 62.5000005 -> 63.
        {12.5000001, 1, 12},
        {12.5000001, 5, 62},
        {26.6666666, 3, 80},
        {1.25, 2, 2},
        {1.25, 6, 8},
        {1.25, 10, 12},
    };
    for (const Pix_Case& c : cases) {
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
}

TEST(Pix_To_Twips, Reads_The_Screen_Anew_And_Keeps_The_Axes_Apart) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    EXPECT_EQ(Pix_To_Twips_X(m, 100), 1500);
    d.forms.Set_Dots_Per_Inch(120);
    EXPECT_EQ(Pix_To_Twips_X(m, 100), 1200);
    EXPECT_EQ(Pix_To_Twips_Y(m, 80), 960);
    d.forms.twips_per_pixel_x = 10;
    d.forms.twips_per_pixel_y = 20;
    EXPECT_EQ(Pix_To_Twips_X(m, 3), 30);
    EXPECT_EQ(Pix_To_Twips_Y(m, 3), 60);
}

TEST(Pix_To_Twips, Overflow_Is_An_Error) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.twips_per_pixel_x = 1e6;
    try {
        Pix_To_Twips_X(m, 30000);
        FAIL() << "no error";
    } catch (const Runtime_Error& e) {
        EXPECT_EQ(e.Number, Error_Number::Overflow);
    }
}

TEST(QB_Color, Is_The_Sixteen_Colour_Palette) {
    const Color expected[16] = {
        Rgb(0, 0, 0),       Rgb(0, 0, 128),   Rgb(0, 128, 0),   Rgb(0, 128, 128),
        Rgb(128, 0, 0),     Rgb(128, 0, 128), Rgb(128, 128, 0), Rgb(192, 192, 192),
        Rgb(128, 128, 128), Rgb(0, 0, 255),   Rgb(0, 255, 0),   Rgb(0, 255, 255),
        Rgb(255, 0, 0),     Rgb(255, 0, 255), Rgb(255, 255, 0), Rgb(255, 255, 255)};
    for (int n = 0; n < 16; ++n) EXPECT_EQ(QB_Color(n), expected[n]) << n;
    EXPECT_EQ(QB_Color(9), 0xFF0000u);  // blue in the high byte
    EXPECT_EQ(QB_Color(12), 0x0000FFu);
    EXPECT_THROW(QB_Color(16), Runtime_Error);
    EXPECT_THROW(QB_Color(-1), Runtime_Error);
}

// A plain form to draw on.
struct Surface_Fixture {
    explicit Surface_Fixture(int dpi) : m(d.platform()) {
        d.forms.Set_Dots_Per_Inch(dpi);
        Form_Design design;
        design.Caption = "surface";
        form = d.forms.Load_Form(design, events);
        fake = d.forms.live.back();
    }
    fake::Fake_Desktop d;
    Misc m;
    Form_Events events;
    std::unique_ptr<Form> form;
    fake::Fake_Form* fake = nullptr;
};

struct Border_Case {
    float Width;
    int Band, Red, Blue;  // insets in pixels of the band (and white line), red and blue lines
};

TEST(Draw_Border, Five_Outlines_In_Order_With_Their_Insets_Widths_And_Colours) {
    const Border_Case cases[] = {{19, 12, 7, 18}, {15, 10, 6, 14}, {20, 12, 7, 18}, {5, 4, 3, 2}};
    const float L = 30, R = 7000, T = 45, B = 5000;
    for (int dpi : {96, 120}) {
        const double tpp = 1440.0 / dpi;
        for (const Border_Case& c : cases) {
            Surface_Fixture s(dpi);
            s.form->Set_Fill_Style(0);
            s.form->Set_Draw_Width(7);
            Draw_Border(s.m, L, R, T, B, c.Width, *s.form);

            struct Outline {
                int Inset, Line_Width;
                Color Colour;
            };
            const Outline expected[5] = {
                {c.Band, static_cast<int>(c.Width), s.d.forms.System_Color(15)},
                {0, 1, Rgb(0, 255, 255)},
                {c.Red, 1, Rgb(255, 0, 0)},
                {c.Band, 1, Rgb(255, 255, 255)},
                {c.Blue, 2, Rgb(0, 0, 255)},
            };
            const auto& ops = s.fake->Drawing();
            ASSERT_EQ(ops.size(), 5u) << "width " << c.Width << " at " << dpi;
            for (int i = 0; i < 5; ++i) {
                SCOPED_TRACE("width " + std::to_string(c.Width) + " dpi " + std::to_string(dpi) +
                             " outline " + std::to_string(i + 1));
                const Draw_Op& op = ops[static_cast<std::size_t>(i)];
                const double inset = expected[i].Inset * tpp;
                EXPECT_EQ(op.What, Draw_Op::Kind::Box);
                EXPECT_DOUBLE_EQ(op.X1, L + inset);
                EXPECT_DOUBLE_EQ(op.Y1, T + inset);
                EXPECT_DOUBLE_EQ(op.X2, R - inset);
                EXPECT_DOUBLE_EQ(op.Y2, B - inset);
                EXPECT_EQ(op.Line_Width, expected[i].Line_Width);
                EXPECT_EQ(op.Colour, expected[i].Colour);
            }
            EXPECT_EQ(s.form->Fill_Style(), 1);
            EXPECT_EQ(s.form->Draw_Width(), 2);
        }
    }
}

TEST(Draw_Border, Width_19_At_96_Dpi_Literal_Rectangles) {
    Surface_Fixture s(96);
    Draw_Border(s.m, 0, 3000, 0, 2000, 19, *s.form);
    const auto& ops = s.fake->Drawing();
    ASSERT_EQ(ops.size(), 5u);
    const double rects[5][4] = {{180, 180, 2820, 1820},
                                {0, 0, 3000, 2000},
                                {105, 105, 2895, 1895},
                                {180, 180, 2820, 1820},
                                {270, 270, 2730, 1730}};
    for (int i = 0; i < 5; ++i) {
        const Draw_Op& op = ops[static_cast<std::size_t>(i)];
        EXPECT_EQ(op.X1, rects[i][0]) << i;
        EXPECT_EQ(op.Y1, rects[i][1]) << i;
        EXPECT_EQ(op.X2, rects[i][2]) << i;
        EXPECT_EQ(op.Y2, rects[i][3]) << i;
    }
    EXPECT_EQ(ops[0].Colour, Rgb(240, 240, 240));  // the fake's button face
    EXPECT_EQ(ops[0].Line_Width, 19);
}

TEST(Draw_Border, Insets_Go_Through_The_Rounded_Pixel_Conversion) {
    // At 12.5 twips per pixel the 7-pixel red inset is 87.5 -> 88 twips and
    // the 12-pixel band 150; different axes use their own resolution.
    Surface_Fixture s(96);
    s.d.forms.twips_per_pixel_x = 12.5;
    s.d.forms.twips_per_pixel_y = 10;
    Draw_Border(s.m, 0, 1000, 0, 800, 19, *s.form);
    const auto& ops = s.fake->Drawing();
    ASSERT_EQ(ops.size(), 5u);
    EXPECT_EQ(ops[2].X1, 88);
    EXPECT_EQ(ops[2].X2, 1000 - 88);
    EXPECT_EQ(ops[2].Y1, 70);
    EXPECT_EQ(ops[0].X1, 150);
    EXPECT_EQ(ops[4].X1, 225);
    EXPECT_EQ(ops[4].Y2, 800 - 180);
}

}  // namespace
}  // namespace nrvnc
