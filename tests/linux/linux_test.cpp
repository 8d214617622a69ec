// The Linux services: the contract every backend keeps
// (tests/support/services_contract.cpp) through this factory, and what
// only Linux does.
#include <gtest/gtest.h>

#include <optional>

#include "platform/x11/clock.h"
#include "platform/x11/event_wait.h"
#include "platform/x11/files.h"
#include "platform/x11/network.h"
#include "platform/x11/processes.h"
#include "platform/x11/program_lookup.h"
#include "tests/support/backend.h"

namespace nrvnc::test {

const Backend& The_Backend() {
    static const Backend backend{
        .Make_Clock = [](uint32_t offset) { return std::make_unique<Linux_Clock>(offset); },
        .Files = Make<Linux_File_System>,
        .Make_Processes = Make<Linux_Processes>,
        .Make_Network =
            [](long limit_ms) {
                Linux_Network_Options options;
                options.Check_Connect_Ms = options.Check_Total_Ms = limit_ms;
                return std::make_unique<Linux_Network>(options);
            },
        .Ftp =
            [](uint16_t port, long limit_ms) {
                return std::make_unique<Curl_Ftp_Client>(
                    port, limit_ms ? Ftp_Timeouts{limit_ms, 2 * limit_ms} : Ftp_Timeouts{});
            },
        .Wait_For_Activity = [](int ms) { return Event_Wait::Wait_For_Activity(ms); },
        .Not_Ordinary_Files =
            [](const Temp_Folder& folder) {
                Write_Text(folder / ".NRVNC.INI", "x");
                return std::vector<std::string>{folder / ".NRVNC.INI"};
            },
        .Child_Line = "sleep 30",
        .Keeps_Recent_Leftovers = true,
    };
    return backend;
}

namespace {

void Write_Script(const std::string& path, const std::string& text) {
    Write_Text(path, "#!/bin/sh\n" + text);
    std::filesystem::permissions(path, std::filesystem::perms(0755));
}

TEST(Linux_File_System, ProgramFiles_And_LocalAppData_Follow_The_Linux_Places) {
    const char* const variables[] = {"ProgramFiles", "LocalAppData", "XDG_DATA_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved;
    for (const char* name : variables)
        saved.push_back(getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt);
    auto set = [](const char* name, const char* value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    };
    const struct {
        const char *Name, *Own, *Xdg, *Home;  // nullptr: not set
        std::optional<std::string> Expected;
    } cases[] = {
        // Either set comes first: the whole-program runs set both.
        {"ProgramFiles", nullptr, "/xdg", "/home/op", std::nullopt},
        {"LocalAppData", nullptr, "/xdg", "/home/op", "/xdg"},
        {"LocalAppData", "", "relative/data", "/home/op", "/home/op/.local/share"},
        {"LocalAppData", nullptr, nullptr, nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        set(c.Name, c.Own);
        set("XDG_DATA_HOME", c.Xdg);
        set("HOME", c.Home);
        EXPECT_EQ(Linux_File_System().Environment_Variable(c.Name), c.Expected) << &c - cases;
    }
    for (std::size_t i = 0; i < saved.size(); ++i)
        set(variables[i], saved[i] ? saved[i]->c_str() : nullptr);
}

// Each test runs in a fresh working directory and ends what it started.
class Linux_Processes_Test : public ::testing::Test {
  protected:
    Linux_Processes_Test() { std::filesystem::current_path(Folder.Path); }
    ~Linux_Processes_Test() override {
        for (uint32_t pid : Started) kill(-static_cast<pid_t>(pid), SIGKILL);  // and its children
        std::filesystem::current_path(Saved);
    }
    uint32_t Start(const std::string& line) {
        return Started.emplace_back(Processes.Start(line, Show_State::Hidden));
    }
    // Waits for the file the child writes last and reads it.
    std::string Written(const std::string& name) {
        EXPECT_TRUE(Eventually([&] { return std::filesystem::exists(Folder / name); })) << name;
        return Read_Text(Folder / name);
    }
    std::filesystem::path Saved = std::filesystem::current_path();
    Temp_Folder Folder;
    Linux_Processes Processes;
    std::vector<uint32_t> Started;
};

bool Running(uint32_t pid) {
    std::string stat = Read_Text("/proc/" + std::to_string(pid) + "/stat");
    return !stat.empty() && stat.find(") Z ") == std::string::npos;  // a zombie has ended
}

TEST_F(Linux_Processes_Test, Terminate_Sends_SIGTERM_First_And_SIGKILL_Only_After_The_Grace) {
    // This one takes 300 ms to finish after SIGTERM. Named "sleep", it also
    // shows that the working directory comes before the path.
    Write_Script(Folder / "sleep",
                 "trap 'echo term >> log; sleep 0.3; echo done >> log; kill $!; exit' TERM\n"
                 "sleep 60 &\necho > up\nwait\n");
    const uint32_t polite = Start("sleep");
    Written("up");
    Processes.Terminate(polite);
    EXPECT_EQ(Read_Text(Folder / "log"), "term\ndone\n");
    // An ignored signal stays ignored across exec: both sleeps ignore
    // SIGTERM. The one in the background is not our child.
    Write_Script(Folder / "stubborn",
                 "trap '' TERM\nsleep 60 &\necho $! > pid.tmp\nmv pid.tmp pid\nexec sleep 60\n");
    const uint32_t child = Start("stubborn");
    const uint32_t grandchild = static_cast<uint32_t>(std::stoul(Written("pid")));
    for (uint32_t pid : {child, grandchild}) {
        ASSERT_TRUE(Running(pid));
        Processes.Terminate(pid);
        EXPECT_FALSE(Running(pid)) << pid;
    }
}

TEST_F(Linux_Processes_Test, Arguments_Are_Split_On_Blanks_And_Kept_Literal_Without_A_Shell) {
    // From the working directory, with a name longer than the kernel's
    // 15-character command name, in a session of its own (it outlives us).
    Write_Script(Folder / "nrvnc_argv_helper",
                 "printf '%s\\n' \"$@\" > argv.tmp\nmv argv.tmp argv\nsleep 30\n");
    const uint32_t pid =
        Start("nrvnc_argv_helper  one   two\t$(touch injected) ;rm 'q' \"dq\" * `id`  ");
    EXPECT_EQ(Written("argv"), "one\ntwo\n$(touch\ninjected)\n;rm\n'q'\n\"dq\"\n*\n`id`\n");
    EXPECT_FALSE(std::filesystem::exists(Folder / "injected"));
    EXPECT_EQ(getsid(static_cast<pid_t>(pid)), static_cast<pid_t>(pid));
}

// The file system's viewer check (Native_Path of the viewer's name) and the
// start agree: a program beside this one comes first, one there that cannot
// run is an error, never the one here instead. (The whole-program runs start
// the viewer from beside the program and from the working directory.)
TEST_F(Linux_Processes_Test, A_Program_Beside_This_One_Comes_First_Even_One_That_Cannot_Run) {
    const std::string name = "nrvnc_viewer_probe_" + std::to_string(getpid());
    const std::string beside = Program_Folder() + "/" + name;
    Write_Script(Folder / name, "echo here > which\n");
    Write_Text(beside, "not a program");
    EXPECT_EQ(Linux_File_System(name).Native_Path(name), beside);
    EXPECT_EQ(Error_Of([&] { Start(name); }), Error_Number::Permission_Denied);
    std::filesystem::remove(beside);
}

TEST(Curl_Ftp_Client, Says_Goodbye_In_Bounded_Time_And_Fails_Without_Libcurl) {
    setenv("NRVNC_FTP_SILENT_QUIT", "1", 1);  // this server never answers QUIT
    Ftp_Server server;
    unsetenv("NRVNC_FTP_SILENT_QUIT");
    server.Publish("ten", "0123456789");
    Curl_Ftp_Client client(server.Port);
    const auto session = client.Internet_Open("agent");
    const auto connection = client.Internet_Connect(session, "127.0.0.1", 0, Builtin::FTP_User_Name,
                                                    Builtin::FTP_Password);
    ASSERT_TRUE(connection && client.Set_Current_Directory(connection, "VNCRepeater"));
    const auto start = std::chrono::steady_clock::now();
    client.Close_Handle(session);
    // The goodbye waits 2 s for an answer; a step's own limit is 20 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    Curl_Ftp_Client without(server.Port, {}, "libcurl-that-is-not-there.so.4");
    EXPECT_EQ(without.Internet_Connect(without.Internet_Open("agent"), "127.0.0.1", 0,
                                       Builtin::FTP_User_Name, Builtin::FTP_Password),
              0u);
}

}  // namespace
}  // namespace nrvnc::test
