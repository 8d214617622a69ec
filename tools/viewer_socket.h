// The few socket calls the viewer stand-in needs, the same on POSIX and
// Winsock: a TCP client connection whose every step ends by a deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace viewer {

using Clock = std::chrono::steady_clock;

class Tcp_Connection {
  public:
    Tcp_Connection() = default;
    Tcp_Connection(const Tcp_Connection&) = delete;
    Tcp_Connection& operator=(const Tcp_Connection&) = delete;
    ~Tcp_Connection();

    // Resolves `host` and connects to it; an empty result means connected,
    // otherwise it says why not. The name lookup itself cannot be cut short.
    std::string Connect(const std::string& host, int port, Clock::time_point deadline);
    bool Send(const std::string& data);
    // Reads exactly `count` bytes into `out`; an empty result means done.
    // On failure `out` holds what did arrive.
    std::string Receive(std::size_t count, std::string& out, Clock::time_point deadline);
    // The connection stays open for the life of the process.
    void Keep_Open() { Kept_ = true; }
    // Hands the socket (non-blocking on POSIX) to the caller, who closes it.
    std::intptr_t Release() {
        Kept_ = true;
        return Fd_;
    }

  private:
    std::intptr_t Fd_ = -1;
    bool Kept_ = false;
};

}  // namespace viewer
