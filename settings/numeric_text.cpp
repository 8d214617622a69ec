#include "settings/numeric_text.h"

#include <charconv>

namespace nrvnc {

namespace {

bool Is_Blank(char c) {
    return c == ' ' || c == '\t';
}
bool Is_Digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> Numeric_Value(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && Is_Blank(text[first])) ++first;
    while (last > first && Is_Blank(text[last - 1])) --last;

    // Check the shape by hand: from_chars alone would accept "inf", "nan"
    // and hexadecimal forms, and would stop early on trailing junk.
    std::size_t i = first;
    bool negative = false;
    if (i < last && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t number_start = i;
    std::size_t digits = 0;
    while (i < last && Is_Digit(text[i])) ++i, ++digits;
    if (i < last && text[i] == '.') {
        ++i;
        while (i < last && Is_Digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < last && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < last && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponent_digits = 0;
        while (i < last && Is_Digit(text[i])) ++i, ++exponent_digits;
        if (exponent_digits == 0) return std::nullopt;
    }
    if (i != last) return std::nullopt;

    double value = 0;
    auto [end, error] = std::from_chars(text.data() + number_start, text.data() + last, value,
                                        std::chars_format::general);
    // Out of range (beyond what a double holds, either way) is no usable
    // number.
    if (error != std::errc() || end != text.data() + last) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace nrvnc
