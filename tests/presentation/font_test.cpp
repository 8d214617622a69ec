// The display font choice and the measurement of its exact sizes.
#include <gtest/gtest.h>

#include "presentation/frm_flat_black.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

TEST(Select_Display_Font, Takes_The_First_Preferred_Name_Installed_Letter_Case_Counting) {
    const struct {
        std::vector<std::string> Installed;
        std::string Chosen;
    } cases[] = {
        {{"Consolas", "Lucida Console", "Courier New"}, "Courier New"},
        {{"Lucida Console", "Consolas", "Lucida Sans Typewriter"}, "Lucida Sans Typewriter"},
        {{"Lucida Console", "Consolas"}, "Consolas"},
        {{"Ms Mincho", "Lucida Console"}, "Lucida Console"},
        {{"@Ms Mincho", "Ms Mincho"}, "Ms Mincho"},
        {{"courier new", "COURIER NEW", "Courier New Bold", " Courier New", "Consolas"},
         "Consolas"},
        {{"MS Mincho", "@Ms Mincho"}, "@Ms Mincho"},
    };
    for (const auto& c : cases) {
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
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.fonts = {"Arial", "courier new", "consolas"};
    m.Display_Font = "left over";
    m.Font_Sizes = {7.5f, 9.0f};
    Select_Display_Font(m);
    ASSERT_EQ(d.forms.message_boxes.size(), 1u);
    EXPECT_EQ(d.forms.message_boxes[0].Text,
              "        Useable fonts cannot be found for the Display.");
    EXPECT_EQ(d.forms.message_boxes[0].Title, "NRVNC");
    EXPECT_EQ(m.Display_Font, "");
    EXPECT_EQ(m.Font_Sizes, (std::vector<float>{7.5f, 9.0f}));
    EXPECT_TRUE(d.forms.loaded_captions.empty());  // nothing was measured
}

TEST(Get_Font_Sizes, Only_The_Display_Font_Is_Measured_And_Its_Own_Sizes_Are_Sorted) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    d.forms.fonts = {"Consolas"};
    d.forms.metrics.fixed_sizes["Courier New"] = {9};
    // 0.5 and 41 lie outside the trials; 40 is the last trial.
    d.forms.metrics.fixed_sizes["Consolas"] = {41, 12.5f, 8, 0.5f, 10, 40};
    Select_Display_Font(m);
    EXPECT_EQ(m.Font_Sizes, (std::vector<float>{8, 10, 12.5f, 40}));
    // The measuring form is gone again.
    EXPECT_EQ(d.forms.loaded_captions.size(), 1u);
    EXPECT_TRUE(d.forms.live.empty());
    EXPECT_FALSE(frmFlatBlack(m).Loaded());
}

}  // namespace
}  // namespace nrvnc
