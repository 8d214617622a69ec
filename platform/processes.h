// Starting, listing and ending processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nrvnc {

// Window-show state handed to a started program.
enum class Show_State { Hidden = 0, Normal = 1 };

struct Process_Entry {
    std::string Name;     // the executable's file name, e.g. "vncviewer.exe"
    uint32_t Process_ID;  // as the operating system numbers it
};

class Processes {
public:
    virtual ~Processes() = default;

    // Starts a command line as a new process and returns its ID. The line is
    // split on blanks; no shell is ever involved, so nothing in it is
    // interpreted. The program is looked for beside this program, then in
    // the working directory, then where the platform usually searches (as
    // CreateProcess does on Windows). The new process outlives this
    // one. Raises a Runtime_Error when the program cannot be started; a
    // return of 0 means the start gave no process ID.
    virtual uint32_t Start(const std::string& command_line, Show_State show) = 0;

    // Every running process. Raises when the list cannot be read.
    virtual std::vector<Process_Entry> List() = 0;

    // Ends the process for sure and returns once it has ended, waiting a
    // bounded time (about 3 s) for that. Never acts on process 0 or on an ID
    // the platform cannot hold. Errors are ignored: a process that is
    // already gone is fine.
    virtual void Terminate(uint32_t process_id) = 0;
};

}  // namespace nrvnc
