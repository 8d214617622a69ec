// The display font choice and the measurement of its exact sizes.
#include <gtest/gtest.h>

#include <cmath>

#include "presentation/frm_flat_black.h"
#include "presentation/presentation.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

const char* const No_Font_Text = "        Useable fonts cannot be found for the Display.";

struct Choice_Case {
    std::vector<std::string> Installed;
    std::string Chosen;
};

TEST(Select_Display_Font, Takes_The_First_Preferred_Name_Installed) {
    const Choice_Case cases[] = {
        {{"Arial", "Courier New", "Times New Roman"}, "Courier New"},
        {{"Consolas", "Lucida Console", "Courier New"}, "Courier New"},
        {{"Lucida Console", "Consolas", "Lucida Sans Typewriter"}, "Lucida Sans Typewriter"},
        {{"Lucida Console", "Consolas"}, "Consolas"},
        {{"Ms Mincho", "Lucida Console"}, "Lucida Console"},
        {{"@Ms Mincho", "Ms Mincho"}, "Ms Mincho"},
        {{"@Ms Mincho"}, "@Ms Mincho"},
        // Letter case and the whole name count.
        {{"courier new", "COURIER NEW", "Consolas"}, "Consolas"},
        {{"Courier New Bold", " Courier New", "Courier", "Lucida Console"}, "Lucida Console"},
        {{"MS Mincho", "@Ms Mincho"}, "@Ms Mincho"},
    };
    for (const Choice_Case& c : cases) {
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.fonts = c.Installed;
        Select_Display_Font(m);
        EXPECT_EQ(m.Display_Font, c.Chosen);
        EXPECT_TRUE(d.forms.message_boxes.empty());
        EXPECT_FALSE(m.Font_Sizes.empty()) << c.Chosen;
    }
}

TEST(Select_Display_Font, None_Installed_Shows_One_Message_And_Goes_On) {
    for (std::vector<std::string> installed :
         {std::vector<std::string>{},
          std::vector<std::string>{"Arial", "courier new", "consolas"}}) {
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.fonts = installed;
        m.Display_Font = "left over";
        m.Font_Sizes = {7.5f, 9.0f};
        Select_Display_Font(m);
        ASSERT_EQ(d.forms.message_boxes.size(), 1u);
        EXPECT_EQ(d.forms.message_boxes[0].Text, No_Font_Text);
        EXPECT_EQ(d.forms.message_boxes[0].Title, "NRVNC");
        EXPECT_EQ(m.Display_Font, "");
        EXPECT_EQ(m.Font_Sizes, (std::vector<float>{7.5f, 9.0f}));
        EXPECT_TRUE(d.forms.loaded_captions.empty());  // nothing was measured
    }
}

// The sizes the fake reports back unchanged, worked out here from its rule
// (whole pixels: a multiple of twips-per-pixel / 20 points) and the trial
// sequence 1.0, 1.05, ... kept in double precision up to 40.
std::vector<float> Whole_Pixel_Sizes(double twips_per_pixel) {
    std::vector<float> kept;
    double points_per_pixel = twips_per_pixel / 20.0;
    int trials = 0;
    for (double s = 1.0;; s += 0.05) {
        ++trials;
        float trial = static_cast<float>(s);
        double px = std::max(1.0, std::round(trial / points_per_pixel));
        if (static_cast<float>(px * points_per_pixel) == trial) kept.push_back(trial);
        if (!(s + 0.05 <= 40.0)) break;
    }
    EXPECT_EQ(trials, 781);
    return kept;
}

void Expect_Strictly_Increasing_Within_1_To_40(const std::vector<float>& sizes) {
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_GE(sizes[i], 1.0f);
        EXPECT_LE(sizes[i], 40.0f);
        if (i > 0) {
            EXPECT_LT(sizes[i - 1], sizes[i]);
        }
    }
}

TEST(Get_Font_Sizes, Keeps_The_Sizes_Reported_Back_Unchanged) {
    for (int dpi : {96, 120}) {
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.Set_Dots_Per_Inch(dpi);
        Select_Display_Font(m);
        ASSERT_EQ(m.Display_Font, "Courier New");
        EXPECT_EQ(m.Font_Sizes, Whole_Pixel_Sizes(1440.0 / dpi)) << dpi;
        Expect_Strictly_Increasing_Within_1_To_40(m.Font_Sizes);
        // Every size comes back unchanged from a form.
        for (float size : m.Font_Sizes)
            EXPECT_EQ(d.forms.metrics.Renderable_Size("Courier New", size), size);
    }
    // Hand-counted at 96 dpi: 0.75-point steps from 1.5 to 39.75.
    fake::Fake_Desktop d;
    Misc m(d.platform());
    Select_Display_Font(m);
    ASSERT_EQ(m.Font_Sizes.size(), 52u);
    EXPECT_EQ(m.Font_Sizes.front(), 1.5f);
    EXPECT_EQ(m.Font_Sizes[1], 2.25f);
    EXPECT_EQ(m.Font_Sizes.back(), 39.75f);
}

TEST(Get_Font_Sizes, A_Font_With_Its_Own_Sizes) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    // 0.5 and 41 lie outside the trials; 40 is the last trial.
    d.forms.metrics.fixed_sizes["Courier New"] = {41, 12.5f, 8, 0.5f, 10, 40};
    Select_Display_Font(m);
    EXPECT_EQ(m.Font_Sizes, (std::vector<float>{8, 10, 12.5f, 40}));
    Expect_Strictly_Increasing_Within_1_To_40(m.Font_Sizes);
}

TEST(Get_Font_Sizes, No_Exact_Size_Leaves_The_List_As_It_Was) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.metrics.fixed_sizes["Courier New"] = {0.5f, 41};
    m.Font_Sizes = {11};
    Select_Display_Font(m);
    EXPECT_EQ(m.Display_Font, "Courier New");
    EXPECT_EQ(m.Font_Sizes, std::vector<float>{11});
    EXPECT_TRUE(d.forms.message_boxes.empty());
}

TEST(Get_Font_Sizes, Only_The_Display_Font_Is_Measured) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.fonts = {"Consolas"};
    d.forms.metrics.fixed_sizes["Courier New"] = {9};
    d.forms.metrics.fixed_sizes["Consolas"] = {11, 13};
    Select_Display_Font(m);
    EXPECT_EQ(m.Font_Sizes, (std::vector<float>{11, 13}));
}

TEST(FrmFlatBlack, Loaded_Only_While_Measuring_Full_Screen_At_The_Corner) {
    for (int dpi : {96, 120}) {
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.forms.Set_Dots_Per_Inch(dpi);
        d.forms.screen_width_px = 1280;
        d.forms.screen_height_px = 1024;
        const double tpp = 1440.0 / dpi;

        struct Seen {
            std::size_t Live = 0;
            double Left = -1, Top = -1, Width = 0, Height = 0;
            bool Visible = true;
            Color Back = 1, Fore = 1;
        } seen;
        // Runs inside the events let run right after loading.
        d.operator_.Run([&] {
            seen.Live = d.forms.live.size();
            if (d.forms.live.empty()) return;
            fake::Fake_Form* f = d.forms.live.front();
            seen = {d.forms.live.size(), f->Left(),    f->Top(),        f->Width(),
                    f->Height(),         f->Visible(), f->Back_Color(), f->Design().Fore_Color};
        });
        EXPECT_TRUE(d.forms.live.empty());
        Select_Display_Font(m);

        ASSERT_EQ(d.forms.loaded_captions.size(), 1u);
        EXPECT_EQ(seen.Live, 1u);
        EXPECT_EQ(seen.Left, 0);
        EXPECT_EQ(seen.Top, 0);
        EXPECT_EQ(seen.Width, 1280 * tpp);
        EXPECT_EQ(seen.Height, 1024 * tpp);
        EXPECT_FALSE(seen.Visible);
        EXPECT_EQ(seen.Back, Rgb(0, 0, 0));
        EXPECT_EQ(seen.Fore, d.forms.System_Color(8));
        EXPECT_TRUE(d.forms.live.empty());
        EXPECT_EQ(d.forms.unloads, 1);
        EXPECT_FALSE(m.frmFlatBlack().Loaded());
    }
}

TEST(FrmFlatBlack, Any_Load_Sizes_It_To_The_Screen) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.screen_width_px = 800;
    d.forms.screen_height_px = 600;
    Form& f = m.frmFlatBlack().form();
    EXPECT_EQ(f.Left(), 0);
    EXPECT_EQ(f.Top(), 0);
    EXPECT_EQ(f.Width(), 12000);
    EXPECT_EQ(f.Height(), 9000);
    EXPECT_FALSE(f.Visible());
    m.frmFlatBlack().Unload();
    EXPECT_TRUE(d.forms.live.empty());
}

}  // namespace
}  // namespace nrvnc
