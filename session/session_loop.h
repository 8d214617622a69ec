// The steps of the session loop of Main, open to the session tests.
#pragma once

#include <cstdint>

namespace nrvnc {

class Misc;

// The host name screen until a valid host is accepted, Esc (Entry_Result 7)
// or the end (Exit_Program). A rejected host is put back to its value from
// before the screen.
void Local_Entry(Misc& misc, bool& Exit_Program, uint8_t& Entry_Result);

// The access-code screen until Accept with the repeater found, Esc
// (Entry_Result 7) or the end; Edit IP and Edit Port # run Repeater_Edit.
void Internet_Entry(Misc& misc, bool& Exit_Program, uint8_t& Entry_Result);

// The repeater address (Sel 3) or port (Sel 4) screen with its checks and
// probe. Only a value that was found working is put back after a rejected
// edit.
void Repeater_Edit(Misc& misc, uint8_t Sel, bool& Exit_Program);

}  // namespace nrvnc
