// The display font choice and the measurement of its exact sizes.
#include <gtest/gtest.h>

#include "presentation/frm_flat_black.h"
#include "presentation/presentation.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

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
