// Process lookup and termination.
#include "session/state/housekeeping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

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
    EXPECT_TRUE(d.processes.terminated.empty());

    EXPECT_TRUE(Find_Process(m, "vncviewer.exe", 4002, 1));
    EXPECT_FALSE(Find_Process(m, "vncviewer.exe", 4002, 1));  // gone now
    EXPECT_FALSE(Find_Process(m, "vncviewer.exe", 4004, 1));
    EXPECT_EQ(d.processes.terminated, (std::vector<uint32_t>{4002}));
}

}  // namespace
}  // namespace nrvnc
