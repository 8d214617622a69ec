// Is the repeater service answering at Repeater_IP : Port_Num?
#pragma once

#include <cstdint>

namespace nrvnc {

class Misc;

// One TCP connect to the repeater with a 1000 ms limit; true when it was
// accepted. The socket is closed before and after.
bool Probe_Repeater(Misc& misc);

// Probe_Only 0: stand-by notice, probe, and on failure the address download
// and a second probe. Any other value: a single silent probe.
bool Check_Repeater(Misc& misc, uint8_t Probe_Only);

}  // namespace nrvnc
