// What the viewer stand-in does, whatever its windows are made of: it reads
// the command line the launcher composed, connects for real (directly, or
// through a repeater with the 250-byte ID block), reads the server's
// protocol version, and says which window is due when. The front ends
// (X11, Win32) only open and close the windows it names.
//
// Environment knobs for tests:
//   NRVNC_VIEWER_RECORD          record file (default vncviewer.args in the
//                                working directory)
//   NRVNC_VIEWER_STATUS_DELAY_MS delay before the status window (200)
//   NRVNC_VIEWER_HOLD_STATUS_MS  minimum time the status window stays (500)
//   NRVNC_VIEWER_TIMEOUT_MS      whole connection attempt (8000)
//   NRVNC_VIEWER_EXIT_ON_FAIL    exit with status 2 instead of the error box
//   NRVNC_VIEWER_NO_STATUS       never show a status window
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer_socket.h"

namespace viewer {

// Appends `line` and a line feed to the record file in one write, so lines
// stay whole when several viewers run; complains on stderr when it cannot.
void Record_Command_Line(const std::string& line);

struct Command_Line {
    std::string Target;    // "host", "host:display", "host::port" or "ID:nnnn"
    std::string Proxy;     // "host:port" of the repeater, empty for a direct connection
    std::string Password;  // the -password value, empty when none was given
    bool View_Only = false;
    std::string Error;  // why the line cannot be used
};

// The arguments after the program name.
Command_Line Parse_Command_Line(const std::vector<std::string>& args);

// The 250-byte block that names a session to a repeater: the ID text
// ("ID:nnnn") padded with NULs.
std::string Id_Block(const std::string& id);

// Connects to the server the command line names, or to its repeater and
// sends the ID block; an empty result means connected, otherwise it says
// why not. Shared by the viewer stand-in and the TigerVNC adapter.
std::string Connect_To_Server(const Command_Line& command, Clock::time_point deadline,
                              Tcp_Connection& tcp);

struct Attempt;

class Session {
  public:
    enum class Change {
        Nothing,
        Show_Status,  // open the status window
        Connected,    // close the status window, open the main window
        Failed,       // open the error box over the status window
        Give_Up,      // exit with status 2 (NRVNC_VIEWER_EXIT_ON_FAIL)
    };

    // Starts connecting at once on a thread of its own, which calls `wake`
    // (from that thread) when the attempt has settled.
    Session(const Command_Line& command, std::function<void()> wake);

    // The next change that is due now; call until it answers Nothing.
    Change Step();
    // When Step may next have something to say.
    Clock::time_point Next_Step() const;

    std::string Status_Title() const;
    std::string Main_Title() const { return Command_.Target + " - NRVNC test viewer"; }
    std::string Status_Text() const { return "Connecting to " + Command_.Target + " ..."; }
    std::string Connected_Text() const { return "Connected to " + Command_.Target; }
    std::string Failure() const;

  private:
    Command_Line Command_;
    std::shared_ptr<Attempt> Attempt_;
    Clock::time_point Status_At_, Deadline_, Status_Shown_{};
    Clock::duration Hold_;
    bool Show_Status_, Exit_On_Fail_;
    bool Status_Up_ = false, Main_Up_ = false, Box_Up_ = false;
};

}  // namespace viewer
