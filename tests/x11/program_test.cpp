// The nrvnc program itself: what it does where there is no X display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

#ifdef NRVNC_PROGRAM
struct Run_Result {
    int Status = -1;
    std::string Error_Output;
};

// Runs the program with DISPLAY set to display (unset when empty).
Run_Result Run_Without_Display(const std::string& display) {
    std::vector<std::string> env_texts;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) env_texts.push_back(*e);
    if (!display.empty()) env_texts.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (auto& s : env_texts) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string program = NRVNC_PROGRAM;
    char* argv[] = {program.data(), nullptr};
    int err[2];
    Run_Result result;
    if (pipe2(err, O_CLOEXEC) != 0) return result;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    std::string folder = testing::TempDir();
    posix_spawn_file_actions_addchdir_np(&fa, folder.c_str());
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&fa);
    close(err[1]);
    if (rc != 0) {
        close(err[0]);
        return result;
    }
    char buf[512];
    ssize_t n;
    while ((n = read(err[0], buf, sizeof buf)) > 0)
        result.Error_Output.append(buf, static_cast<size_t>(n));
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TEST(Program_Test, WithoutADisplayItSaysSoInOneLineAndEnds) {
    struct Case {
        std::string Display, Line;
    } cases[] = {
        {"", "nrvnc: cannot open the X display: DISPLAY is not set\n"},
        {":987", "nrvnc: cannot open the X display \":987\"\n"},
    };
    for (const auto& c : cases) {
        auto result = Run_Without_Display(c.Display);
        EXPECT_EQ(result.Status, 1) << c.Display;
        EXPECT_EQ(result.Error_Output, c.Line);
    }
}
#endif

}  // namespace
