#include "session/state/housekeeping.h"

#include <algorithm>
#include <cctype>

#include "session/state/misc.h"

namespace nrvnc {

namespace {

std::string Upper_Case(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::vector<Process_Entry> Get_WMI_Processes(Misc& misc) {
    return misc.Sys.processes.List();
}

bool Find_Process(Misc& misc, const std::string& Exe_Name, uint32_t Process_ID, uint8_t Kill) {
    const std::string Target = Upper_Case(Exe_Name);
    for (const Process_Entry& process : Get_WMI_Processes(misc)) {
        // The name test alone would also match other copies of the viewer;
        // the ID singles out the one this program started. ID 0 is never
        // it (a start that gave no ID, or the system's idle process).
        if (Upper_Case(process.Name).find(Target) != std::string::npos &&
            process.Process_ID == Process_ID && Process_ID != 0) {
            if (Kill == 1) misc.Sys.processes.Terminate(process.Process_ID);
            return true;
        }
    }
    return false;
}

void Minimize_All_Windows(Misc& misc, uint8_t Undo) {
    misc.Sys.desktop.Post_Taskbar_Command(Undo == 0 ? Taskbar_Minimize_All
                                                    : Taskbar_Undo_Minimize_All);
}

void Bring_Form_To_Front(Misc& misc, Form& Frm) {
    if (Frm.State() != Window_State::Normal) {
        Frm.Set_State(Window_State::Normal);
        misc.Do_Events();
    }
    Frm.Bring_To_Top();
    misc.Do_Events();
    misc.Sys.clock.Sleep_Ex(50, true);
}

}  // namespace nrvnc
