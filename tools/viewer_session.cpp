#include "viewer_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace viewer {

using Ms = std::chrono::milliseconds;

// Shared between the window loop and the connecting thread, which may be
// left behind when the attempt runs out of time (a name lookup cannot be
// cut short).
struct Attempt {
    std::mutex Lock;
    int Outcome = 0;  // 0 running, 1 connected, -1 failed; settled once
    std::string Failure;

    void Settle(const std::string& failure) {
        std::lock_guard<std::mutex> g(Lock);
        if (Outcome != 0) return;
        Failure = failure;
        Outcome = failure.empty() ? 1 : -1;
    }
    int Get_Outcome() {
        std::lock_guard<std::mutex> g(Lock);
        return Outcome;
    }
};

namespace {

long Env_Ms(const char* name, long fallback) {
    const char* v = getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    long n = strtol(v, &end, 10);
    return (*end || n < 0 || n > 3600000) ? fallback : n;
}

bool Env_Flag(const char* name) {
    const char* v = getenv(name);
    return v && *v && strcmp(v, "0") != 0;
}

bool Parse_Port(const std::string& text, long offset, int& port) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    port = static_cast<int>(std::stol(text) + offset);
    return port > 0 && port <= 65535;
}

// "host", "host:display" (port 5900 + display) or "host::port"; a repeater
// address is "host:port".
bool Split_Address(const std::string& text, bool is_proxy, std::string& host, int& port) {
    size_t colon = text.find(':');
    host = text.substr(0, colon);
    if (host.empty()) return false;
    if (colon == std::string::npos) {
        port = is_proxy ? 5901 : 5900;
        return true;
    }
    if (!is_proxy && text.compare(colon, 2, "::") == 0)
        return Parse_Port(text.substr(colon + 2), 0, port);
    return Parse_Port(text.substr(colon + 1), is_proxy ? 0 : 5900, port);
}

std::string Connect_And_Greet(const Command_Line& cl, Clock::time_point deadline,
                              Tcp_Connection& tcp) {
    std::string failure = Connect_To_Server(cl, deadline, tcp);
    if (!failure.empty()) return failure;
    std::string version;
    failure = tcp.Receive(12, version, deadline);
    if (!failure.empty()) return failure;
    if (version.compare(0, 4, "RFB ") != 0 || version[11] != '\n')
        return "The server is not a VNC server.";
    tcp.Send("RFB 003.008\n");
    return "";
}

}  // namespace

std::string Id_Block(const std::string& id) {
    std::string block = id.substr(0, 250);
    block.resize(250, '\0');
    return block;
}

std::string Connect_To_Server(const Command_Line& cl, Clock::time_point deadline,
                              Tcp_Connection& tcp) {
    std::string host;
    int port = 0;
    const std::string& address = cl.Proxy.empty() ? cl.Target : cl.Proxy;
    if (!Split_Address(address, !cl.Proxy.empty(), host, port))
        return "Invalid server address " + address + ".";
    std::string failure = tcp.Connect(host, port, deadline);
    if (!failure.empty()) return failure;
    if (!cl.Proxy.empty() && !tcp.Send(Id_Block(cl.Target)))
        return "Failed to send the ID to the repeater.";
    return "";
}

void Record_Command_Line(const std::string& line) {
    const char* path = getenv("NRVNC_VIEWER_RECORD");
    if (!path || !*path) path = "vncviewer.args";
    // The line is far shorter than the stream's buffer: one write at close.
    std::string whole = line + '\n';
    FILE* f = fopen(path, "ab");
    bool ok = f && fwrite(whole.data(), 1, whole.size(), f) == whole.size();
    if (f && fclose(f) != 0) ok = false;
    if (!ok)
        fprintf(stderr, "vncviewer: cannot record arguments in %s: %s\n", path, strerror(errno));
}

Command_Line Parse_Command_Line(const std::vector<std::string>& args) {
    static const std::vector<std::string> flags = {"-viewonly", "-notoolbar", "-autoacceptincoming",
                                                   "-autoscaling", "-fullscreen"};
    static const std::vector<std::string> with_value = {"-password", "-proxy", "-dsmplugin",
                                                        "-encoding"};
    Command_Line cl;
    for (size_t i = 0; i < args.size() && cl.Error.empty(); ++i) {
        const std::string& a = args[i];
        if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
            if (a == "-viewonly") cl.View_Only = true;
            continue;
        }
        if (std::find(with_value.begin(), with_value.end(), a) != with_value.end()) {
            if (i + 1 >= args.size())
                cl.Error = "Option " + a + " needs a value.";
            else if (a == "-proxy")
                cl.Proxy = args[++i];
            else if (a == "-password")
                cl.Password = args[++i];
            else
                ++i;
        } else if (!a.empty() && a[0] == '-') {
            cl.Error = "Unknown option " + a + ".";
        } else if (!cl.Target.empty()) {
            cl.Error = "More than one server given: " + cl.Target + " and " + a + ".";
        } else {
            cl.Target = a;
        }
    }
    if (cl.Error.empty() && cl.Target.empty()) cl.Error = "No server given.";
    return cl;
}

Session::Session(const Command_Line& command, std::function<void()> wake)
    : Command_(command), Attempt_(std::make_shared<Attempt>()) {
    const auto start = Clock::now();
    Status_At_ = start + Ms(Env_Ms("NRVNC_VIEWER_STATUS_DELAY_MS", 200));
    Hold_ = Ms(Env_Ms("NRVNC_VIEWER_HOLD_STATUS_MS", 500));
    Deadline_ = start + Ms(Env_Ms("NRVNC_VIEWER_TIMEOUT_MS", 8000));
    Show_Status_ = command.Error.empty() && !Env_Flag("NRVNC_VIEWER_NO_STATUS");
    Exit_On_Fail_ = Env_Flag("NRVNC_VIEWER_EXIT_ON_FAIL");
    if (!command.Error.empty()) {
        Attempt_->Settle(command.Error);
        return;
    }
    std::thread([attempt = Attempt_, command, deadline = Deadline_, wake] {
        auto tcp = std::make_unique<Tcp_Connection>();
        std::string failure = Connect_And_Greet(command, deadline, *tcp);
        if (failure.empty()) tcp->Keep_Open();
        attempt->Settle(failure);
        wake();
    }).detach();
}

Session::Change Session::Step() {
    const auto now = Clock::now();
    if (Show_Status_ && !Status_Up_ && !Main_Up_ && !Box_Up_ && now >= Status_At_) {
        Status_Up_ = true;
        Status_Shown_ = now;
        return Change::Show_Status;
    }
    if (now >= Deadline_) Attempt_->Settle("Failed to connect to server: timed out.");
    const int outcome = Attempt_->Get_Outcome();
    // The status window stays up for its minimum time before the outcome shows.
    const bool ready = outcome != 0 && !Main_Up_ && !Box_Up_ &&
                       (!Show_Status_ || (Status_Up_ && now >= Status_Shown_ + Hold_));
    if (!ready) return Change::Nothing;
    if (outcome > 0) {
        // The status window goes first: the two are never up together.
        Status_Up_ = false;
        Main_Up_ = true;
        return Change::Connected;
    }
    if (Exit_On_Fail_) return Change::Give_Up;
    // The status window stays under the box, so a watcher never sees it gone
    // before the failure shows.
    Box_Up_ = true;
    return Change::Failed;
}

Clock::time_point Session::Next_Step() const {
    const auto now = Clock::now();
    auto next = now + Ms(1000);
    if (Show_Status_ && !Status_Up_ && !Main_Up_ && !Box_Up_) next = std::min(next, Status_At_);
    if (Attempt_->Get_Outcome() == 0) next = std::min(next, Deadline_);
    // The status window's minimum time matters only until it has passed
    // (waking for it later would spin).
    if (Status_Up_ && !Box_Up_ && Status_Shown_ + Hold_ > now)
        next = std::min(next, Status_Shown_ + Hold_);
    return next;
}

std::string Session::Status_Title() const {
    return "VNC Viewer Status for " +
           (Command_.Proxy.empty() ? Command_.Target : std::string("ID"));
}

std::string Session::Failure() const {
    std::lock_guard<std::mutex> g(Attempt_->Lock);
    return Attempt_->Failure;
}

}  // namespace viewer
