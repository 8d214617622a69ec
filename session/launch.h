// Starting the external viewer and watching its windows until the
// connection is made or has failed.
#pragma once

#include <cstdint>
#include <string>

namespace nrvnc {

class Misc;

enum class Launch_State { Not_Launched, Watching, Ask_Again, Retry_Entry, Not_Started };

// The viewer command line for the current session variables, with the
// view-only rule applied for today's weekday.
std::string Build_Viewer_Command(Misc& misc);

// The launch step of the session loop: saves the settings, starts the viewer
// hidden, watches it and asks about a retry after a failure. On return either
// Exit_Program is true, or Launch_State is Ask_Again or Retry_Entry.
void Launch_Viewer(Misc& misc, Launch_State& state, bool& Exit_Program,
                   uint32_t& Viewer_Process_ID);

// Watches a started viewer. In: Launch_State Watching with Start_Tick the
// launch time. Out: Not_Started (never showed up), Ask_Again (failed, No),
// Retry_Entry (failed, Yes), or Watching with Exit_Program set (connected).
void Watch_Viewer(Misc& misc, Launch_State& state, uint32_t& Start_Tick, bool& Exit_Program,
                  uint32_t Viewer_Process_ID, uint8_t Via_Repeater);

}  // namespace nrvnc
