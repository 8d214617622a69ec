// Process lookup and termination, the taskbar commands, and bringing a
// dialog back to the front.
#include "session/housekeeping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

class Housekeeping : public ::testing::Test {
  protected:
    Housekeeping() {
        d.processes.running = {
            {"VNCVIEWER.EXE", 4001},  // the one the program started
            {"vncviewer.exe", 4002},  // another copy
            {"old-VncViewer.exe.bak", 4003},
            {"viewer.exe", 4004},
        };
    }
    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

TEST_F(Housekeeping, Find_Process_Needs_The_Name_Contained_Without_Case_And_The_Exact_ID) {
    struct Case {
        std::string Name;
        uint32_t Process_ID;
        bool Found;
    };
    const Case cases[] = {
        {"vncviewer.exe", 4001, true},  // differs only in letter case
        {"VNCVIEWER.EXE", 4002, true},
        {"vncviewer.exe", 4003, true},   // contained in a longer name
        {"vncviewer", 4001, true},       // the Linux name is contained as well
        {"vncviewer.exe", 4004, false},  // right ID, name does not contain it
        {"vncviewer.exe", 4005, false},  // no such ID
        {"vncviewer.exe", 0, false},
        {"explorer", 1200, true},
        {"", 4004, true},  // an empty name is contained in every name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name + " " + std::to_string(c.Process_ID));
        EXPECT_EQ(Find_Process(m, c.Name, c.Process_ID, 0), c.Found);
    }
    EXPECT_TRUE(d.processes.terminated.empty());  // Kill 0 never terminates
}

TEST_F(Housekeeping, Kill_1_Terminates_Only_The_Matching_Process) {
    EXPECT_TRUE(Find_Process(m, "vncviewer.exe", 4002, 1));
    EXPECT_EQ(d.processes.terminated, (std::vector<uint32_t>{4002}));
    EXPECT_FALSE(Find_Process(m, "vncviewer.exe", 4002, 1));  // gone now
    EXPECT_FALSE(Find_Process(m, "vncviewer.exe", 0, 1));
    EXPECT_EQ(d.processes.terminated, (std::vector<uint32_t>{4002}));
}

TEST_F(Housekeeping, Kill_Values_Other_Than_1_Only_Look) {
    for (uint8_t Kill : {0, 2, 255}) {
        SCOPED_TRACE(static_cast<int>(Kill));
        EXPECT_TRUE(Find_Process(m, "vncviewer.exe", 4001, Kill));
    }
    EXPECT_TRUE(d.processes.terminated.empty());
}

TEST_F(Housekeeping, Process_List_Failure_Reaches_The_Caller) {
    d.processes.list_raises = true;
    EXPECT_THROW(Find_Process(m, "vncviewer.exe", 4001, 1), Runtime_Error);
    EXPECT_TRUE(d.processes.terminated.empty());
}

TEST_F(Housekeeping, Minimize_All_Windows_Posts_419_And_Any_Other_Value_Undoes_With_416) {
    for (uint8_t Undo : {0, 1, 2, 255}) Minimize_All_Windows(m, Undo);
    EXPECT_EQ(d.windows.taskbar_commands, (std::vector<int>{419, 416, 416, 416}));
}

class Front_Events : public Form_Events {};

TEST_F(Housekeeping, Bring_Form_To_Front_Restores_Raises_And_Sleeps_50_Ms) {
    Front_Events events;
    Form_Design design;
    design.Caption = "dialog";
    std::unique_ptr<Form> dialog = d.platform().forms.Load_Form(design, events);
    std::unique_ptr<Form> other = d.platform().forms.Load_Form(design, events);
    auto* fake_dialog = d.forms.live[0];
    auto* fake_other = d.forms.live[1];

    struct Case {
        Window_State Before;
        uint64_t Event_Passes;  // a window state change lets events run once more
    };
    for (const Case c : {Case{Window_State::Minimized, 2}, Case{Window_State::Maximized, 2},
                         Case{Window_State::Normal, 1}}) {
        SCOPED_TRACE(static_cast<int>(c.Before));
        dialog->Set_State(c.Before);
        other->Bring_To_Top();
        ASSERT_GT(fake_other->z_order, fake_dialog->z_order);
        const uint64_t passes = d.forms.do_events_calls;
        const uint32_t clock = d.clock.now;

        Bring_Form_To_Front(m, *dialog);

        EXPECT_EQ(dialog->State(), Window_State::Normal);
        EXPECT_GT(fake_dialog->z_order, fake_other->z_order);
        EXPECT_EQ(d.forms.do_events_calls - passes, c.Event_Passes);
        // Each pass of events moves the fake clock 1 ms; the rest is the sleep.
        EXPECT_EQ(d.clock.now - clock, 50 + c.Event_Passes * d.forms.event_step_ms);
    }
}

}  // namespace
}  // namespace nrvnc
