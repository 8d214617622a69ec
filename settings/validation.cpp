#include "settings/validation.h"

#include <string>
#include <string_view>

#include "session/state/misc.h"
#include "settings/numeric_text.h"

namespace nrvnc {

namespace {

// Characters that a host name may not contain.
constexpr std::string_view Forbidden_Host_Characters = "/\\:*?<>|\"";

// Four numbers from 1 to 254 separated by dots. Only the first three dots
// separate, so the fourth piece is the whole rest ("1.2.3.4.5" ends in the
// number 4.5, which passes).
bool Dotted_Address(const std::string& V) {
    std::size_t start = 0;
    for (int piece = 1; piece <= 4; ++piece) {
        std::size_t end = V.size();
        if (piece < 4) {
            end = V.find('.', start);
            if (end == std::string::npos) return false;  // fewer than four pieces
        }
        const std::optional<double> value = Numeric_Value(V.substr(start, end - start));
        if (!value || *value < 1 || *value > 254) return false;
        start = end + 1;
    }
    return true;
}

bool Host_Name_Acceptable(const std::string& V) {
    if (V.front() == '.') return false;
    // The whole name is scanned, its first character included: "/x" is no
    // host name either.
    return V.find_first_of(Forbidden_Host_Characters) == std::string::npos;
}

}  // namespace

bool Valid_Address(Misc& misc, uint8_t Addr_Type) {
    const std::string& V = Addr_Type == 1 ? misc.Host_Name : misc.Repeater_IP;
    if (V.empty()) return false;
    if (Addr_Type != 1) {
        // The repeater must be reached by its address, never by a name, and
        // the address is spelt as it can be typed.
        return V.find_first_not_of("0123456789.") == std::string::npos && Dotted_Address(V);
    }
    if (Dotted_Address(V)) return true;
    return Host_Name_Acceptable(V);
}

bool Valid_Port(Misc& misc) {
    const std::string& Port = misc.Port_Num;
    if (Port.size() != 4) return false;
    for (char c : Port)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace nrvnc
