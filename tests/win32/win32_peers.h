// Real parts for the Windows service tests: temporary folders, loopback
// listeners (Winsock), and the loopback FTP server that the Wine runner
// starts (wine_run.py --ftp).
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
// after winsock2.h
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/network.h"

namespace nrvnc::test {

// A fresh folder, removed with everything in it.
struct Temp_Folder {
    Temp_Folder() {
        static int counter = 0;
        Path = (std::filesystem::temp_directory_path() /
                ("nrvnc_test_" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(++counter)))
                   .string();
        std::filesystem::create_directories(Path);
    }
    ~Temp_Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    std::string operator/(const std::string& name) const { return Path + "\\" + name; }
    std::string Path;
};

inline void Write_Text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
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
        Sleep(5);
    }
    return true;
}

// A TCP socket bound to 127.0.0.1 on a free port: listening, not listening
// (a closed port), or listening with a full queue (never answers).
struct Loopback_Listener {
    Loopback_Listener() {
        Start_Winsock();
        Socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(0);
        int length = sizeof address;
        bind(Socket, reinterpret_cast<sockaddr*>(&address), length);
        getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
    }
    ~Loopback_Listener() {
        for (SOCKET other : Others) closesocket(other);
        closesocket(Socket);
    }
    void Listen() { listen(Socket, 16); }

    // Fills the accept queue, so that a new connection attempt neither
    // succeeds nor fails: it just waits. True when that state was reached.
    bool Listen_Without_Answering() {
        listen(Socket, 0);
        for (int i = 0; i < 16; ++i) {
            SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            Others.push_back(other);
            u_long non_blocking = 1;
            ioctlsocket(other, FIONBIO, &non_blocking);
            sockaddr_in address = Loopback(Port);
            connect(other, reinterpret_cast<sockaddr*>(&address), sizeof address);
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(other, &writable);
            timeval wait{0, 300000};
            if (select(0, nullptr, &writable, nullptr, &wait) == 0) return true;  // this one hangs
        }
        return false;
    }

    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    SOCKET Socket = INVALID_SOCKET;
    uint16_t Port = 0;
    std::vector<SOCKET> Others;
};

// The loopback FTP server of the Wine runner: its port, and its root folder
// as this program sees it (the Unix path on drive Z:).
struct Runner_Ftp_Server {
    Runner_Ftp_Server() {
        const char* port = std::getenv("NRVNC_TEST_FTP_PORT");
        const char* root = std::getenv("NRVNC_TEST_FTP_ROOT");
        Port = port ? static_cast<uint16_t>(std::atoi(port)) : 0;
        if (root) {
            Root = std::string("Z:") + root;
            for (char& c : Root)
                if (c == '/') c = '\\';
        }
    }
    void Publish(const std::string& name, const std::string& content) {
        std::filesystem::create_directories(Root + "\\VNCRepeater");
        Write_Text(Root + "\\VNCRepeater\\" + name, content);
    }
    uint16_t Port = 0;
    std::string Root;
};

}  // namespace nrvnc::test
