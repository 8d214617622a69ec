#include "platform/x11/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/error.h"
#include "platform/x11/files.h"
#include "platform/x11/program_lookup.h"

extern char** environ;

namespace nrvnc {

namespace {

// The kernel keeps at most this many characters of a command name.
constexpr std::size_t Comm_Length = 15;

std::vector<std::string> Split_On_Blanks(const std::string& line) {
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!piece.empty()) pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.empty()) pieces.push_back(std::move(piece));
    return pieces;
}

std::string Base_Name(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void Raise_Start_Error(int error, const std::string& name) {
    if (error == ENOENT) {
        throw Runtime_Error(Error_Number::File_Not_Found, "File not found: " + name);
    }
    try {
        Raise_Errno(error, name);
    } catch (const Runtime_Error& raised) {
        throw Runtime_Error(raised.Number, raised.Description + ": " + name);
    }
}

enum class Candidate { Missing, Not_Executable, Runnable };

Candidate Check_Candidate(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return Candidate::Missing;
    return access(path.c_str(), X_OK) == 0 ? Candidate::Runnable : Candidate::Not_Executable;
}

// Where the program lives: beside this program, the working directory,
// then $PATH.
std::string Find_Program(const std::string& name) {
    bool seen_not_executable = false;
    auto consider = [&](const std::string& path) {
        Candidate found = Check_Candidate(path);
        if (found == Candidate::Not_Executable) seen_not_executable = true;
        return found == Candidate::Runnable;
    };

    if (name.find('/') != std::string::npos) {
        if (consider(name)) return name;
    } else {
        const std::string found = Find_Beside_Program_Or_Here(name);
        if (!found.empty()) {
            if (consider(found)) return found;
            Raise_Start_Error(EACCES, name);  // never a different one instead
        }
        const char* path_variable = getenv("PATH");
        std::string search = path_variable ? path_variable : "/usr/local/bin:/usr/bin:/bin";
        std::string::size_type start = 0;
        while (start <= search.size()) {
            std::string::size_type end = search.find(':', start);
            if (end == std::string::npos) end = search.size();
            std::string folder = search.substr(start, end - start);
            // An empty entry means the working directory, looked at already.
            if (!folder.empty() && consider(folder + "/" + name)) return folder + "/" + name;
            start = end + 1;
        }
    }
    Raise_Start_Error(seen_not_executable ? EACCES : ENOENT, name);
}

std::string Read_Small_File(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Read_Link(const std::string& path) {
    char buffer[PATH_MAX];
    ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::vector<std::string> Read_Arguments(const std::string& folder) {
    std::string raw = Read_Small_File(folder + "/cmdline");
    std::vector<std::string> arguments;
    std::string::size_type start = 0;
    while (start < raw.size()) {
        std::string::size_type end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        arguments.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

// The state letter of /proc/<pid>/stat; it follows the command name, which
// is in parentheses and may itself contain blanks and parentheses.
char Process_State_Letter(const std::string& stat_line) {
    std::string::size_type close = stat_line.rfind(')');
    if (close == std::string::npos || close + 2 >= stat_line.size()) return '?';
    return stat_line[close + 2];
}

bool All_Digits(const char* text) {
    if (*text == '\0') return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

std::string Exe_Name(const std::string& exe_target) {
    static const std::string deleted = " (deleted)";
    std::string target = exe_target;
    if (target.size() > deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0) {
        target.resize(target.size() - deleted.size());
    }
    return Base_Name(target);
}

bool Matches_Comm(const std::string& name, const std::string& comm) {
    return !name.empty() && name.substr(0, Comm_Length) == comm;
}

}  // namespace

std::string Process_Name(const std::string& exe_target, const std::string& comm,
                         const std::vector<std::string>& arguments) {
    std::string exe_name = Exe_Name(exe_target);
    if (!exe_name.empty() && (comm.empty() || Matches_Comm(exe_name, comm))) return exe_name;
    // An interpreter runs a script as "interpreter [option] script ...".
    for (std::size_t i = 0; i < arguments.size() && i < 3; ++i) {
        std::string argument_name = Base_Name(arguments[i]);
        if (Matches_Comm(argument_name, comm)) return argument_name;
    }
    return comm.empty() ? exe_name : comm;
}

uint32_t Linux_Processes::Start(const std::string& command_line, Show_State show) {
    Reap_Children();
    std::vector<std::string> pieces = Split_On_Blanks(command_line);
    if (pieces.empty()) {
        throw Runtime_Error(Error_Number::Invalid_Procedure_Call,
                            "Invalid procedure call or argument: empty command line");
    }
    std::string program = Find_Program(pieces.front());

    std::vector<char*> arguments;
    for (std::string& piece : pieces) arguments.push_back(piece.data());
    arguments.push_back(nullptr);

    static const std::string show_name = "NRVNC_SHOW_STATE=";
    std::string show_entry = show_name + (show == Show_State::Hidden ? "0" : "1");
    std::vector<char*> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (strncmp(*entry, show_name.c_str(), show_name.size()) != 0) {
            environment.push_back(*entry);
        }
    }
    environment.push_back(show_entry.data());
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // A viewer must not inherit ignored or blocked signals from us.
    sigset_t no_signals, default_signals;
    sigemptyset(&no_signals);
    sigfillset(&default_signals);
    posix_spawnattr_setsigmask(&attributes, &no_signals);
    posix_spawnattr_setsigdefault(&attributes, &default_signals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t child = 0;
    std::lock_guard<std::mutex> hold(Lock);
    int result = posix_spawn(&child, program.c_str(), &actions, &attributes, arguments.data(),
                             environment.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) Raise_Start_Error(result, pieces.front());
    Children.insert(child);
    return static_cast<uint32_t>(child);
}

std::vector<Process_Entry> Linux_Processes::List() {
    Reap_Children();
    DIR* proc = opendir("/proc");
    if (proc == nullptr) Raise_Errno(errno, "/proc");
    std::vector<Process_Entry> entries;
    while (dirent* entry = readdir(proc)) {
        if (!All_Digits(entry->d_name)) continue;
        std::string folder = std::string("/proc/") + entry->d_name;
        // A process that ends while we look simply drops out of the list.
        std::string stat_line = Read_Small_File(folder + "/stat");
        char state = Process_State_Letter(stat_line);
        if (state == '?' || state == 'Z' || state == 'X') continue;

        std::string exe_target = Read_Link(folder + "/exe");
        std::string comm = Read_Small_File(folder + "/comm");
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        std::vector<std::string> arguments;
        if (!Matches_Comm(Exe_Name(exe_target), comm)) arguments = Read_Arguments(folder);
        std::string name = Process_Name(exe_target, comm, arguments);
        if (name.empty()) continue;
        entries.push_back({name, static_cast<uint32_t>(strtoul(entry->d_name, nullptr, 10))});
    }
    closedir(proc);
    return entries;
}

namespace {

// How long a process may take to end on SIGTERM before it gets SIGKILL, and
// how long Terminate waits in all.
constexpr int Grace_Ms = 1000;
constexpr int Terminate_Limit_Ms = 3000;

// The start time of a process (field 22 of its stat line), which tells it
// apart from a later process that gets the same ID; empty once it has ended
// (a zombie has ended too).
std::string Start_Time_Of(pid_t pid) {
    std::string line = Read_Small_File("/proc/" + std::to_string(pid) + "/stat");
    char state = Process_State_Letter(line);
    if (state == '?' || state == 'Z' || state == 'X') return {};
    std::string::size_type at = line.rfind(')') + 2;  // the state letter
    for (int field = 3; field < 22 && at != std::string::npos; ++field) at = line.find(' ', at + 1);
    if (at == std::string::npos) return {};
    return line.substr(at + 1, line.find(' ', at + 1) - at - 1);
}

int Elapsed_Ms(std::chrono::steady_clock::time_point since) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - since)
                                .count());
}

}  // namespace

void Linux_Processes::Terminate(uint32_t process_id) {
    // 0 and IDs above INT_MAX would make kill() signal a process group or
    // every process there is.
    if (process_id < 1 || process_id > static_cast<uint32_t>(INT_MAX)) return;
    const pid_t pid = static_cast<pid_t>(process_id);
    const auto start = std::chrono::steady_clock::now();

    // A pidfd names this very process even if its ID is reused meanwhile,
    // and becomes readable when it has ended, child of ours or not.
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    const std::string started = pidfd < 0 ? Start_Time_Of(pid) : std::string();
    if (pidfd < 0 && started.empty()) {  // not there, or ended already
        Reap_Children();
        return;
    }
    auto send = [&](int signal) {
        if (pidfd >= 0)
            syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0);
        else if (Start_Time_Of(pid) == started)
            kill(pid, signal);
    };
    auto ended_within = [&](int limit_ms) {
        for (;;) {
            int left = limit_ms - Elapsed_Ms(start);
            if (pidfd >= 0) {
                pollfd entry{pidfd, POLLIN, 0};
                int ready = poll(&entry, 1, std::max(left, 0));
                if (ready > 0 || (ready < 0 && errno != EINTR)) return true;
            } else {
                if (Start_Time_Of(pid) != started) return true;
                if (left > 0) usleep(10000);
            }
            if (left <= 0) return false;
        }
    };
    send(SIGTERM);
    if (!ended_within(Grace_Ms)) {
        send(SIGKILL);
        ended_within(Terminate_Limit_Ms);
    }
    if (pidfd >= 0) close(pidfd);
    Reap_Children();
}

void Linux_Processes::Reap_Children() {
    std::lock_guard<std::mutex> hold(Lock);
    for (auto child = Children.begin(); child != Children.end();) {
        int status = 0;
        pid_t result = waitpid(*child, &status, WNOHANG);
        if (result == *child || (result < 0 && errno == ECHILD)) {
            child = Children.erase(child);
        } else {
            ++child;
        }
    }
}

}  // namespace nrvnc
