#include "adapter/tigervnc.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace adapter {

namespace {

const char* const Program_Name = "xtigervncviewer";

bool Is_Runnable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string Find_TigerVNC() {
    const char* variable = getenv("PATH");
    const std::string path = variable ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(start, end - start);
        // Only absolute folders: a relative entry would depend on where we run.
        if (!folder.empty() && folder[0] == '/' && Is_Runnable(folder + "/" + Program_Name))
            return folder + "/" + Program_Name;
        start = end + 1;
    }
    return "";
}

TigerVNC::~TigerVNC() {
    End();
    Remove_Socket();
}

std::string TigerVNC::Start(const std::string& program, bool view_only,
                            const std::string& password) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    std::string base =
        runtime && runtime[0] == '/' && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) ? runtime
                                                                                           : "/tmp";
    std::string folder = base + "/nrvnc-viewer.XXXXXX";
    if (!mkdtemp(folder.data()))  // mode 0700: no one else can reach the socket
        return "Cannot make a private folder for TigerVNC: " + std::string(strerror(errno));
    Folder_ = folder;
    Socket_ = folder + "/rfb";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (Socket_.size() >= sizeof address.sun_path) return "The private socket's path is too long.";
    memcpy(address.sun_path, Socket_.c_str(), Socket_.size() + 1);
    Listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (Listener_ < 0 ||
        bind(Listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(Listener_, 1) != 0)
        return "Cannot open a private socket for TigerVNC: " + std::string(strerror(errno));

    // Everything the child needs is made before the fork: after it, only
    // calls that are safe in a copy of a threaded process.
    std::vector<std::string> words = {program, "-ReconnectOnError=0", "-AlertOnFatalError=0"};
    if (view_only) words.push_back("-ViewOnly");
    words.push_back(Socket_);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::string password_entry = "VNC_PASSWORD=" + password;
    std::vector<char*> envp;
    for (char** e = environ; e && *e; ++e)
        if (strncmp(*e, "VNC_PASSWORD=", 13) != 0) envp.push_back(*e);
    if (!password.empty()) envp.push_back(password_entry.data());
    envp.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) return "Cannot start TigerVNC: " + std::string(strerror(errno));
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);  // the adapter died before the line above
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction default_action {};
        default_action.sa_handler = SIG_DFL;
        sigaction(SIGPIPE, &default_action, nullptr);  // ignored here, not for TigerVNC
        int null = open("/dev/null", O_RDONLY);
        if (null > 0) dup2(null, 0);
        syscall(SYS_close_range, 3u, ~0u, 0u);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    Pid_ = child;
    return "";
}

int TigerVNC::Accept() {
    int fd = accept4(Listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return -1;
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.pid != Pid_) {
        close(fd);
        return -1;
    }
    Remove_Socket();
    return fd;
}

void TigerVNC::Remove_Socket() {
    if (Listener_ >= 0) close(Listener_);
    Listener_ = -1;
    if (!Socket_.empty()) unlink(Socket_.c_str());
    if (!Folder_.empty()) rmdir(Folder_.c_str());
    Socket_.clear();
    Folder_.clear();
}

bool TigerVNC::Ended() {
    if (Pid_ <= 0) return true;
    int status = 0;
    pid_t result = waitpid(Pid_, &status, WNOHANG);
    if (result == Pid_ || (result < 0 && errno == ECHILD)) Pid_ = -1;
    return Pid_ <= 0;
}

void TigerVNC::End() {
    if (Ended()) return;
    kill(Pid_, SIGTERM);
    const auto start = std::chrono::steady_clock::now();
    while (!Ended()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
            kill(Pid_, SIGKILL);
            waitpid(Pid_, nullptr, 0);
            Pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace adapter
