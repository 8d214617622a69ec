// The viewer launch: the command line, the watch of the viewer's windows,
// its time limits, the ways a launch can fail, and the process lookup
// that finds and ends the viewer.
#include "session/launch.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "session/state/housekeeping.h"
#include "tests/session/session_harness.h"

namespace nrvnc::testing_session {
namespace {

const Strings Not_Received{"There is a problem connecting with the host computer.",
                           "The host response was not received.",
                           "Would you like to try and connect again?"};
const Strings Not_Started{"There is a problem connecting with the host computer.",
                          "The viewer application has not started.",
                          "Would you like to try and connect again?"};
const std::string Local = "#0 Local host clear 'pc-17 Accept ";
const std::string Saved = "view pc-17; saved pc-17|builtin|5901|";

// Nothing is quoted, whatever the host name or code holds.
TEST(Command_Line, Second_Digit_Of_The_Code_Naming_Today_Grants_Control_Nothing_Is_Quoted) {
    Session_Run r;
    r.m.Repeater_IP = "relay.example.org";
    r.m.Port_Num = "5901";
    r.m.Host_Name = "my pc \"x\"";
    // The weekday that grants control (1 = Sunday); 0: none does.
    const std::pair<std::string, int> cases[] = {{"1134", 1}, {"1234", 2}, {"1734", 7}, {"9999", 0},
                                                 {"1034", 0}, {"18", 0},   {"1", 0},    {"", 0},
                                                 {"1x34", 0}, {"12 4", 2}};
    for (bool local : {false, true}) {
        r.m.Local_Network = local;
        for (const auto& [code, control_on] : cases) {
            for (int weekday = 1; weekday <= 7; ++weekday) {
                SCOPED_TRACE("code " + code + ", weekday " + std::to_string(weekday));
                r.d.clock.weekday = weekday;
                r.m.Access_Code = code;
                EXPECT_EQ(Build_Viewer_Command(r.m),
                          (weekday == control_on ? Control_Start : View_Start) +
                              (local ? r.m.Host_Name : "-proxy relay.example.org:5901 ID:" + code) +
                              Command_End);
            }
        }
    }
}

TEST(Session, Launch_Outcomes) {
    const std::string internet = "stored answers:10.1.1.9:5905 #0 Internet code '1334 Accept ";
    const std::string proxy = "read 1; probes 10.1.1.9:5905; view -proxy 10.1.1.9:5905 ID:1334";
    Play_Flows({
        {"start without a process ID, Yes: the network question again",
         "stored start-fails " + Local + "#16 Yes #0 Local host Accept #16 No",
         "read 1; view pc-17; view pc-17; saved pc-17|10.1.1.9|5905|",  // saved before the start
         {"There was an error running the remote viewer application.",
          "Do you want to try again?"}},
        // A download would find a working repeater; the retry only probes.
        {"not started, Yes: the network question again",
         "download:10.20.30.40:5902 answers:10.20.30.40:5902 viewer:gone " + internet +
             "#16 silent:10.1.1.9:5905 Yes #0 Internet #2 Exit_VNC",
         "read 1; probes 10.1.1.9:5905 10.1.1.9:5905; view -proxy 10.1.1.9:5905 ID:1334; saved "
         "pc-9|10.1.1.9|5905|; listed +3001 +3001"},
        {"error box as the status window closes: failed",
         "viewer:fails-as-it-closes " + Local + "#16 No", Saved + "; listed +1499; killed +1499",
         Not_Received},
        {"failed internet connection, Yes: the code screen without a probe",
         "viewer:fails " + internet + "#16 viewer:connects Yes code '1434 Accept",
         proxy + "; view -proxy 10.1.1.9:5905 ID:1434; saved pc-9|10.1.1.9|5905|; listed +1499; "
                 "killed +1499",
         {},
         [](Session_Run& r) { EXPECT_FALSE(r.d.seen.back().Buttons.count(13)); }},
        // A window of that title that is not the viewer's outlives its end.
        {"a status window outliving the ended viewer, Yes: asked once",
         "stray:pc-17 viewer:fails " + Local + "#16 Yes host Esc #0 Exit_VNC",
         Saved + "; listed +1499; killed +1499"},
        {"status window closed without a failure: connected", "viewer:closed " + Local, Saved},
        {"alive without a status window after 3 s: connected", "viewer:windowless " + Local,
         Saved + "; listed +3001"},
        // Only the status window of the session's own kind counts.
        {"local: a status window for ID", "stray:ID viewer:gone " + Local + "#16 No",
         Saved + "; listed +3001 +3001", Not_Started},
        {"internet: a status window naming the host",
         "stray:pc-9 viewer:gone " + internet + "#16 No",
         proxy + "; saved pc-9|10.1.1.9|5905|; listed +3001 +3001", Not_Started},
        // Run-time errors: the abort message, the windows restored, the viewer left alone.
        {"the viewer cannot be started", "start-raises " + Local, Saved + "; abort File not found"},
        {"out of memory", "out-of-memory " + Local, Saved + "; abort " + std::bad_alloc().what()},
    });
}

TEST(Session, Watch_Time_Limits_Also_Across_The_Tick_Wrap) {
    for (const std::string clock : {"1000", "0xFFFFF000", "0xFFFFFC00"}) {
        SCOPED_TRACE("launched at " + clock);
        const std::string launch = "#0 Local host clear 'pc-17 clock:" + clock + " Accept #16 No";
        Play_Flows({
            {"the host never answers: 10000 ms", "viewer:stays " + launch,
             Saved + "; listed +10001; killed +10001", Not_Received},
            {"gone, no status window: 3000 ms", "viewer:gone " + launch,
             Saved + "; listed +3001 +3001", Not_Started},
            // The connection wait counts from the process check.
            {"status window just after the process check", "viewer:late " + launch,
             Saved + "; listed +3001 +13002; killed +13002", Not_Received},
        });
    }
}

TEST(Housekeeping, Find_Process_Needs_The_Name_Contained_Without_Case_And_The_Exact_ID) {
    fake::Fake_Desktop d;
    Misc m{d.platform()};
    d.processes.running = {{"VNCVIEWER.EXE", 4001},
                           {"vncviewer.exe", 4002},
                           {"old-VncViewer.exe.bak", 4003},
                           {"viewer.exe", 4004},
                           {"vncviewer.exe", 0}};  // never to be ended
    const std::tuple<std::string, uint32_t, bool> cases[] = {
        {"vncviewer.exe", 4001, true},   // differs only in letter case
        {"vncviewer.exe", 4003, true},   // contained in a longer name
        {"vncviewer", 4001, true},       // the name without extension as well
        {"vncviewer.exe", 4004, false},  // right ID, the name does not contain it
        {"vncviewer.exe", 4005, false},  // no such ID
        {"vncviewer.exe", 0, false},
        {"", 4004, true},  // an empty name is contained in every name
    };
    // Any Kill value other than 1 only looks.
    for (uint8_t Kill : {0, 2, 255}) {
        for (const auto& [name, pid, found] : cases) {
            SCOPED_TRACE(name + " " + std::to_string(pid) + " kill " + std::to_string(Kill));
            EXPECT_EQ(Find_Process(m, name, pid, Kill), found);
        }
    }
    EXPECT_TRUE(d.processes.terminate_times.empty());

    EXPECT_TRUE(Find_Process(m, "vncviewer.exe", 4002, 1));
    EXPECT_FALSE(Find_Process(m, "vncviewer.exe", 4002, 1));  // gone now
    EXPECT_FALSE(Find_Process(m, "vncviewer.exe", 4004, 1));
    EXPECT_EQ(d.processes.terminate_times.size(), 1u);  // 4002, gone as seen above
}

}  // namespace
}  // namespace nrvnc::testing_session
