#include "settings/numeric_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace nrvnc {
namespace {

struct Numeric_Case {
    std::string Text;
    std::optional<double> Value;
};

TEST(Numeric_Value, Judges_And_Converts_Texts) {
    const Numeric_Case cases[] = {
        {"0", 0},
        {"1", 1},
        {"254", 254},
        {"007", 7},
        {" 12", 12},
        {"12 ", 12},
        {"\t12\t", 12},
        {"+5", 5},
        {"-5", -5},
        {" -5 ", -5},
        {"4.5", 4.5},
        {"4.", 4},
        {".5", 0.5},
        {"1e2", 100},
        {"1E+2", 100},
        {"2.5e-1", 0.25},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"-.", std::nullopt},
        {"e5", std::nullopt},
        {"1e", std::nullopt},
        {"1e+", std::nullopt},
        {"abc", std::nullopt},
        {"12a", std::nullopt},
        {"a12", std::nullopt},
        {"1 2", std::nullopt},
        {"1.2.3", std::nullopt},
        {"--1", std::nullopt},
        {"+-1", std::nullopt},
        {"- 1", std::nullopt},
        {"0x10", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"1,000", std::nullopt},
        {"1e999", std::nullopt},
        {std::string("1\0", 2), std::nullopt},
        {"1\n", std::nullopt},
    };
    for (const Numeric_Case& c : cases) {
        SCOPED_TRACE("text \"" + c.Text + "\"");
        const std::optional<double> value = Numeric_Value(c.Text);
        ASSERT_EQ(value.has_value(), c.Value.has_value());
        if (c.Value) {
            EXPECT_DOUBLE_EQ(*value, *c.Value);
        }
    }
}

}  // namespace
}  // namespace nrvnc
