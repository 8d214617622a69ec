// Real parts for the tests that run against the machine: temporary folders,
// the working directory and environment, small files, loopback listeners and
// a loopback FTP server (pyftpdlib). A test program that includes this
// defines NRVNC_TEST_SUPPORT_DIR (the folder of ftp_server.py) in its
// extra.cmake.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
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
#include <string>
#include <thread>
#include <vector>

#include "builtin_values.h"

extern char** environ;

namespace nrvnc::test {

// A fresh folder, removed with everything in it.
class Temp_Folder {
  public:
    Temp_Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "nrvnc_test_XXXXXX").string();
        Path = mkdtemp(pattern.data());
    }
    ~Temp_Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    Temp_Folder(const Temp_Folder&) = delete;
    Temp_Folder& operator=(const Temp_Folder&) = delete;

    std::string operator/(const std::string& name) const { return Path + "/" + name; }

    std::string Path;
};

// Changes the working directory for one test and changes it back.
class Working_Directory_Guard {
  public:
    explicit Working_Directory_Guard(const std::string& path)
        : Saved(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~Working_Directory_Guard() { std::filesystem::current_path(Saved); }

  private:
    std::filesystem::path Saved;
};

// Sets or clears environment variables for one test and restores them.
class Environment_Guard {
  public:
    ~Environment_Guard() {
        for (auto it = Saved.rbegin(); it != Saved.rend(); ++it) {
            if (it->Was_Set) {
                setenv(it->Name.c_str(), it->Value.c_str(), 1);
            } else {
                unsetenv(it->Name.c_str());
            }
        }
    }
    void Set(const std::string& name, const std::string& value) {
        Remember(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Clear(const std::string& name) {
        Remember(name);
        unsetenv(name.c_str());
    }

  private:
    struct Entry {
        std::string Name;
        bool Was_Set;
        std::string Value;
    };
    void Remember(const std::string& name) {
        const char* value = getenv(name.c_str());
        Saved.push_back({name, value != nullptr, value ? value : ""});
    }
    std::vector<Entry> Saved;
};

inline void Write_Text(const std::string& path, const std::string& text, mode_t mode = 0644) {
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
    }
    chmod(path.c_str(), mode);
}

inline std::string Read_Text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Polls until the condition holds or the time runs out (the limit is only a
// safety net against hanging: real waits end long before).
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A TCP socket bound to 127.0.0.1 on a free port: listening, not listening
// (a closed port), or listening with a full queue (never answers).
class Loopback_Listener {
  public:
    Loopback_Listener() {
        Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        bind(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(Fd, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
    }
    ~Loopback_Listener() {
        for (int fd : Others) close(fd);
        close(Fd);
    }
    Loopback_Listener(const Loopback_Listener&) = delete;
    Loopback_Listener& operator=(const Loopback_Listener&) = delete;

    void Listen(int backlog = 16) { listen(Fd, backlog); }

    // Fills the accept queue, so that the kernel drops any further SYN and a
    // new connection attempt neither succeeds nor fails: it just waits.
    // True when that state was reached.
    bool Listen_Without_Answering() {
        listen(Fd, 0);
        for (int i = 0; i < 16; ++i) {
            int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            Others.push_back(client);
            sockaddr_in address = Loopback(Port);
            connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd entry{client, POLLOUT, 0};
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

    int Fd;
    uint16_t Port;

  private:
    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    std::vector<int> Others;
};

// A real FTP server (pyftpdlib) on loopback serving a folder of its own to
// the program's user. Port is 0 when it did not start.
class Loopback_Ftp_Server {
  public:
    explicit Loopback_Ftp_Server(const std::string& password = Builtin::FTP_Password) {
        int to_server[2], from_server[2];
        if (pipe2(to_server, O_CLOEXEC) != 0 || pipe2(from_server, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to_server[0], 0);
        posix_spawn_file_actions_adddup2(&actions, from_server[1], 1);
        std::string script = std::string(NRVNC_TEST_SUPPORT_DIR) + "/ftp_server.py";
        std::string pass = password;
        std::vector<char*> arguments = {const_cast<char*>("/usr/bin/python3"), script.data(),
                                        Root.Path.data(), pass.data(), nullptr};
        if (posix_spawn(&Server, "/usr/bin/python3", &actions, nullptr, arguments.data(),
                        environ) != 0)
            Server = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(to_server[0]);
        close(from_server[1]);
        Stdin = to_server[1];

        std::string line;
        char c;
        while (read(from_server[0], &c, 1) == 1 && c != '\n') line += c;
        close(from_server[0]);
        Port = static_cast<uint16_t>(std::atoi(line.c_str()));
    }
    ~Loopback_Ftp_Server() {
        if (Stdin >= 0) close(Stdin);
        if (Server > 0) {
            kill(Server, SIGTERM);
            waitpid(Server, nullptr, 0);
        }
    }
    Loopback_Ftp_Server(const Loopback_Ftp_Server&) = delete;
    Loopback_Ftp_Server& operator=(const Loopback_Ftp_Server&) = delete;

    // Puts VNCRepeater/Repeater.Dat (or only the folder) on the server.
    void Publish(const std::string& content) {
        Publish_Folder_Only();
        Write_Text(Root / "VNCRepeater/Repeater.Dat", content);
    }
    void Publish_Folder_Only() { std::filesystem::create_directories(Root / "VNCRepeater"); }

    Temp_Folder Root;
    pid_t Server = -1;
    int Stdin = -1;
    uint16_t Port = 0;
};

}  // namespace nrvnc::test
