// Real parts for the tests that run against the machine: temporary folders,
// the working directory and environment, small files, loopback listeners and
// a loopback FTP server (pyftpdlib). A test program that includes this
// defines NRVNC_TEST_SUPPORT_DIR (the folder of ftp_server.py) in its
// extra.cmake.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "builtin_values.h"

extern char** environ;

namespace nrvnc::test {

// A fresh folder, removed with everything in it.
struct Temp_Folder {
    Temp_Folder() {
        Path = (std::filesystem::temp_directory_path() / "nrvnc_test_XXXXXX").string();
        mkdtemp(Path.data());
    }
    ~Temp_Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    std::string operator/(const std::string& name) const { return Path + "/" + name; }
    std::string Path;
};

// Changes the working directory for one test and changes it back.
struct Working_Directory_Guard {
    explicit Working_Directory_Guard(const std::string& path) {
        std::filesystem::current_path(path);
    }
    ~Working_Directory_Guard() { std::filesystem::current_path(Saved); }
    std::filesystem::path Saved = std::filesystem::current_path();
};

// Sets (or, given nullptr, clears) environment variables for one test and
// restores them.
struct Environment_Guard {
    ~Environment_Guard() {
        for (auto it = Saved.rbegin(); it != Saved.rend(); ++it)
            it->second ? setenv(it->first.c_str(), it->second->c_str(), 1)
                       : unsetenv(it->first.c_str());
    }
    void Set(const std::string& name, const char* value) {
        const char* old = getenv(name.c_str());
        Saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

inline void Write_Text(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    chmod(path.c_str(), mode);
}

inline std::string Read_Text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Polls until the condition holds; the limit is only a safety net against
// hanging (real waits end long before).
template <typename Condition>
bool Eventually(Condition condition) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A TCP socket bound to 127.0.0.1 on a free port: listening, not listening
// (a closed port), or listening with a full queue (never answers).
struct Loopback_Listener {
    Loopback_Listener() {
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        bind(Fd, reinterpret_cast<sockaddr*>(&address), length);
        getsockname(Fd, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
    }
    ~Loopback_Listener() {
        for (int fd : Others) close(fd);
        close(Fd);
    }
    void Listen() { listen(Fd, 16); }

    // Fills the accept queue, so that the kernel drops any further SYN and a
    // new connection attempt neither succeeds nor fails: it just waits.
    // True when that state was reached.
    bool Listen_Without_Answering() {
        listen(Fd, 0);
        for (int i = 0; i < 16; ++i) {
            Others.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            sockaddr_in address = Loopback(Port);
            connect(Others.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd entry{Others.back(), POLLOUT, 0};
            if (poll(&entry, 1, 300) == 0) return true;  // this one hangs: the queue is full
        }
        return false;
    }

    // The next connection, or -1 when none arrives in time.
    int Accept(int timeout_ms = 10000) {
        pollfd entry{Fd, POLLIN, 0};
        if (poll(&entry, 1, timeout_ms) <= 0) return -1;
        int accepted = accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted >= 0) Others.push_back(accepted);
        return accepted;
    }

    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    int Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    uint16_t Port = 0;
    std::vector<int> Others;
};

// A real FTP server (pyftpdlib, active mode only) on loopback serving a
// folder of its own to the program's user. Port is 0 when it did not start.
// It also ends when our end of its standard input closes, so it never
// outlives a test program that crashed.
struct Loopback_Ftp_Server {
    explicit Loopback_Ftp_Server(std::string password = Builtin::FTP_Password) {
        int to_server[2], from_server[2];
        if (pipe2(to_server, O_CLOEXEC) != 0 || pipe2(from_server, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to_server[0], 0);
        posix_spawn_file_actions_adddup2(&actions, from_server[1], 1);
        std::string python = "/usr/bin/python3";
        std::string script = std::string(NRVNC_TEST_SUPPORT_DIR) + "/ftp_server.py";
        char* arguments[] = {python.data(), script.data(), Root.Path.data(), password.data(),
                             nullptr};
        if (posix_spawn(&Server, python.c_str(), &actions, nullptr, arguments, environ) != 0)
            Server = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(to_server[0]);
        close(from_server[1]);
        Stdin = to_server[1];
        std::string line;  // the server's first line is its port
        for (char c; read(from_server[0], &c, 1) == 1 && c != '\n';) line += c;
        close(from_server[0]);
        Port = static_cast<uint16_t>(std::atoi(line.c_str()));
    }
    ~Loopback_Ftp_Server() {
        if (Stdin >= 0) close(Stdin);
        if (Server > 0 && kill(Server, SIGTERM) == 0) waitpid(Server, nullptr, 0);
    }

    // Puts the folder VNCRepeater, and the file Repeater.Dat in it unless
    // `content` is null, on the server.
    void Publish(const char* content) {
        std::filesystem::create_directories(Root / "VNCRepeater");
        if (content) Write_Text(Root / "VNCRepeater/Repeater.Dat", content);
    }

    Temp_Folder Root;
    pid_t Server = -1;
    int Stdin = -1;
    uint16_t Port = 0;
};

}  // namespace nrvnc::test
