// The clock, files and processes of Linux, on the real machine.
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <algorithm>
#include <ctime>
#include <functional>

#include "platform/error.h"
#include "platform/x11/clock.h"
#include "platform/x11/files.h"
#include "platform/x11/processes.h"
#include "platform/x11/program_lookup.h"
#include "tests/support/real_peers.h"

namespace nrvnc {
namespace {

using namespace test;

// The number of the error the action raises, or 0.
int Error_Of(const std::function<void()>& action, std::string* words = nullptr) {
    try {
        action();
    } catch (const Runtime_Error& error) {
        if (words) *words = error.Description;
        return error.Number;
    }
    return 0;
}

TEST(Linux_Clock, Tick_Count_Wraps_At_32_Bits_And_Weekday_Counts_From_Sunday_As_1) {
    Linux_Clock clock(0xFFFFFFFFu - 200u - Linux_Clock().Tick_Count());  // 200 ms to the wrap
    const uint32_t before = clock.Tick_Count();
    clock.Sleep_Ex(300, false);
    const uint32_t after = clock.Tick_Count();
    EXPECT_GT(before, 0xFFFFFF00u);
    EXPECT_LT(after, before);
    EXPECT_GE(after - before, 300u);

    auto today = [] {
        time_t now = time(nullptr);
        return localtime(&now)->tm_wday + 1;
    };
    const int day_before = today(), weekday = clock.Weekday();  // midnight may pass
    EXPECT_TRUE(weekday == day_before || weekday == today()) << weekday;
}

TEST(Linux_File_System, Paths_Are_Native_And_Hidden_Files_Do_Not_Count) {
    Temp_Folder folder;
    Write_Text(folder / "NRVNC.INI", "x");
    Write_Text(folder / ".NRVNC.INI", "x");
    std::filesystem::create_directory(folder / "sub");
    Linux_File_System files;
    EXPECT_EQ(files.Native_Path("/opt\\NRVNC\\NRVNC.INI"), "/opt/NRVNC/NRVNC.INI");
    for (auto [path, exists] : {std::pair{folder / "NRVNC.INI", true},
                                {folder / ".NRVNC.INI", false},
                                {folder / "sub", false},
                                {folder / "missing", false},
                                {folder.Path + "\\NRVNC.INI", true}})
        EXPECT_EQ(files.Ordinary_File_Exists(path), exists) << path;
    EXPECT_TRUE(files.Folder_Exists(folder.Path + "\\sub"));
    EXPECT_FALSE(files.Folder_Exists(folder / "NRVNC.INI"));
}

TEST(Linux_File_System, ProgramFiles_And_LocalAppData_Follow_The_Linux_Places) {
    struct Case {
        const char* Name;
        const char *Own, *Xdg, *Home;  // nullptr: not set
        std::optional<std::string> Expected;
    };
    for (const Case& c : {
             Case{"ProgramFiles", "/opt/programs", "/xdg", "/home/op", "/opt/programs"},
             Case{"ProgramFiles", nullptr, "/xdg", "/home/op", std::nullopt},
             Case{"ProgramFiles", "", "/xdg", "/home/op", std::nullopt},
             Case{"LocalAppData", "/data/local", "/xdg", "/home/op", "/data/local"},
             Case{"LocalAppData", nullptr, "/xdg", "/home/op", "/xdg"},
             Case{"LocalAppData", "", "relative/data", "/home/op", "/home/op/.local/share"},
             Case{"LocalAppData", nullptr, nullptr, nullptr, std::nullopt},
         }) {
        SCOPED_TRACE(std::string(c.Name) + " " + (c.Own ? c.Own : "unset") + " " +
                     (c.Xdg ? c.Xdg : "unset"));
        Environment_Guard environment;
        environment.Set(c.Name, c.Own);
        environment.Set("XDG_DATA_HOME", c.Xdg);
        environment.Set("HOME", c.Home);
        EXPECT_EQ(Linux_File_System().Environment_Variable(c.Name), c.Expected);
    }
}

TEST(Linux_File_System, Files_Are_Written_Replaced_At_Once_And_Read_At_Their_Head) {
    Temp_Folder folder;
    Linux_File_System files;
    Write_Text(folder / "NRVNC.INI", std::string(10000, 'z'));
    // Each save gets a new file of its own beside the target.
    const std::string mine =
        files.Write_Temporary_File(folder.Path + "\\NRVNC.INI", "new host\r\n");
    const std::string other = files.Write_Temporary_File(folder / "NRVNC.INI", "other\r\n");
    EXPECT_NE(mine, other);
    EXPECT_TRUE(mine.starts_with(folder / "NRVNC.INI.")) << mine;
    EXPECT_EQ(Read_Text(other), "other\r\n");
    files.Replace_File(mine, folder / "NRVNC.INI");
    EXPECT_EQ(Read_Text(folder / "NRVNC.INI"), "new host\r\n");
    EXPECT_FALSE(std::filesystem::exists(mine));
    EXPECT_EQ(files.Read_Head(folder / "NRVNC.INI", 3), "new");
    // A missing source leaves the target alone.
    EXPECT_EQ(Error_Of([&] { files.Replace_File(folder / "gone", folder / "NRVNC.INI"); }),
              Error_Number::File_Not_Found);
    EXPECT_EQ(Read_Text(folder / "NRVNC.INI"), "new host\r\n");
}

TEST(Linux_File_System, A_Save_Removes_What_Dead_Saves_Left_And_Nothing_Else) {
    Temp_Folder folder;
    Linux_File_System files;
    const std::string ini = folder / "NRVNC.INI";
    const pid_t dead = fork();  // two saves of a process that ended before replacing
    if (dead == 0) {
        Linux_File_System().Write_Temporary_File(ini, "dead");
        Linux_File_System().Write_Temporary_File(ini, "dead");
        _exit(0);
    }
    waitpid(dead, nullptr, 0);
    const std::string id = std::to_string(dead);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path))
        if (entry.path().filename().string().starts_with("NRVNC.INI." + id + "."))
            left.push_back(entry.path());
    ASSERT_EQ(left.size(), 2u);
    const std::string live = files.Write_Temporary_File(ini, "live");  // its process runs
    const std::string others[] = {"NRVNC.INI",
                                  "NRVNC.INI.bak",
                                  "OTHER.INI." + id + ".1.0123abcd",
                                  "NRVNC.INI." + id + ".1.0123ABCD",
                                  "NRVNC.INI." + id + ".1.0123abcd.x",
                                  "NRVNC.INI.+" + id + ".1.0123abcd"};
    auto age = [](const std::string& path) {
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
    };
    for (const std::string& name : others) {
        Write_Text(folder / name, "other");
        age(folder / name);
    }
    age(left[0]);
    age(live);

    files.Write_Temporary_File(ini, "next");
    EXPECT_FALSE(std::filesystem::exists(left[0]));
    EXPECT_EQ(Read_Text(left[1]), "dead");  // written just now: maybe a save on another machine
    EXPECT_EQ(Read_Text(live), "live");
    for (const std::string& name : others) EXPECT_EQ(Read_Text(folder / name), "other") << name;
}

TEST(Linux_File_System, Failures_Raise_Numbered_Errors_With_The_System_Words) {
    Temp_Folder folder;
    Linux_File_System files;
    std::filesystem::create_directory(folder / "existing");
    struct Case {
        std::function<void()> Action;
        int Number;
        const char* Words;
    };
    for (const Case& c : {
             Case{[&] { files.Read_Head(folder / "missing", 10); }, Error_Number::File_Not_Found,
                  "No such file or directory"},
             Case{[&] { files.Write_Temporary_File(folder / "nowhere/NRVNC.INI", "x"); },
                  Error_Number::Path_Not_Found, "No such file or directory"},
             Case{[&] { files.Write_File("/dev/full", "x"); }, Error_Number::Disk_Full,
                  "No space left on device"},
             Case{[&] { files.Create_Folder(folder / "existing"); },
                  Error_Number::Path_File_Access_Error, "File exists"},
             Case{[&] { files.Delete_File(folder / "missing"); }, Error_Number::File_Not_Found,
                  "No such file or directory"},
         }) {
        std::string words;
        EXPECT_EQ(Error_Of(c.Action, &words), c.Number) << c.Words;
        EXPECT_EQ(words, c.Words);
    }
}

// Each test runs in a fresh working directory and ends what it started.
class Linux_Processes_Test : public ::testing::Test {
  protected:
    ~Linux_Processes_Test() override {
        for (uint32_t pid : Started) kill(-static_cast<pid_t>(pid), SIGKILL);  // and its children
    }
    uint32_t Start(const std::string& line) {
        return Started.emplace_back(Processes.Start(line, Show_State::Hidden));
    }
    bool Listed(const std::string& name, uint32_t pid) {
        auto all = Processes.List();
        return std::any_of(all.begin(), all.end(), [&](const Process_Entry& e) {
            return e.Process_ID == pid && (name.empty() || e.Name == name);
        });
    }
    Temp_Folder Folder;
    Working_Directory_Guard In_Folder{Folder.Path};
    Linux_Processes Processes;
    std::vector<uint32_t> Started;
};

bool Running(uint32_t pid) {
    std::string stat = Read_Text("/proc/" + std::to_string(pid) + "/stat");
    return !stat.empty() && stat.find(") Z ") == std::string::npos;  // a zombie has ended
}

TEST_F(Linux_Processes_Test, A_Program_From_The_Path_Gets_Its_Own_Session) {
    const uint32_t pid = Start("sleep 30");
    EXPECT_TRUE(Listed("sleep", pid));
    EXPECT_EQ(getsid(static_cast<pid_t>(pid)), static_cast<pid_t>(pid));  // outlives us
    std::string words;
    EXPECT_EQ(Error_Of([&] { Start("nrvnc_no_such_program -viewonly"); }, &words),
              Error_Number::File_Not_Found);
    EXPECT_EQ(words, "File not found: nrvnc_no_such_program");
}

TEST_F(Linux_Processes_Test, Terminate_Returns_Once_A_Process_That_Ignores_SIGTERM_Has_Ended) {
    // An ignored signal stays ignored across exec: both sleeps ignore SIGTERM.
    // The one in the background is not our child.
    Write_Text(Folder / "stubborn",
               "#!/bin/sh\ntrap '' TERM\nsleep 60 &\necho $! > pid.tmp\nmv pid.tmp pid.txt\n"
               "exec sleep 60\n",
               0755);
    const uint32_t child = Start("stubborn");
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Folder / "pid.txt"); }));
    const uint32_t grandchild = static_cast<uint32_t>(std::stoul(Read_Text(Folder / "pid.txt")));
    for (uint32_t pid : {child, grandchild}) {
        ASSERT_TRUE(Running(pid));
        Processes.Terminate(pid);
        EXPECT_FALSE(Running(pid)) << pid;
    }
}

TEST(Linux_Processes, Terminate_Never_Signals_A_Process_Group_Or_Everyone) {
    // In a child process that the kernel stops (SIGSYS) before any kill()
    // aimed at a group or at every process could take effect.
    const pid_t tester = fork();
    if (tester == 0) {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_kill, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),  // low half
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x80000000u, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            _exit(2);
        Linux_Processes processes;
        for (uint32_t id : {0u, 0xFFFFFFFFu, 0x80000000u, 0xFFFFFFFEu}) processes.Terminate(id);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(tester, &status, 0), tester);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(Linux_Processes_Test, Arguments_Are_Split_On_Blanks_And_Kept_Literal_Without_A_Shell) {
    // In the working directory only, with a name longer than the kernel's
    // 15-character command name.
    Write_Text(Folder / "nrvnc_argv_helper",
               "#!/bin/sh\nprintf '%s\\n' \"$@\" > argv.tmp\nmv argv.tmp argv.txt\nsleep 30\n",
               0755);
    const uint32_t pid =
        Start("nrvnc_argv_helper  one   two\t$(touch injected) ;rm 'q' \"dq\" * `id`  ");
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Folder / "argv.txt"); }));
    EXPECT_EQ(Read_Text(Folder / "argv.txt"),
              "one\ntwo\n$(touch\ninjected)\n;rm\n'q'\n\"dq\"\n*\n`id`\n");
    EXPECT_FALSE(std::filesystem::exists(Folder / "injected"));
    EXPECT_TRUE(Listed("nrvnc_argv_helper", pid));
}

TEST_F(Linux_Processes_Test, The_Working_Directory_Comes_Before_The_Path) {
    Write_Text(Folder / "sleep", "#!/bin/sh\necho here > which.tmp\nmv which.tmp which.txt\n",
               0755);
    Start("sleep 30");
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Folder / "which.txt"); }));
}

TEST_F(Linux_Processes_Test, A_Program_Beside_This_One_Comes_First_For_The_Check_And_The_Start) {
    // The file system's viewer check (Native_Path of the viewer's name) and
    // the start agree: beside the program, else here; one beside that cannot
    // run is an error, never the one here instead.
    const std::string name = "nrvnc_viewer_probe_" + std::to_string(getpid());
    const std::string beside = Program_Folder() + "/" + name;
    auto script = [](const char* who) {
        return std::string("#!/bin/sh\necho ") + who + " > which.tmp\nmv which.tmp which.txt\n";
    };
    Linux_File_System files(name);
    Write_Text(Folder / name, script("here"), 0755);
    for (auto [beside_mode, ran] : {std::pair{0755, "beside"}, {0, "here"}, {0644, ""}}) {
        SCOPED_TRACE(beside_mode);
        if (beside_mode) Write_Text(beside, script("beside"), static_cast<mode_t>(beside_mode));
        EXPECT_EQ(files.Native_Path(name), beside_mode ? beside : "./" + name);
        EXPECT_EQ(Error_Of([&] { Start(name); }), *ran ? 0 : 70);
        if (*ran) {
            ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(Folder / "which.txt"); }));
            EXPECT_EQ(Read_Text(Folder / "which.txt"), std::string(ran) + "\n");
        }
        std::filesystem::remove(Folder / "which.txt");
        std::filesystem::remove(beside);
    }
    EXPECT_EQ(files.Native_Path("other\\name"), "other/name");  // other paths as before
}

}  // namespace
}  // namespace nrvnc
