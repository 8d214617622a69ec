// Checks of the connection values. Both only answer; they change nothing
// and show nothing.
#pragma once

#include <cstdint>

namespace nrvnc {

class Misc;

// Addr_Type 1: Host_Name as a dotted address or a host name; any other
// value: Repeater_IP as a dotted address written only with digits and dots,
// the characters its screen lets through (a blank or a sign would split or
// garble the viewer's command line).
bool Valid_Address(Misc& misc, uint8_t Addr_Type);

// Port_Num: exactly four decimal digits.
bool Valid_Port(Misc& misc);

}  // namespace nrvnc
