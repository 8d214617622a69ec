// Pixel conversions, the dialog frame and the display font choice, on the
// fake desktop.
#include "presentation/presentation.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <tuple>

#include "platform/error.h"
#include "presentation/frm_flat_black.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

TEST(Pix_To_Twips, Rounds_The_Single_Precision_Product_Halves_To_Even_On_Each_Axis) {
    // Twips per pixel, pixels, twips. 12.5000001 is 12.5 in single precision:
    // a double product would give 62.5000005 -> 63.
    const std::tuple<double, int16_t, int32_t> cases[] = {
        {15, 100, 1500}, {15, -4, -60},   {12.5, 1, 12}, {12.5, 3, 38},      {12.5, 5, 62},
        {12.5, 2, 25},   {12.5, -3, -38}, {1.25, 6, 8},  {12.5000001, 5, 62}};
    fake::Fake_Desktop d;
    Misc m(d.platform());
    for (const auto& [per_pixel, pixels, twips] : cases) {
        d.forms.twips_per_pixel_x = per_pixel;
        d.forms.twips_per_pixel_y = 1;
        EXPECT_EQ(Pix_To_Twips_X(m, pixels), twips) << pixels << " px at " << per_pixel;
        d.forms.twips_per_pixel_x = 1;
        d.forms.twips_per_pixel_y = per_pixel;
        EXPECT_EQ(Pix_To_Twips_Y(m, pixels), twips) << pixels << " px at " << per_pixel;
    }
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
    const auto box = [](double x1, double y1, double x2, double y2, int width, Color colour) {
        std::ostringstream s;
        s << std::setprecision(17) << "box " << x1 << " " << y1 << " " << x2 << " " << y2 << " w"
          << width << " c" << colour << "; ";
        return s.str();
    };
    // A box drawn that many pixels inside the given edges.
    const auto inside = [&](double inset, int width, Color colour) {
        return box(L + inset, T + inset, R - inset, B - inset, width, colour);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("width " + std::to_string(c.Width));
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.Set_Dots_Per_Inch(120);  // 12 twips per pixel, not the 15 of 96 dpi
        Form_Events events;
        std::unique_ptr<Form> form = d.forms.Load_Form(Form_Design{}, events);
        form->Set_Fill_Style(0);
        form->Set_Draw_Width(7);
        Draw_Border(m, L, R, T, B, c.Width, *form);
        const double px = 12;
        std::string drawn;
        for (const Draw_Op& op : d.forms.live.back()->Drawing())
            drawn += op.What != Draw_Op::Kind::Box
                         ? "not a box; "
                         : box(op.X1, op.Y1, op.X2, op.Y2, op.Line_Width, op.Colour);
        EXPECT_EQ(drawn, inside(c.Band * px, static_cast<int>(c.Width), Rgb(240, 240, 240)) +
                             inside(0, 1, Rgb(0, 255, 255)) +
                             inside(c.Red * px, 1, Rgb(255, 0, 0)) +
                             inside(c.Band * px, 1, Rgb(255, 255, 255)) +
                             inside(c.Blue * px, 2, Rgb(0, 0, 255)));
        EXPECT_EQ(form->Fill_Style(), 1);
        EXPECT_EQ(form->Draw_Width(), 2);
    }
}

// The first preferred name installed, letter case counting, is measured (its
// own sizes sorted, those outside the trials left out) on a form unloaded
// again; none installed shows one message, keeps the sizes and measures nothing.
TEST(Select_Display_Font, Takes_The_First_Preferred_Name_Installed_And_Measures_Only_It) {
    using Sizes = std::vector<float>;
    const Sizes kept{7.5f, 9.0f};
    const struct {
        std::vector<std::string> Installed;
        std::string Chosen;
        Sizes Measured = {};  // empty: any sizes but those kept
    } cases[] = {
        {{"Consolas", "Lucida Console", "Courier New"}, "Courier New"},
        {{"Lucida Console", "Consolas", "Lucida Sans Typewriter"}, "Lucida Sans Typewriter"},
        {{"Lucida Console", "Consolas"}, "Consolas", {8, 10, 12.5f, 40}},
        {{"Ms Mincho", "Lucida Console"}, "Lucida Console"},
        {{"@Ms Mincho", "Ms Mincho"}, "Ms Mincho"},
        {{"courier new", "COURIER NEW", "Courier New Bold", " Courier New", "Consolas"},
         "Consolas",
         {8, 10, 12.5f, 40}},
        {{"MS Mincho", "@Ms Mincho"}, "@Ms Mincho"},
        {{"Arial", "courier new", "consolas"}, "", kept},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("chosen \"" + c.Chosen + "\"");
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.fonts = c.Installed;
        d.forms.metrics.fixed_sizes["Courier New"] = {9};
        // 0.5 and 41 lie outside the trials; 40 is the last trial.
        d.forms.metrics.fixed_sizes["Consolas"] = {41, 12.5f, 8, 0.5f, 10, 40};
        m.Display_Font = "left over";
        m.Font_Sizes = kept;
        Select_Display_Font(m);
        EXPECT_EQ(m.Display_Font, c.Chosen);
        if (c.Measured.empty())
            EXPECT_NE(m.Font_Sizes, kept);
        else
            EXPECT_EQ(m.Font_Sizes, c.Measured);
        EXPECT_TRUE(d.forms.live.empty());
        EXPECT_FALSE(frmFlatBlack(m).Loaded());
        std::string boxes;
        for (const auto& box : d.forms.message_boxes) boxes += box.Title + ": " + box.Text;
        EXPECT_EQ(boxes, c.Chosen.empty()
                             ? "NRVNC:         Useable fonts cannot be found for the Display."
                             : "");
    }
}

}  // namespace
}  // namespace nrvnc
