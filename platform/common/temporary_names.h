// The names of the temporaries a save writes beside a file (File_System::
// Write_Temporary_File): name.<process ID>.<counter>.<8 hex digits>. The
// process ID and the counter keep the saves of one machine apart; the random
// part makes a name that someone else chose beforehand unlikely, and the
// exclusive create of the backends makes such a name harmless.
#pragma once

#include <cstdint>
#include <string>

namespace nrvnc::Temporary_Names {

// A fresh name for a save of this process beside the file `native`.
std::string Next(const std::string& native, unsigned long process_id);

// The writer's process ID when file_name (a name without folder) is one of
// these beside the file called `name`; otherwise 0.
unsigned long Writer(const std::string& file_name, const std::string& name);

// Where the random part comes from: the system's random source. A test sets
// its own to know beforehand the name the next save will use.
extern uint32_t (*Random)();

}  // namespace nrvnc::Temporary_Names
