// The viewer launch: the command line, the watch of the viewer's windows,
// its time limits and the three ways a launch can fail.
#include "session/launch.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "presentation/presentation.h"
#include "tests/session/session_harness.h"

namespace nrvnc::testing_session {
namespace {

using Strings = std::vector<std::string>;

const Strings Not_Received{"There is a problem connecting with the host computer.",
                           "The host response was not received.",
                           "Would you like to try and connect again?"};
const Strings Not_Started{"There is a problem connecting with the host computer.",
                          "The viewer application has not started.",
                          "Would you like to try and connect again?"};
const Strings Start_Failed{"There was an error running the remote viewer application.",
                           "Do you want to try again?"};

// Message 0: Local; the host screen: pc-17, then Accept (after `before_accept`
// when given).
fake::Operator& Accept_Host(fake::Operator& op, std::function<void()> before_accept = nullptr) {
    op.On_Message(0).Press(Local).On_Screen(Host_Screen).Clear_Field().Type("pc-17");
    if (before_accept) op.Run(std::move(before_accept));
    return op.Press(Accept);
}

// A run of its own, for tests that loop over cases.
struct Fresh_Run {
    Fresh_Run() { d.files.files[Builtin::Viewer_File_Name] = ""; }
    fake::Fake_Desktop d;
    Timed_Processes processes{d};
    Platform platform{d.clock, d.files, processes, d.windows, d.network, d.forms};
    Misc m{platform};
};

// ---- the command line ----

class Command_Line : public Session {};

TEST_F(Command_Line, Second_Digit_Of_The_Code_Equal_To_The_Weekday_Grants_Control) {
    struct Case {
        std::string Code;
        int Control_On;  // the weekday that grants control; 0: none does
    };
    const Case cases[] = {
        {"1134", 1}, {"1234", 2}, {"1734", 7}, {"9999", 0},               // 9 is no weekday
        {"1034", 0}, {"18", 0},   {"1", 0},    {"", 0},     {"1x34", 0},  // not a digit: 0
    };
    m.Local_Network = false;
    m.Repeater_IP = "10.1.1.1";
    m.Port_Num = "5901";
    for (const Case& c : cases) {
        for (int weekday = 1; weekday <= 7; ++weekday) {
            SCOPED_TRACE("code " + c.Code + ", weekday " + std::to_string(weekday));
            d.clock.weekday = weekday;
            m.Access_Code = c.Code;
            EXPECT_EQ(Build_Viewer_Command(m),
                      Internet_Command("10.1.1.1", "5901", c.Code, weekday == c.Control_On));
        }
    }
}

TEST_F(Command_Line, Local_Sessions_Follow_The_Same_Rule_With_The_Last_Code_Of_The_Run) {
    m.Local_Network = true;
    m.Host_Name = "pc-17";
    d.clock.weekday = 4;
    m.Access_Code = "";
    EXPECT_EQ(Build_Viewer_Command(m), Local_Command("pc-17"));
    m.Access_Code = "1434";  // left by an access-code screen earlier in the run
    EXPECT_EQ(Build_Viewer_Command(m), Local_Command("pc-17", true));
    EXPECT_EQ(Build_Viewer_Command(m),
              "vncviewer -notoolbar -autoacceptincoming -autoscaling -password qx4817 pc-17 "
              "-dsmplugin SecureVNCPlugin.dsm");
}

TEST_F(Command_Line, Values_Go_In_As_They_Stand_Without_Quoting) {
    m.Local_Network = true;
    m.Host_Name = "my pc \"x\"";
    EXPECT_EQ(Build_Viewer_Command(m), Local_Command("my pc \"x\""));
    m.Local_Network = false;
    m.Repeater_IP = "relay.example.org";
    m.Port_Num = "0000";
    m.Access_Code = "12 4";
    d.clock.weekday = 1;
    EXPECT_EQ(Build_Viewer_Command(m),
              "vncviewer -viewonly -notoolbar -autoacceptincoming -autoscaling -password qx4817 "
              "-proxy relay.example.org:0000 ID:12 4 -dsmplugin SecureVNCPlugin.dsm");
}

TEST_F(Session, Viewer_Gets_Control_When_The_Code_Names_Today) {
    Repeater_Answers();
    d.clock.weekday = 3;  // Tuesday
    d.processes.Script_Viewer({});
    op.On_Message(0).Press(Internet).On_Screen(Code_Screen).Type("1334").Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(d.processes.started.at(0).first,
              Internet_Command(Builtin::Default_Repeater_Host, "5901", "1334", true));
}

// ---- a start without a process ID ----

TEST_F(Session, Start_Without_A_Process_ID_Asks_And_Yes_Goes_Back_To_The_Network_Question) {
    d.files.files["NRVNC.INI"] = "pc-9\r\n10.1.1.9\r\n5905\r\n";
    d.processes.start_returns_zero = true;
    Accept_Host(op)
        .On_Message(16)
        .Press(Yes)
        .On_Message(0)
        .Press(Local)
        .On_Screen(Host_Screen)
        .Press(Accept)
        .On_Message(16)
        .Press(No);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(),
              (Strings{"message 0", "host", "message 16", "message 0", "host", "message 16"}));
    EXPECT_EQ(Lines(d.seen[2]), Start_Failed);
    EXPECT_EQ(d.processes.started.size(), 2u);
    EXPECT_TRUE(processes.list_times.empty());  // nothing to look for
    EXPECT_TRUE(d.processes.terminated.empty());
    // Saved before the start, though the start failed.
    EXPECT_EQ(d.files.files["NRVNC.INI"], "pc-17\r\n10.1.1.9\r\n5905\r\n");
    // After a launch the settings are not read again.
    EXPECT_EQ(Settings_Reads(), 1);
}

// ---- the viewer never shows up ----

TEST_F(Session, Viewer_That_Exits_Within_3_Seconds_Has_Not_Started) {
    d.processes.Script_Viewer({.Status_Window_After = -1, .Exits_After = 1200});
    Accept_Host(op).On_Message(16).Press(No);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Lines(d.seen.back()), Not_Started);
    // Looked for once at the first poll past 3000 ms, and once more to end
    // it; it had gone, so nothing was terminated.
    const uint32_t Start_Tick = processes.start_times.at(0) + 1;
    ASSERT_EQ(processes.list_times.size(), 2u);
    EXPECT_EQ(processes.list_times[0], Start_Tick + 3001);
    EXPECT_TRUE(d.processes.terminated.empty());
    EXPECT_TRUE(Settings_Written());
}

TEST_F(Session, Retry_After_The_Viewer_Did_Not_Start_Asks_The_Network_Question_And_Only_Probes) {
    // A download would find a working repeater elsewhere; the retry must not
    // fetch it.
    Repeater_Answers();
    fake::Fake_Ftp_Server server;
    server.File = "10.20.30.40\r\n5902\r\n";
    d.network.ftp.servers[Builtin::FTP_Server_Name] = server;
    Repeater_Answers("10.20.30.40", "5902");
    d.processes.Script_Viewer({.Status_Window_After = -1, .Exits_After = 1200});
    op.On_Message(0)
        .Press(Internet)
        .On_Screen(Code_Screen)
        .Type("1334")
        .Press(Accept)
        .On_Message(16)
        .Run([&] { d.network.endpoints.erase(Repeater_Endpoint()); })  // the repeater goes down
        .Press(Yes)
        .On_Message(0)
        .Press(Internet)
        .On_Message(2)  // straight away: no download, so no notice of one
        .Press(Exit_VNC);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "code", "message 16", "message 0", "message 2"}));
    EXPECT_EQ(Lines(d.seen[2]), Not_Started);
    EXPECT_TRUE(d.network.ftp.calls.empty());
    ASSERT_EQ(d.network.connections.size(), 2u);
    EXPECT_EQ(d.network.connections[1].Host, Builtin::Default_Repeater_Host);
    EXPECT_EQ(Settings_Reads(), 0);  // no settings file: only defaults, and no second load
}

// ---- the connection fails ----

TEST_F(Session, Error_Box_Ends_The_Wait_And_The_Viewer_Is_Terminated_Before_The_Question) {
    d.processes.Script_Viewer(
        {.Status_Window_After = 500, .Status_Window_Closes_After = -1, .Error_Box_After = 1500});
    bool Terminated_Before_Question = false;
    Accept_Host(op)
        .On_Message(16)
        .Run([&] {
            Terminated_Before_Question = d.processes.terminated.size() == 1 &&
                                         d.processes.running.empty() && d.windows.windows.empty();
        })
        .Press(No);

    Expect_Ended_Cleanly(Run());
    EXPECT_TRUE(Terminated_Before_Question);
    EXPECT_EQ(Lines(d.seen.back()), Not_Received);
    // Seen at the first poll after the box opened, long before 10 s.
    const uint32_t Start = processes.start_times.at(0);
    ASSERT_EQ(processes.terminate_times.size(), 1u);
    EXPECT_EQ(processes.terminate_times[0], Start + 1500);
}

TEST_F(Session, Failure_Is_Looked_For_Before_The_Status_Window) {
    // The error box opens in the same moment the status window closes: that
    // is a failure, not a connection.
    d.processes.Script_Viewer(
        {.Status_Window_After = 500, .Status_Window_Closes_After = 1500, .Error_Box_After = 1500});
    Accept_Host(op).On_Message(16).Press(No);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Lines(d.seen.back()), Not_Received);
    EXPECT_EQ(d.processes.terminated.size(), 1u);
}

TEST_F(Session, Retry_After_A_Failed_Local_Connection_Shows_The_Host_Screen_At_Once) {
    d.processes.Script_Viewer({.Status_Window_Closes_After = -1, .Error_Box_After = 1500});
    Accept_Host(op)
        .On_Message(16)
        .Run([&] { d.processes.Script_Viewer({}); })  // connects the second time
        .Press(Yes)
        .On_Screen(Host_Screen)
        .Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "host", "message 16", "host"}));
    EXPECT_EQ(d.seen[3].Field, "pc-17");
    ASSERT_EQ(d.processes.started.size(), 2u);
    EXPECT_EQ(d.processes.started[1].first, Local_Command("pc-17"));
    EXPECT_EQ(d.processes.terminated.size(), 1u);  // the first viewer only
    EXPECT_EQ(d.processes.running.size(), 1u);     // the second stays
}

TEST_F(Session, Retry_After_A_Failed_Internet_Connection_Shows_The_Code_Screen_Without_A_Probe) {
    Repeater_Answers();
    d.processes.Script_Viewer({.Status_Window_Closes_After = -1, .Error_Box_After = 1500});
    op.On_Message(0)
        .Press(Internet)
        .On_Screen(Code_Screen)
        .Type("1334")
        .Press(Accept)
        .On_Message(16)
        .Run([&] { d.processes.Script_Viewer({}); })
        .Press(Yes)
        .On_Screen(Code_Screen)
        .Type("1434")
        .Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "code", "message 16", "code"}));
    // The repeater was probed once, at the network question.
    EXPECT_EQ(d.network.connections.size(), 1u);
    EXPECT_TRUE(d.network.ftp.calls.empty());
    // Still counted as found: no edits offered.
    EXPECT_EQ(d.seen[3].Buttons.count(Edit_IP), 0u);
    EXPECT_EQ(d.processes.started.at(1).first,
              Internet_Command(Builtin::Default_Repeater_Host, "5901", "1434"));
}

TEST_F(Session, Status_Window_That_Closes_Without_A_Failure_Counts_As_Connected) {
    // The operator closed the viewer while it connected: nothing to tell.
    d.processes.Script_Viewer(
        {.Status_Window_After = 500, .Status_Window_Closes_After = -1, .Exits_After = 4000});
    Accept_Host(op);

    Expect_Ended_Cleanly(Run());
    EXPECT_TRUE(d.processes.terminated.empty());
    EXPECT_TRUE(processes.list_times.empty());
}

TEST_F(Session, Process_Alive_Without_A_Status_Window_After_3_Seconds_Counts_As_Connected) {
    d.processes.Script_Viewer({.Status_Window_After = -1, .Status_Window_Closes_After = -1});
    Accept_Host(op);

    Expect_Ended_Cleanly(Run());
    const uint32_t Start_Tick = processes.start_times.at(0) + 1;
    EXPECT_EQ(processes.list_times, (std::vector<uint32_t>{Start_Tick + 3001}));
    EXPECT_TRUE(d.processes.terminated.empty());
    EXPECT_EQ(d.processes.running.size(), 1u);
}

// ---- the time limits, also across the wrap of the tick counter ----

struct Limit_Case {
    const char* What;
    uint32_t Launch_Clock;  // the fake clock just before Accept
};

const Limit_Case Limit_Cases[] = {
    {"early in the tick count", 1000},
    {"10 s wait across the wrap", 0xFFFFF000},
    {"3 s wait across the wrap", 0xFFFFFC00},
};

TEST_F(Session, Connection_Wait_Gives_Up_At_The_First_Poll_Past_10000_Ms) {
    for (const Limit_Case& c : Limit_Cases) {
        SCOPED_TRACE(c.What);
        Fresh_Run run;
        auto& [d, processes, platform, m] = run;
        // The status window comes up and stays: the host never answers.
        d.processes.Script_Viewer({.Status_Window_After = 500, .Status_Window_Closes_After = -1});
        Accept_Host(d.operator_, [&] { d.clock.now = c.Launch_Clock; }).On_Message(16).Press(No);

        EXPECT_EQ(Main(m), 0);
        const uint32_t Start_Tick = processes.start_times.at(0) + 1;
        ASSERT_EQ(processes.terminate_times.size(), 1u);
        EXPECT_EQ(processes.terminate_times[0], Start_Tick + 10001);
        EXPECT_TRUE(processes.list_times.size() == 1);  // only to end it
        EXPECT_EQ(Lines(d.seen.back()), Not_Received);
    }
}

TEST_F(Session, Status_Window_Wait_Looks_For_The_Process_Once_Past_3000_Ms) {
    for (const Limit_Case& c : Limit_Cases) {
        SCOPED_TRACE(c.What);
        Fresh_Run run;
        auto& [d, processes, platform, m] = run;
        d.processes.Script_Viewer({.Status_Window_After = -1, .Exits_After = 2500});
        Accept_Host(d.operator_, [&] { d.clock.now = c.Launch_Clock; }).On_Message(16).Press(No);

        EXPECT_EQ(Main(m), 0);
        const uint32_t Start_Tick = processes.start_times.at(0) + 1;
        ASSERT_EQ(processes.list_times.size(), 2u);
        EXPECT_EQ(processes.list_times[0], Start_Tick + 3001);
        EXPECT_EQ(processes.list_times[1], Start_Tick + 3001);  // the attempt to end it
        EXPECT_EQ(Lines(d.seen.back()), Not_Started);
    }
}

// Watch_Viewer on its own: a viewer whose status window shows up just after
// the process check; the connection wait counts from that check.
TEST_F(Session, Connection_Wait_Counts_From_The_Process_Check_When_There_Was_One) {
    for (const uint32_t Launch_Clock : {1000u, 0xFFFFE000u}) {
        SCOPED_TRACE(Launch_Clock);
        fake::Fake_Desktop d;
        Timed_Processes processes(d);
        Platform platform{d.clock, d.files, processes, d.windows, d.network, d.forms};
        Misc m(platform);
        m.Host_Name = "pc-17";
        Select_Display_Font(m);
        d.clock.now = Launch_Clock;
        d.processes.running.push_back({"vncviewer", 4321});
        d.At(3002, [&] { d.windows.Open("VNC Viewer Status for pc-17", 4321); });
        d.operator_.On_Message(16).Press(Yes);

        Launch_State state = Launch_State::Watching;
        uint32_t Start_Tick = Launch_Clock;
        bool Exit_Program = false;
        Watch_Viewer(m, state, Start_Tick, Exit_Program, 4321, 0);

        EXPECT_EQ(processes.list_times.at(0), Launch_Clock + 3001);
        EXPECT_EQ(Start_Tick, Launch_Clock + 3001);
        ASSERT_EQ(processes.terminate_times.size(), 1u);
        EXPECT_EQ(processes.terminate_times[0], Launch_Clock + 3001 + 10001);
        EXPECT_EQ(state, Launch_State::Retry_Entry);
        EXPECT_FALSE(Exit_Program);
        EXPECT_EQ(d.processes.terminated, (std::vector<uint32_t>{4321}));
    }
}

TEST_F(Session, Watch_Outcomes) {
    const fake::Viewer_Behaviour Gone{.Status_Window_After = -1, .Exits_After = 10};
    const fake::Viewer_Behaviour Error_Box{.Status_Window_Closes_After = -1,
                                           .Error_Box_After = 900};
    struct Case {
        const char* What;
        uint8_t Via_Repeater;
        fake::Viewer_Behaviour Viewer;
        std::string Other_Window;  // open all the time, owned by no viewer
        int Answer;                // to message 16, if it comes
        Launch_State State;
        bool Exit_Program;
        bool Terminated;
    };
    const Case cases[] = {
        {"local, connected", 0, {}, "", -1, Launch_State::Watching, true, false},
        {"internet, connected", 1, {}, "", -1, Launch_State::Watching, true, false},
        {"error box, yes", 0, Error_Box, "", Yes, Launch_State::Retry_Entry, false, true},
        {"error box, no", 1, Error_Box, "", No, Launch_State::Ask_Again, true, true},
        {"never started", 0, Gone, "", -1, Launch_State::Not_Started, false, false},
        // Only the title of the session's own kind counts.
        {"internet: a status window naming a host", 1, Gone, "VNC Viewer Status for pc-17", -1,
         Launch_State::Not_Started, false, false},
        {"local: a status window for ID", 0, Gone, "VNC Viewer Status for ID", -1,
         Launch_State::Not_Started, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        fake::Fake_Desktop d;
        Misc m(d.platform());
        Select_Display_Font(m);
        m.Host_Name = "pc-17";
        if (!c.Other_Window.empty()) d.windows.Open(c.Other_Window);
        d.processes.Script_Viewer(c.Viewer);
        const uint32_t pid =
            d.processes.Start(c.Via_Repeater ? "vncviewer -proxy 10.1.1.1:5901 ID:1334"
                                             : "vncviewer -password qx4817 pc-17",
                              Show_State::Hidden);
        if (c.Answer >= 0) d.operator_.On_Message(16).Press(c.Answer);

        Launch_State state = Launch_State::Watching;
        uint32_t Start_Tick = d.clock.now;
        bool Exit_Program = false;
        Watch_Viewer(m, state, Start_Tick, Exit_Program, pid, c.Via_Repeater);

        EXPECT_EQ(state, c.State);
        EXPECT_EQ(Exit_Program, c.Exit_Program);
        EXPECT_EQ(d.processes.terminated.size(), c.Terminated ? 1u : 0u);
        EXPECT_TRUE(d.operator_.Done());
        if (c.Answer >= 0) {
            EXPECT_EQ(Lines(d.seen.back()), Not_Received);
        }
    }
}

}  // namespace
}  // namespace nrvnc::testing_session
