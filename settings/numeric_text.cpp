#include "settings/numeric_text.h"

#include <charconv>

#include "platform/error.h"

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

int32_t Long_Value(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos)
        throw Runtime_Error(Error_Number::Type_Mismatch, "Type mismatch");
    std::string v = text.substr(first, last - first + 1);

    std::size_t i = 0;
    bool negative = false;
    if (v[i] == '+' || v[i] == '-') negative = v[i++] == '-';

    // Saturates far above the 32-bit range, so long digit runs cannot wrap.
    constexpr int64_t Saturated = int64_t{1} << 40;
    int64_t whole = 0;
    std::size_t digits = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i, ++digits)
        if (whole < Saturated) whole = whole * 10 + (v[i] - '0');

    int first_fraction_digit = -1;
    bool fraction_beyond_half = false;
    if (i < v.size() && v[i] == '.') {
        for (++i; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i, ++digits) {
            if (first_fraction_digit < 0)
                first_fraction_digit = v[i] - '0';
            else if (v[i] != '0')
                fraction_beyond_half = true;
        }
    }
    if (digits == 0 || i != v.size())
        throw Runtime_Error(Error_Number::Type_Mismatch, "Type mismatch");

    if (first_fraction_digit > 5 || (first_fraction_digit == 5 && fraction_beyond_half) ||
        (first_fraction_digit == 5 && !fraction_beyond_half && whole % 2 == 1))
        ++whole;
    if (negative) whole = -whole;
    if (whole < INT32_MIN || whole > INT32_MAX)
        throw Runtime_Error(Error_Number::Overflow, "Overflow");
    return static_cast<int32_t>(whole);
}

}  // namespace nrvnc
