// Fonts from fontconfig, sizes at whole pixels, text measured with Xft.
#include "tests/x11/x11_test_support.h"
// clang-format off
#include "platform/error.h"
#include "platform/x11/fonts.h"
// clang-format on

#include <algorithm>
#include <cmath>

namespace x11_test {
namespace {

class Fonts_Test : public X11_Test {};

TEST_F(Fonts_Test, CourierNewIsListedWhenAMetricCompatibleFaceStandsForIt) {
    if (!nrvnc::Family_Resolves_To("Liberation Mono", {}))
        GTEST_SKIP() << "fonts-liberation is not installed";
    std::vector<std::string> fonts;
    for (int i = 0; i < runtime_->Font_Count(); ++i) fonts.push_back(runtime_->Font(i));
    EXPECT_TRUE(std::is_sorted(fonts.begin(), fonts.end()));
    EXPECT_EQ(std::adjacent_find(fonts.begin(), fonts.end()), fonts.end());  // each once
    EXPECT_NE(std::find(fonts.begin(), fonts.end(), "Courier New"), fonts.end());
    EXPECT_NE(std::find(fonts.begin(), fonts.end(), "Liberation Mono"), fonts.end());
    // A family nobody has is not bound to a stand-in of the wrong kind.
    EXPECT_FALSE(nrvnc::Family_Resolves_To("No Such Family 12345", {"Liberation Mono"}));
    EXPECT_THROW(runtime_->Font(runtime_->Font_Count()), nrvnc::Runtime_Error);
    EXPECT_THROW(runtime_->Font(-1), nrvnc::Runtime_Error);
}

TEST_F(Fonts_Test, SizesReadBackAreWholePixelSizes) {
    // At 96 dpi a pixel is 0.75 point.
    const std::pair<float, float> cases[] = {
        {0.3f, 0.75f},  {1.0f, 0.75f},   {8.25f, 8.25f},  {9.0f, 9.0f},    {10.0f, 9.75f},
        {12.0f, 12.0f}, {14.0f, 14.25f}, {16.0f, 15.75f}, {20.0f, 20.25f}, {40.0f, 39.75f},
    };
    const auto& fonts = runtime_->Fonts();
    for (auto [set, expected] : cases)
        EXPECT_EQ(fonts.Renderable_Size("Courier New", set), expected) << set;

    // A form reads back what the screen renders; a size read back is kept
    // when it is set again.
    nrvnc::Form_Events events;
    auto form = runtime_->Load_Form(Dialog_Design("sizes"), events);
    form->Set_Font_Size(10);
    EXPECT_EQ(form->Font_Size(), 9.75f);
    form->Set_Font_Size(form->Font_Size());
    EXPECT_EQ(form->Font_Size(), 9.75f);
}

TEST_F(Fonts_Test, TextIsMeasuredInWholePixelsOfTheFont) {
    nrvnc::Font_Spec courier{"Courier New", 14.25f, true};
    const auto& fonts = runtime_->Fonts();
    double h = fonts.Text_Width(courier, "H");
    EXPECT_GT(h, 0);
    EXPECT_EQ(std::fmod(h, 15.0), 0.0);  // whole pixels
    // Fixed pitch: every character as wide as the next.
    EXPECT_DOUBLE_EQ(fonts.Text_Width(courier, "HHHHHHHHHHHHHH"), 14 * h);
    EXPECT_DOUBLE_EQ(fonts.Text_Width(courier, " Accept "), 8 * h);
    EXPECT_DOUBLE_EQ(fonts.Text_Width(courier, ""), 0);
    // A line is as high whatever its text, and grows with the size.
    double line = fonts.Text_Height(courier, "H");
    EXPECT_EQ(fonts.Text_Height(courier, "."), line);
    EXPECT_EQ(std::fmod(line, 15.0), 0.0);
    nrvnc::Font_Spec larger = courier;
    larger.Size = 20.25f;
    EXPECT_GT(fonts.Text_Height(larger, "H"), line);
    EXPECT_GT(fonts.Text_Width(larger, "H"), h);
    // Latin-1 text from a key press is measured as one character.
    EXPECT_DOUBLE_EQ(fonts.Text_Width(courier, "\xE9"), h);
}

}  // namespace
}  // namespace x11_test

// fontconfig keeps its configuration, loaded on first use, until the
// process ends; the leak checker of sanitizer builds need not report it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
