#include "session/launch.h"

#include <string>

#include "builtin_values.h"
#include "dialogs/message/frm_msg_box.h"
#include "session/state/housekeeping.h"
#include "session/state/misc.h"
#include "settings/settings.h"

namespace nrvnc {

namespace {

// The viewer's windows that the watch looks for.
constexpr const char* Status_Title_Start = "VNC Viewer Status for ";
constexpr const char* Error_Box_Title = "VncViewer Message Box";

// Time limits of the watch, in milliseconds since Start_Tick.
constexpr uint32_t Status_Window_Limit = 3000;
constexpr uint32_t Connection_Limit = 10000;

constexpr int16_t Answer_No = 2;

// Milliseconds since Start_Tick; the unsigned difference stays right when
// the 32-bit tick counter wraps between the two readings.
uint32_t Elapsed_Since(Misc& misc, uint32_t Start_Tick) {
    return misc.Sys.clock.Tick_Count() - Start_Tick;
}

// Value of one character as a number: a digit gives its value, anything
// else (or no character at all) gives 0.
int Digit_Value(const std::string& text, std::size_t position) {
    if (position >= text.size()) return 0;
    const char c = text[position];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

int16_t Ask(Misc& misc, const std::string& UserIn1, const std::string& UserIn2) {
    return frmMsgBox(misc).Do_User_Msg(16, Msg_Value(UserIn1), Msg_Value(UserIn2));
}

}  // namespace

std::string Build_Viewer_Command(Misc& misc) {
    // The viewer gets control only when the second digit of the access code
    // names today's weekday (1 = Sunday); every other session is view-only.
    const bool Grant_Control = Digit_Value(misc.Access_Code, 1) == misc.Sys.clock.Weekday();

    std::string Viewer_Command = Builtin::Viewer_Command_Name;
    if (!Grant_Control) Viewer_Command += " -viewonly";
    Viewer_Command += " -notoolbar -autoacceptincoming -autoscaling -password qx4817 ";
    // The values go in as they stand: the process start splits on blanks
    // without any shell, so nothing in them is interpreted.
    if (misc.Local_Network) {
        Viewer_Command += misc.Host_Name;
    } else {
        Viewer_Command +=
            "-proxy " + misc.Repeater_IP + ":" + misc.Port_Num + " ID:" + misc.Access_Code;
    }
    Viewer_Command += " -dsmplugin SecureVNCPlugin.dsm";
    return Viewer_Command;
}

void Launch_Viewer(Misc& misc, Launch_State& state, bool& Exit_Program,
                   uint32_t& Viewer_Process_ID) {
    Save_Settings(misc);
    const std::string Viewer_Command = Build_Viewer_Command(misc);
    // A start that fails outright raises and ends in the catch-all of Main.
    Viewer_Process_ID = misc.Sys.processes.Start(Viewer_Command, Show_State::Hidden);
    misc.Do_Events();

    if (Viewer_Process_ID == 0) {
        misc.Msg_Question.clear();  // this question has no extra line
        if (Ask(misc, "There was an error running the remote viewer application.",
                "Do you want to try again?") == Answer_No) {
            Exit_Program = true;
        } else {
            state = Launch_State::Ask_Again;
        }
        misc.Do_Events();
        return;
    }

    state = Launch_State::Watching;
    uint32_t Start_Tick = misc.Sys.clock.Tick_Count();
    const uint8_t Via_Repeater = misc.Local_Network ? 0 : 1;
    Watch_Viewer(misc, state, Start_Tick, Exit_Program, Viewer_Process_ID, Via_Repeater);

    if (state == Launch_State::Not_Started) {
        // The process may still be there without its windows; make sure no
        // half-started viewer is left behind before asking.
        Find_Process(misc, Builtin::Viewer_File_Name, Viewer_Process_ID, 1);
        misc.Msg_Question = "Would you like to try and connect again?";
        if (Ask(misc, "There is a problem connecting with the host computer.",
                "The viewer application has not started.") == Answer_No) {
            Exit_Program = true;
        } else {
            state = Launch_State::Ask_Again;
        }
    }
    misc.Do_Events();
}

void Watch_Viewer(Misc& misc, Launch_State& state, uint32_t& Start_Tick, bool& Exit_Program,
                  uint32_t Viewer_Process_ID, uint8_t Via_Repeater) {
    const std::string Status_Title =
        std::string(Status_Title_Start) + (Via_Repeater == 0 ? misc.Host_Name : "ID");
    Desktop& desktop = misc.Sys.desktop;

    // Status window wait. The process list is costly, so it is read only
    // once, at the first poll past the limit.
    for (;;) {
        misc.Do_Events();
        if (desktop.Window_Exists(Status_Title)) break;
        if (Elapsed_Since(misc, Start_Tick) > Status_Window_Limit) {
            if (Find_Process(misc, Builtin::Viewer_File_Name, Viewer_Process_ID, 0)) {
                // Started without a status window we could see: the
                // connection wait counts from now.
                Start_Tick = misc.Sys.clock.Tick_Count();
                break;
            }
            state = Launch_State::Not_Started;
            return;
        }
    }

    // Connection wait: a failure is looked for first, the status window
    // second, in every pass.
    do {
        misc.Do_Events();
        if (desktop.Window_Exists(Error_Box_Title) ||
            Elapsed_Since(misc, Start_Tick) > Connection_Limit) {
            Find_Process(misc, Builtin::Viewer_File_Name, Viewer_Process_ID, 1);
            state = Launch_State::Ask_Again;
            misc.Msg_Question = "Would you like to try and connect again?";
            if (Ask(misc, "There is a problem connecting with the host computer.",
                    "The host response was not received.") == Answer_No) {
                Exit_Program = true;
            } else {
                state = Launch_State::Retry_Entry;
            }
        }
    } while (state == Launch_State::Watching && desktop.Window_Exists(Status_Title));

    // The status window went away without a failure: connected.
    if (state == Launch_State::Watching) Exit_Program = true;
}

}  // namespace nrvnc
