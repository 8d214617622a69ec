// The program's start-up procedure and its whole control flow.
#pragma once

namespace nrvnc {

class Misc;

// Runs the program until it ends: start-up, the session loop, the end
// sequence. Returns when the program ends (it never leaves a run-time error
// uncaught: the catch-all shows the abort message). The returned value is
// the process exit status.
int Main(Misc& misc);

}  // namespace nrvnc
