#include "platform/x11/processes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/support/real_peers.h"
#include "platform/error.h"

namespace nrvnc {
namespace {

using test::Eventually;
using test::Read_Text;
using test::Write_Text;

bool Is_Listed(Linux_Processes& processes, const std::string& name, uint32_t pid) {
    std::vector<Process_Entry> all = processes.List();
    return std::any_of(all.begin(), all.end(), [&](const Process_Entry& entry) {
        return entry.Name == name && entry.Process_ID == pid;
    });
}

bool Pid_Is_Listed(Linux_Processes& processes, uint32_t pid) {
    std::vector<Process_Entry> all = processes.List();
    return std::any_of(all.begin(), all.end(),
                       [&](const Process_Entry& entry) { return entry.Process_ID == pid; });
}

std::vector<std::string> Lines_Of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// Each test runs in a fresh working directory and ends what it started.
class Linux_Processes_Test : public ::testing::Test {
  protected:
    Linux_Processes_Test() : In_Folder(Folder.Path) {}
    ~Linux_Processes_Test() override {
        for (uint32_t pid : Started) kill(static_cast<pid_t>(pid), SIGKILL);
    }

    uint32_t Start(const std::string& line, Show_State show = Show_State::Hidden) {
        uint32_t pid = Processes.Start(line, show);
        Started.push_back(pid);
        return pid;
    }

    test::Temp_Folder Folder;
    test::Working_Directory_Guard In_Folder;
    Linux_Processes Processes;
    std::vector<uint32_t> Started;
};

TEST_F(Linux_Processes_Test, Started_Program_Is_Listed_Detached_And_Terminated) {
    uint32_t pid = Start("sleep 30");
    ASSERT_GT(pid, 0u);
    EXPECT_TRUE(Is_Listed(Processes, "sleep", pid));

    // Its own session, so it outlives us and our terminal.
    EXPECT_EQ(getsid(static_cast<pid_t>(pid)), static_cast<pid_t>(pid));
    for (int fd : {0, 1, 2}) {
        std::error_code error;
        auto target = std::filesystem::read_symlink(
            "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd), error);
        EXPECT_EQ(target, "/dev/null") << "descriptor " << fd;
    }
    // Nothing else of ours leaks into it.
    int open_descriptors = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        ++open_descriptors;
    }
    EXPECT_EQ(open_descriptors, 3);

    Processes.Terminate(pid);
    EXPECT_TRUE(Eventually([&] { return !Pid_Is_Listed(Processes, pid); }));
}

TEST_F(Linux_Processes_Test, Show_State_Reaches_The_Child_In_Its_Environment) {
    test::Environment_Guard environment;
    environment.Set("NRVNC_SHOW_STATE", "stale");
    for (auto [show, expected] : {std::pair{Show_State::Hidden, "NRVNC_SHOW_STATE=0"},
                                  std::pair{Show_State::Normal, "NRVNC_SHOW_STATE=1"}}) {
        uint32_t pid = Start("sleep 30", show);
        // The kernel shows the environment only once the new program is set up.
        std::string raw;
        ASSERT_TRUE(Eventually([&] {
            raw = Read_Text("/proc/" + std::to_string(pid) + "/environ");
            return !raw.empty();
        }));

        std::vector<std::string> entries;
        std::string::size_type start = 0;
        while (start < raw.size()) {
            std::string::size_type end = raw.find('\0', start);
            entries.push_back(raw.substr(start, end - start));
            start = end + 1;
        }
        EXPECT_EQ(std::count_if(
                      entries.begin(), entries.end(),
                      [](const std::string& e) { return e.rfind("NRVNC_SHOW_STATE=", 0) == 0; }),
                  1);
        EXPECT_NE(std::find(entries.begin(), entries.end(), expected), entries.end()) << expected;
    }
}

TEST_F(Linux_Processes_Test, Arguments_Are_Split_On_Blanks_And_Never_Interpreted) {
    Write_Text(Folder / "nrvnc_argv_helper",
               "#!/bin/sh\n"
               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > argv.tmp\n"
               "mv argv.tmp argv.txt\n",
               0755);
    Start("nrvnc_argv_helper  one   two\t$(touch injected) ;rm 'q' \"dq\" * `id` ID:1234  ");
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Folder / "argv.txt"); }));
    EXPECT_EQ(Lines_Of(Read_Text(Folder / "argv.txt")),
              (std::vector<std::string>{"one", "two", "$(touch", "injected)", ";rm", "'q'",
                                        "\"dq\"", "*", "`id`", "ID:1234"}));
    EXPECT_FALSE(std::filesystem::exists(Folder / "injected"));
}

TEST_F(Linux_Processes_Test, Program_In_The_Working_Directory_Comes_Before_The_Path) {
    // A "sleep" of our own, which PATH also has.
    Write_Text(Folder / "sleep",
               "#!/bin/sh\necho working-directory > which.tmp\nmv which.tmp which.txt\n", 0755);
    Start("sleep 30");
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Folder / "which.txt"); }));
    EXPECT_EQ(Read_Text(Folder / "which.txt"), "working-directory\n");
}

TEST_F(Linux_Processes_Test, Folder_Or_Plain_File_In_The_Working_Directory_Is_Passed_Over) {
    std::filesystem::create_directory(Folder / "sleep");
    uint32_t pid = Start("sleep 30");
    EXPECT_TRUE(Is_Listed(Processes, "sleep", pid));
}

TEST_F(Linux_Processes_Test, Script_Is_Listed_Under_Its_Own_Name) {
    // Longer than the kernel's 15-character command name.
    Write_Text(Folder / "nrvnc_viewer_stand_in", "#!/bin/sh\nsleep 30\nexit 0\n", 0755);
    uint32_t pid = Start("nrvnc_viewer_stand_in -viewonly");
    EXPECT_TRUE(Eventually([&] { return Is_Listed(Processes, "nrvnc_viewer_stand_in", pid); }));
}

TEST_F(Linux_Processes_Test, Start_Failures_Raise) {
    Write_Text(Folder / "nrvnc_not_executable", "#!/bin/sh\n", 0644);
    struct Case {
        const char* Line;
        int Number;
        const char* Words;
    };
    for (const Case& c : {
             Case{"nrvnc_no_such_program -viewonly", Error_Number::File_Not_Found,
                  "File not found: nrvnc_no_such_program"},
             Case{"./nrvnc_no_such_program", Error_Number::File_Not_Found,
                  "File not found: ./nrvnc_no_such_program"},
             Case{"nrvnc_not_executable", Error_Number::Permission_Denied,
                  "Permission denied: nrvnc_not_executable"},
             Case{"   ", Error_Number::Invalid_Procedure_Call, nullptr},
         }) {
        try {
            Start(c.Line);
            ADD_FAILURE() << c.Line << ": started";
        } catch (const Runtime_Error& error) {
            EXPECT_EQ(error.Number, c.Number) << c.Line;
            if (c.Words) {
                EXPECT_EQ(error.Description, c.Words) << c.Line;
            }
        }
    }
}

TEST_F(Linux_Processes_Test, Child_That_Ended_Is_Reaped_And_Not_Listed) {
    uint32_t pid = Start("true");
    std::string stat_path = "/proc/" + std::to_string(pid) + "/stat";
    // Wait until it has ended (a zombie until someone reaps it).
    ASSERT_TRUE(Eventually([&] {
        std::string stat = Read_Text(stat_path);
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    }));
    EXPECT_FALSE(Pid_Is_Listed(Processes, pid));
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(pid)));
}

TEST_F(Linux_Processes_Test, Terminate_Leaves_Process_Groups_Alone) {
    // kill(0) would hit our own process group: try it in a child of our own.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setsid();
        Linux_Processes processes;
        processes.Terminate(0);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    // An ID that has gone is fine.
    uint32_t pid = Start("true");
    ASSERT_TRUE(Eventually([&] { return !Pid_Is_Listed(Processes, pid); }));
    Processes.Terminate(pid);
}

TEST(Process_Name, Comes_From_The_Executable_Or_The_Script) {
    struct Case {
        std::string Exe;
        std::string Comm;
        std::vector<std::string> Arguments;
        std::string Expected;
    };
    const std::vector<Case> cases = {
        {"/usr/bin/sleep", "sleep", {}, "sleep"},
        {"/opt/viewer/vncviewer (deleted)", "vncviewer", {}, "vncviewer"},
        {"/opt/a_program_with_a_long_name", "a_program_with_", {}, "a_program_with_a_long_name"},
        {"/usr/bin/dash", "vncviewer", {"/bin/sh", "./vncviewer", "-viewonly"}, "vncviewer"},
        {"/usr/bin/python3.11",
         "nrvnc_viewer_st",
         {"/usr/bin/python3", "/w/nrvnc_viewer_stand_in"},
         "nrvnc_viewer_stand_in"},
        {"/usr/lib/firefox/firefox",
         "Web Content",
         {"/usr/lib/firefox/firefox", "-contentproc"},
         "Web Content"},
        {"", "kthreadd", {}, "kthreadd"},
        {"", "", {}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Process_Name(c.Exe, c.Comm, c.Arguments), c.Expected) << c.Exe << " / " << c.Comm;
    }
}

}  // namespace
}  // namespace nrvnc
