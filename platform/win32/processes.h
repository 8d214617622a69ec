// Starting, listing and ending processes on Windows.
//
// Start hands the command line to CreateProcessA exactly as composed, with
// no application name: the system's usual search finds the program from its
// bare name ("vncviewer" finds vncviewer.exe in the program's folder, then
// in the working directory, the system folders and PATH), and the child's
// GetCommandLineA is the line byte for byte. No shell is involved. The show
// state arrives through STARTF_USESHOWWINDOW (SW_HIDE or SW_SHOWNORMAL).
// The handles of the new process and thread are closed at once; the child
// outlives this program, also inside a job that ends its processes when it
// closes: it is started with CREATE_BREAKAWAY_FROM_JOB, and without it when
// the job refuses breakaway (ERROR_ACCESS_DENIED).
//
// List takes a Toolhelp32 snapshot (the executable's file name and the
// process ID). Terminate opens the process and ends it with
// TerminateProcess. The management service is not used: its Terminate does
// nothing under Wine, and the snapshot gives the same names and IDs faster.
#pragma once

#include "platform/processes.h"

namespace nrvnc {

class Win32_Processes : public Processes {
  public:
    // Raises 53 "File not found: <name>" when the program is nowhere, and
    // the system's words for any other failure of the start.
    uint32_t Start(const std::string& command_line, Show_State show) override;
    std::vector<Process_Entry> List() override;
    // TerminateProcess, then waits (at most 3 s) until the process has
    // ended. Process 0, this process itself and processes that cannot be
    // opened (already gone, or not ours to end) are left alone.
    void Terminate(uint32_t process_id) override;
};

}  // namespace nrvnc
