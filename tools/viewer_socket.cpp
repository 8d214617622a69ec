// POSIX sockets on Linux, Winsock on Windows: the differences are the
// headers, how a socket is closed and how an error is put into words.
#include "viewer_socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <algorithm>
#include <memory>

namespace viewer {
namespace {

#ifdef _WIN32
using Native = SOCKET;
constexpr int Send_Flags = 0;

int Last_Error() {
    return WSAGetLastError();
}
bool Would_Block(int e) {
    return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS;
}
void Close(Native s) {
    closesocket(s);
}
bool Set_Non_Blocking(Native s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}
std::string Error_Text(int e) {
    char text[256] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(e), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' '))
        text[--n] = 0;
    return n ? std::string(text) : "error " + std::to_string(e);
}
// Winsock wants starting once per process.
bool Start_Up() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
#else
using Native = int;
constexpr int Send_Flags = MSG_NOSIGNAL;

int Last_Error() {
    return errno;
}
bool Would_Block(int e) {
    return e == EINPROGRESS || e == EAGAIN || e == EINTR;
}
void Close(Native s) {
    close(s);
}
bool Set_Non_Blocking(Native) {
    return true;
}  // made so by socket()
std::string Error_Text(int e) {
    return strerror(e);
}
bool Start_Up() {
    return true;
}
#endif

Native Open_Socket(int family) {
#ifdef _WIN32
    Native s = socket(family, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? static_cast<Native>(-1) : s;
#else
    return socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
#endif
}

// Waits until the socket can be read (or written) or the deadline passes.
bool Wait_For(Native s, bool for_writing, Clock::time_point deadline) {
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);  // Winsock reports a refused connect here
        timeval tv{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
        int n = select(static_cast<int>(s) + 1, for_writing ? nullptr : &ready,
                       for_writing ? &ready : nullptr, &failed, &tv);
        if (n > 0) return true;
        if (n < 0 && !Would_Block(Last_Error())) return false;
    }
}

}  // namespace

Tcp_Connection::~Tcp_Connection() {
    if (Fd_ != -1 && !Kept_) Close(static_cast<Native>(Fd_));
}

std::string Tcp_Connection::Connect(const std::string& host, int port, Clock::time_point deadline) {
    if (!Start_Up()) return "Failed to start the socket library.";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) return "Failed to resolve " + host + ": " + gai_strerror(rc);
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);

    Native s = Open_Socket(found->ai_family);
    if (s == static_cast<Native>(-1) || !Set_Non_Blocking(s))
        return "Failed to create a socket: " + Error_Text(Last_Error());
    Fd_ = static_cast<std::intptr_t>(s);
    if (connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 &&
        !Would_Block(Last_Error()))
        return "Failed to connect to server: " + Error_Text(Last_Error());
    if (!Wait_For(s, true, deadline)) return "Failed to connect to server: timed out.";
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
    if (err != 0) return "Failed to connect to server: " + Error_Text(err);
    return "";
}

bool Tcp_Connection::Send(const std::string& data) {
    return send(static_cast<Native>(Fd_), data.data(), static_cast<int>(data.size()), Send_Flags) ==
           static_cast<int>(data.size());
}

std::string Tcp_Connection::Receive(std::size_t count, std::string& out,
                                    Clock::time_point deadline) {
    char buf[256];
    out.clear();
    while (out.size() < count) {
        if (!Wait_For(static_cast<Native>(Fd_), false, deadline))
            return "The server did not answer in time.";
        auto n = recv(static_cast<Native>(Fd_), buf,
                      static_cast<int>(std::min(sizeof buf, count - out.size())), 0);
        if (n == 0) return "Connection closed by the server.";
        if (n < 0 && !Would_Block(Last_Error()))
            return "Connection failed: " + Error_Text(Last_Error());
        if (n > 0) out.append(buf, static_cast<std::size_t>(n));
    }
    return "";
}

}  // namespace viewer
