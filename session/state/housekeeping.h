// Small services around the desktop and the processes of the computer,
// called by every subsystem (this folder includes nothing but platform/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/processes.h"

namespace nrvnc {

class Misc;

// Every running process (name and ID). Raises a Runtime_Error when the
// list cannot be read.
std::vector<Process_Entry> Get_WMI_Processes(Misc& misc);

// Looks for the process whose upper-cased name contains Exe_Name (upper-
// cased) and whose ID is Process_ID; terminates it when Kill is 1. Returns
// whether one matched. Stops at the first match.
bool Find_Process(Misc& misc, const std::string& Exe_Name, uint32_t Process_ID, uint8_t Kill);

// 0 minimises every window of the desktop; any other value undoes that.
void Minimize_All_Windows(Misc& misc, uint8_t Undo);

// One pass of every dialog wait: back to the normal window state, to the
// top, events run, then a 50 ms alertable sleep.
void Bring_Form_To_Front(Misc& misc, Form& Frm);

}  // namespace nrvnc
