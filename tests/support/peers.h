// Real parts for the tests that run against the machine, on Linux and on
// Windows: temporary folders, small files, loopback listeners and a loopback
// FTP server (tests/support/ftp_server.py). On Linux the test starts the
// server itself (its extra.cmake defines NRVNC_TEST_SUPPORT_DIR); on Windows
// the Wine runner starts it (wine_run.py --ftp) and passes its port and root.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Socket_Handle = SOCKET;
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/tools/child_process.h"
using Socket_Handle = int;
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "platform/error.h"
#include "tests/tools/eventually.h"

namespace nrvnc::test {

// A fresh folder, removed with everything in it.
struct Temp_Folder {
    Temp_Folder() {
        const auto base = std::filesystem::temp_directory_path();
        do Path = (base / ("nrvnc_test_" + std::to_string(std::random_device()()))).string();
        while (!std::filesystem::create_directory(Path));
    }
    ~Temp_Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    std::string operator/(const std::string& name) const {
        return Path + char(std::filesystem::path::preferred_separator) + name;
    }
    std::string Path;
};

inline void Write_Text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string Read_Text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The number of the error the action raises, or 0.
inline int Error_Of(const std::function<void()>& action) {
    try {
        action();
    } catch (const Runtime_Error& error) {
        return error.Number;
    }
    return 0;
}

// A TCP socket bound to loopback (IPv4, or IPv6 ::1) on a free port:
// listening, not listening (a closed port), or listening with a full queue
// (never answers).
struct Loopback_Listener {
    explicit Loopback_Listener(bool ipv6 = false) {
#ifdef _WIN32
        static WSADATA started{};
        if (started.wVersion == 0) WSAStartup(MAKEWORD(2, 2), &started);
#endif
        Socket = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_storage address = Loopback(ipv6, 0);
        socklen_t length = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        bind(Socket, reinterpret_cast<sockaddr*>(&address), length);
        getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);  // same place in both
    }
    ~Loopback_Listener() {
        for (Socket_Handle other : Others) Close(other);
        Close(Socket);
    }
    void Listen() {
        listen(Socket, 16);
    }

    // Fills the accept queue, so that the kernel drops any further SYN and a
    // new connection attempt neither succeeds nor fails: it just waits.
    // True when that state was reached.
    bool Listen_Without_Answering() {
        listen(Socket, 0);
        for (int i = 0; i < 16; ++i) {
            Socket_Handle other = Others.emplace_back(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
#ifdef _WIN32
            u_long non_blocking = 1;
            ioctlsocket(other, FIONBIO, &non_blocking);
#else
            fcntl(other, F_SETFL, O_NONBLOCK);
#endif
            sockaddr_storage address = Loopback(false, Port);
            connect(other, reinterpret_cast<sockaddr*>(&address), sizeof(sockaddr_in));
            fd_set connected;
            FD_ZERO(&connected);
            FD_SET(other, &connected);
            timeval wait{0, 300000};
            // This one hangs: the queue is full.
            if (select(int(other) + 1, nullptr, &connected, nullptr, &wait) != 1) return true;
        }
        return false;
    }

    static void Close(Socket_Handle s) {
#ifdef _WIN32
        closesocket(s);
#else
        close(s);
#endif
    }
    static sockaddr_storage Loopback(bool ipv6, uint16_t port) {
        sockaddr_storage address{};
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        address.ss_family = ipv6 ? AF_INET6 : AF_INET;
        v4.sin_port = htons(port);  // the same place in both
        if (ipv6) reinterpret_cast<sockaddr_in6&>(address).sin6_addr = in6addr_loopback;
        if (!ipv6) v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    Socket_Handle Socket;
    uint16_t Port = 0;
    std::vector<Socket_Handle> Others;
};

// The loopback FTP server (pyftpdlib, active mode only) serving a folder of
// its own to the program's user with the built-in password. Port is 0 when
// it did not start.
struct Ftp_Server {
#ifdef _WIN32
    Ftp_Server() {
        const char* port = std::getenv("NRVNC_TEST_FTP_PORT");
        const char* root = std::getenv("NRVNC_TEST_FTP_ROOT");
        Port = port ? static_cast<uint16_t>(std::atoi(port)) : 0;
        if (root) Root = std::filesystem::path("Z:" + std::string(root)).make_preferred().string();
    }
#else
    // The server also ends when our end of its standard input closes, so it
    // never outlives a test program that crashed.
    Ftp_Server() : Root(Folder.Path) {
        Server = child_test::Spawn({"/usr/bin/python3", NRVNC_TEST_SUPPORT_DIR "/ftp_server.py",
                                    Root, Builtin::FTP_Password},
                                   1, true);
        Port = uint16_t(
            std::atoi(child_test::Read(Server.Out_Fd, std::chrono::seconds(10), true).c_str()));
    }
    ~Ftp_Server() {
        close(Server.In_Fd);
        close(Server.Out_Fd);
        child_test::Reap(Server.Pid);
    }
    child_test::Child Server;
    Temp_Folder Folder;
#endif
    // Puts a file into the folder VNCRepeater on the server.
    void Publish(const std::string& name, const std::string& content) {
        std::filesystem::create_directories(Root + "/VNCRepeater");
        Write_Text(Root + "/VNCRepeater/" + name, content);
    }
    uint16_t Port = 0;
    std::string Root;
};

}  // namespace nrvnc::test
