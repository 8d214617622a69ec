// Where a program named without a folder lives on Linux, looked for as
// Windows looks for one: beside this program first (the folder of
// /proc/self/exe), then in the working directory. Processes::Start then
// goes on to $PATH; the viewer check at start-up uses the same two places,
// so that the check and the launch agree on the one viewer found.
#pragma once

#include <string>

namespace nrvnc {

// The folder of this program's executable, "" when it cannot be read.
std::string Program_Folder();

// The path of the regular file `name` (no slash in it) beside this program,
// else "./name" when the working directory has one, else "". A file found
// there counts whether or not it may be executed: a start then fails on it
// rather than quietly running another.
std::string Find_Beside_Program_Or_Here(const std::string& name);

}  // namespace nrvnc
