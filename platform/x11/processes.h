// Starting, listing and ending processes on Linux.
//
// Start splits the command line on blanks (spaces and tabs; runs of them
// count as one) and passes the pieces to the program as they are: no shell,
// no quoting, no expansion. A name without a slash is looked for beside this
// program (the folder of /proc/self/exe), then in the working directory (as
// Windows looks for a program), then on $PATH; the first regular file of
// that name is the one started, or the start fails when it cannot be run.
// A name with a slash is used as given. The child:
//   - runs in a session of its own (setsid), so it outlives this program and
//     the terminal it was started from;
//   - gets /dev/null as its standard input, output and error, and none of
//     this program's other descriptors;
//   - finds the show state in its environment as NRVNC_SHOW_STATE, "0" for
//     hidden and "1" for normal. X11 has no show state to hand over at
//     process start; a program that cares (the viewer stand-in does) reads
//     the variable.
// Children that end are reaped by List, Start and Terminate (waitpid with
// WNOHANG on the processes this object started, nobody else's), so a viewer
// that died does not linger as a zombie.
//
// List reads /proc. A process's Name is the file name of its executable
// (/proc/<pid>/exe, without the " (deleted)" mark). A script is listed under
// the script's name rather than its interpreter's: when the kernel's command
// name (comm) does not match the executable, the first of the leading
// command-line arguments whose file name matches comm is used, and failing
// that comm itself. comm is also the fallback when exe cannot be read (other
// users' processes, kernel threads). Zombies are not listed.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <set>

#include "platform/processes.h"

namespace nrvnc {

class Linux_Processes : public Processes {
  public:
    // Raises 53 "File not found: <name>" when the program is nowhere, 70
    // when it is there but cannot be executed, and the errno words for any
    // other failure of the start.
    uint32_t Start(const std::string& command_line, Show_State show) override;
    std::vector<Process_Entry> List() override;
    // SIGTERM, a grace of a second, then SIGKILL; returns once the process
    // has ended (a zombie has), or after about three seconds at most. IDs
    // that are not a single process (0, or above INT_MAX, which kill() would
    // take as a process group or "everyone") are ignored.
    void Terminate(uint32_t process_id) override;

  private:
    void Reap_Children();

    std::mutex Lock;
    std::set<pid_t> Children;
};

// The name under which List shows a process, from what /proc tells of it:
// the target of exe (empty when it cannot be read), comm, and the command
// line's arguments. Exposed for tests.
std::string Process_Name(const std::string& exe_target, const std::string& comm,
                         const std::vector<std::string>& arguments);

}  // namespace nrvnc
