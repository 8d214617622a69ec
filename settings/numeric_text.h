// Numbers written as text, judged the way the dotted-address test needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace nrvnc {

// The value of a text that is a plain decimal number: optional blanks
// (spaces, tabs) around it, an optional sign, digits with an optional
// decimal point (at least one digit, before or after the point), and an
// optional exponent (E or e, optional sign, digits). The decimal point is
// always ".", whatever the user's locale: the texts judged here come from
// a file and from typed addresses, not from the locale.
//
// Empty text, text that is no number, and numbers beyond the range of a
// double (too large, or too close to 0) give nullopt.
std::optional<double> Numeric_Value(const std::string& text);

// A text as a 32-bit integer, converted the way the program converts any
// text to a Long (the port for the socket): blanks around it are allowed, a
// sign and a decimal fraction too (rounded half to even). Anything else
// raises a Runtime_Error, Type_Mismatch, and a value outside the 32-bit
// range Overflow.
int32_t Long_Value(const std::string& text);

}  // namespace nrvnc
