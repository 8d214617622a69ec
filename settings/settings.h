// The settings file NRVNC.INI: the last host, repeater address and port.
#pragma once

namespace nrvnc {

class Misc;

// Finds and reads the file, checks each value and defaults what fails.
// Never shows a message.
void Load_Settings(Misc& misc);

// Writes the three values, choosing the file's place first when none is
// known. A failure is shown as message 3; the values in memory stay.
void Save_Settings(Misc& misc);

// The built-in defaults, and the probe socket prepared for them.
void Set_Default_Settings(Misc& misc);

}  // namespace nrvnc
