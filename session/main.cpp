#include "session/main.h"

#include <exception>
#include <string>

#include "builtin_values.h"
#include "dialogs/entry/frm_input_box.h"
#include "dialogs/message/frm_msg_box.h"
#include "platform/error.h"
#include "presentation/presentation.h"
#include "repeater/probe.h"
#include "session/launch.h"
#include "session/session_loop.h"
#include "session/state/housekeeping.h"
#include "session/state/misc.h"
#include "settings/settings.h"
#include "settings/validation.h"

namespace nrvnc {

namespace {

// Answers of the catalogue messages.
constexpr int16_t Answer_Local = 0;
constexpr int16_t Answer_Internet = 1;
constexpr int16_t Answer_Exit = 2;  // Exit VNC in messages 0 and 2, No in message 16

constexpr const char* End_Question = "If you choose not to the program will end.";

int16_t Show_Message(Misc& misc, int16_t Sel, const std::string& UserIn1,
                     const std::string& UserIn2) {
    return frmMsgBox(misc).Do_User_Msg(Sel, Msg_Value(UserIn1), Msg_Value(UserIn2));
}

// Message 2: the repeater service was not found. True when the operator
// chose Exit VNC.
bool Repeater_Not_Found_Ends(Misc& misc) {
    return Show_Message(misc, 2, "", "") == Answer_Exit;
}

// The session loop, from the end of the start-up checks until the program
// ends.
void Session_Loop(Misc& misc) {
    bool Exit_Program = false;
    Launch_State State = Launch_State::Not_Launched;
    uint32_t Viewer_Process_ID = 0;
    uint8_t Entry_Result = 0;

    while (!Exit_Program) {
        Entry_Result = 0;
        misc.Do_Events();
        // Read the settings at the first pass, and again on every return to
        // the network question before a launch while no repeater answered.
        if (State == Launch_State::Not_Launched && !misc.Repeater_Found) Load_Settings(misc);
        if (State == Launch_State::Ask_Again) misc.Repeater_Found = false;

        if (State == Launch_State::Retry_Entry) {
            // A failed connection: straight back to the screen of the same
            // mode, without the network question or a new repeater check.
            State = Launch_State::Ask_Again;
        } else {
            misc.Local_Network = false;
            const int16_t Answer = frmMsgBox(misc).Do_User_Msg(0, Msg_Value(misc.Internet_OK),
                                                               Msg_Value(std::string()));
            if (Answer == Answer_Local) {
                misc.Local_Network = true;
            } else if (Answer == Answer_Internet) {
                // The full search with the address download only on the first
                // attempt of a run.
                const uint8_t Probe_Only =
                    State == Launch_State::Not_Launched && !misc.Repeater_Found ? 0 : 1;
                if (Check_Repeater(misc, Probe_Only)) {
                    misc.Repeater_Found = true;
                } else if (Repeater_Not_Found_Ends(misc)) {
                    Exit_Program = true;
                } else {
                    misc.Repeater_Found = false;
                }
            } else if (Answer == Answer_Exit) {
                Exit_Program = true;
            }
        }
        if (Exit_Program) continue;

        if (misc.Local_Network) {
            Local_Entry(misc, Exit_Program, Entry_Result);
        } else {
            Internet_Entry(misc, Exit_Program, Entry_Result);
        }
        if (Entry_Result == Entry_Escape || Exit_Program) continue;

        Launch_Viewer(misc, State, Exit_Program, Viewer_Process_ID);
    }
}

// The catch-all: the abort notice, then the end sequence. The viewer, if one
// was started, is left running.
void Abort(Misc& misc, const std::string& Description) {
    try {
        misc.Sys.forms.Message_Box("The program aborted for the following reason: " +
                                       std::string("\r\n\r\n") + Description,
                                   misc.Sys.forms.App_Title());
    } catch (const std::exception&) {
        // Nothing more can be told; the windows still come back below.
    }
    Minimize_All_Windows(misc, 1);
}

}  // namespace

void Local_Entry(Misc& misc, bool& Exit_Program, uint8_t& Entry_Result) {
    while (!Exit_Program) {
        const std::string Saved_Value = misc.Host_Name;
        const uint8_t Result = frmInputBox(misc).User_Input_Form1(2);
        if (Result == Entry_Exit) {
            Exit_Program = true;
        } else if (Result == Entry_Escape) {
            Entry_Result = Entry_Escape;
            return;
        } else {
            if (Valid_Address(misc, 1)) return;
            misc.Msg_Question = End_Question;
            if (Show_Message(
                    misc, 16, misc.Host_Name + " is not a valid Host Name or Host IP address.",
                    "Would you like to re-enter the host name or IP address?") == Answer_Exit) {
                Exit_Program = true;
            }
            misc.Host_Name = Saved_Value;
        }
    }
}

void Internet_Entry(Misc& misc, bool& Exit_Program, uint8_t& Entry_Result) {
    while (!Exit_Program) {
        Entry_Result = frmInputBox(misc).User_Input_Form0();
        if (Entry_Result == Entry_Exit) {
            Exit_Program = true;
        } else if (Entry_Result == Entry_Escape) {
            return;
        } else if (Entry_Result == Entry_Edit_IP) {
            Repeater_Edit(misc, 3, Exit_Program);
        } else if (Entry_Result == Entry_Edit_Port) {
            Repeater_Edit(misc, 4, Exit_Program);
        } else {
            if (misc.Repeater_Found) return;
            misc.Msg_Question = "Would you like to try this now? If not the program will exit.";
            if (Show_Message(
                    misc, 16,
                    "The repeater has not been locate at the specified IP address and port number.",
                    "You can re-enter values on the viewer ID entry screen.") == Answer_Exit) {
                Exit_Program = true;
            }
        }
    }
}

void Repeater_Edit(Misc& misc, uint8_t Sel, bool& Exit_Program) {
    const bool Port_Screen = Sel == 4;
    std::string& Value = Port_Screen ? misc.Port_Num : misc.Repeater_IP;

    // Puts back a value that was found working, and probes it again.
    auto Restore = [&](const std::string& Saved_Value) {
        if (Saved_Value.empty()) return;
        Value = Saved_Value;
        misc.Repeater_Found = Check_Repeater(misc, 1);
    };

    while (!Exit_Program) {
        const std::string Saved_Value = misc.Repeater_Found ? Value : std::string();
        const uint8_t Result = frmInputBox(misc).User_Input_Form1(Sel);
        if (Result == Entry_Exit) {
            Exit_Program = true;
        } else if (Result == Entry_Escape) {
            return;
        } else if (Port_Screen ? Valid_Port(misc) : Valid_Address(misc, 0)) {
            if (Check_Repeater(misc, 1)) {
                misc.Repeater_Found = true;
                return;
            }
            if (Repeater_Not_Found_Ends(misc)) Exit_Program = true;
            Restore(Saved_Value);
            return;
        } else {
            misc.Msg_Question = End_Question;
            const int16_t Answer =
                Port_Screen ? Show_Message(misc, 16, Value + " is not a valid port number.",
                                           "Would you like to re-enter the port number?")
                            : Show_Message(misc, 16, Value + " is not a valid IP address.",
                                           "Would you like to re-enter the IP address?");
            if (Answer == Answer_Exit) {
                Exit_Program = true;  // nothing is put back on the way out
            } else {
                Restore(Saved_Value);
            }
        }
    }
}

int Main(Misc& misc) {
    Minimize_All_Windows(misc, 0);
    misc.MsgBox_Loaded = false;
    try {
        Select_Display_Font(misc);

        if (!misc.Sys.files.Ordinary_File_Exists(
                misc.Sys.files.Native_Path(Builtin::Viewer_File_Name))) {
            Show_Message(misc, 3, "The remote viewer application cannot be found.",
                         "This program will now end.");
        } else {
            // Once per run: a connection that comes up later is not noticed.
            misc.Internet_OK =
                misc.Sys.network.Check_Internet_Connection(Builtin::Internet_Check_URL);
            Session_Loop(misc);
        }
    } catch (const Runtime_Error& error) {
        Abort(misc, error.Description);
        return 1;
    } catch (const std::exception& error) {
        Abort(misc, error.what());
        return 1;
    }
    // The end sequence: the minimised windows, the viewer's included, come
    // back; forms are dropped as they are and nothing is saved.
    Minimize_All_Windows(misc, 1);
    return 0;
}

}  // namespace nrvnc
