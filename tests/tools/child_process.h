// Real child processes for the tests that run built programs, and a private
// Xvfb for one test program or one test.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/tools/eventually.h"

extern char** environ;

namespace child_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nrvnc::test::Eventually;

struct Child {
    pid_t Pid = -1;
    int Out_Fd = -1;  // read end of the captured stream
    int In_Fd = -1;   // write end of its standard input, when fed
};

// Runs args[0] in this process's environment. `capture` is a descriptor
// of the child piped back to Out_Fd; stdout and stderr not captured go to
// /dev/null; with feed_stdin its standard input is a pipe from In_Fd. The child is killed when the
// test program dies, even by an abort that runs no destructor, so no Xvfb or peer outlives a failed
// run.
inline Child Spawn(const std::vector<std::string>& args, int capture = 0, bool feed_stdin = false) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child child;
    int p[2] = {-1, -1};
    if (capture && pipe2(p, O_CLOEXEC) == 0) child.Out_Fd = p[0];
    int in[2] = {-1, -1};
    if (feed_stdin && pipe2(in, O_CLOEXEC) == 0) child.In_Fd = in[1];
    const pid_t parent = getpid();
    child.Pid = fork();
    if (child.Pid == 0) {
        // Only calls that are safe between fork and exec.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        int null = open("/dev/null", O_WRONLY);
        for (int fd : {1, 2})
            if (fd != capture) dup2(null, fd);
        if (p[1] >= 0) dup2(p[1], capture);
        if (in[0] >= 0) dup2(in[0], 0);
        execve(argv[0], argv.data(), environ);
        _exit(127);
    }
    for (int fd : {p[1], in[0]})
        if (fd >= 0) close(fd);
    return child;
}

// The exit status (128 + signal when killed); a child still running when
// the time is up is killed, and there is none.
inline std::optional<int> Exit_Status(pid_t pid, std::chrono::milliseconds limit = 10s) {
    int status = 0;
    pid_t ended = 0;
    if (!Eventually([&] { return (ended = waitpid(pid, &status, WNOHANG)) != 0; }, limit)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (ended != pid) return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline void Reap(pid_t pid) {
    if (pid > 0 && kill(pid, SIGTERM) == 0) Exit_Status(pid, 3s);
}

// What the stream brings until its end or until the time is up; with line,
// the first line without its newline.
inline std::string Read(int fd, std::chrono::milliseconds limit, bool line = false) {
    std::string text;
    char buf[65536];
    for (auto end = Clock::now() + limit;;) {
        if (line && !text.empty() && text.back() == '\n') return text.substr(0, text.size() - 1);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        ssize_t n = read(fd, buf, line ? 1 : sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

// Xvfb picks a free display number itself and reports it through -displayfd
// (not stdout: that descriptor, once closed, may carry a client's connection).
// Name is empty when it did not start.
struct Xvfb {
    explicit Xvfb(int dpi = 96, const std::string& size = "1024x768x24") {
        Server = Spawn({"/usr/bin/Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset",
                        "-screen", "0", size, "-dpi", std::to_string(dpi)},
                       3);
        std::string number = Read(Server.Out_Fd, 10s, true);
        if (Server.Pid > 0 && !number.empty()) Name = ":" + number;
    }
    ~Xvfb() {
        Reap(Server.Pid);
        if (Server.Out_Fd >= 0) close(Server.Out_Fd);
    }
    Child Server;
    std::string Name;
};

}  // namespace child_test
