// Whole sessions on the fake desktop: the program's Main with an operator
// script, and a one-line record of what the run did to files, network and
// processes, with the fake clock readings of its process lookups; the
// flows, the launch and its time limits, the process lookup.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "session/launch.h"
#include "session/main.h"
#include "session/state/housekeeping.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc::testing_session {
namespace {

using Strings = std::vector<std::string>;

inline const std::string Code_Screen = "  Enter Remote Viewing Access Code";
inline const std::string View_Start =
    "vncviewer -viewonly -notoolbar -autoacceptincoming -autoscaling -password qx4817 ";
inline const std::string Control_Start =
    "vncviewer -notoolbar -autoacceptincoming -autoscaling -password qx4817 ";
inline const std::string Command_End = " -dsmplugin SecureVNCPlugin.dsm";

inline std::string Replace_All(std::string s, const std::string& from, const std::string& to) {
    for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// One run of the program; the viewer is beside it and connects when started.
struct Session_Run {
    Session_Run() {
        d.files.files[Builtin::Viewer_File_Name] = "";
        d.processes.Script_Viewer({});
    }

    // The operator's script in words: "#16" waits for message 16; "host",
    // "code", "ip", "port" for an entry screen; "'text" types; "clear",
    // "Esc" and button names act. Other words change the desktop (Arrange):
    // at once before the first wait, as an operator step after it.
    void Play(const std::string& script) {
        static const std::map<std::string, std::string> screens{
            {"host", "  Enter Host Name or IP Address  "},
            {"code", Code_Screen},
            {"ip", "  Enter IP Address  "},
            {"port", "  Enter Port Number  "}};
        static const std::map<std::string, int> buttons{
            {"Local", 0},      {"Internet", 1}, {"Exit_VNC", 2},     {"Yes", 0},
            {"No", 2},         {"OK", 1},       {"Continue", 0},     {"Accept", 11},
            {"Edit_Port", 12}, {"Edit_IP", 13}, {"Exit_Program", 14}};
        bool waited = false;
        std::istringstream words(script);
        for (std::string w; words >> w;) {
            waited = waited || w[0] == '#' || screens.count(w);
            if (w[0] == '#')
                op.On_Message(std::stoi(w.substr(1)));
            else if (screens.count(w))
                op.On_Screen(screens.at(w));
            else if (w[0] == '\'')
                op.Type(w.substr(1));
            else if (w == "clear")
                op.Clear_Field();
            else if (w == "Esc")
                op.Key(Key::Escape, 27);
            else if (buttons.count(w))
                op.Press(buttons.at(w));
            else if (waited)
                op.Run([this, w] { Arrange(w); });
            else
                Arrange(w);
        }
    }

    void Arrange(const std::string& w) {
        static const std::map<std::string, fake::Viewer_Behaviour> viewers{
            {"connects", {}},
            {"gone", {.Status_Window_After = -1, .Exits_After = 1200}},
            {"stays", {.Status_Window_Closes_After = -1}},  // the host never answers
            {"fails", {.Status_Window_Closes_After = -1, .Error_Box_After = 1500}},
            {"fails-as-it-closes", {.Status_Window_Closes_After = 1500, .Error_Box_After = 1500}},
            {"windowless", {.Status_Window_After = -1, .Status_Window_Closes_After = -1}},
            {"late", {.Status_Window_After = 3003, .Status_Window_Closes_After = -1}}};
        const std::string arg = w.substr(w.find(':') + 1);
        auto& files = d.files;
        auto& net = d.network;
        auto& procs = d.processes;
        const std::map<std::string, std::function<void()>> actions{
            {"stored", [&] { files.files["NRVNC.INI"] = "pc-9\r\n10.1.1.9\r\n5905\r\n"; }},
            {"offline", [&] { net.internet_ok = false; }},
            {"online", [&] { net.internet_ok = true; }},
            {"answers", [&] { net.endpoints[arg] = fake::Endpoint{}; }},  // accepts after 5 ms
            {"silent", [&] { net.endpoints.erase(arg); }},
            {"download",  // the repeater address and port published on the FTP server
             [&] {
                 net.ftp.server =
                     fake::Fake_Ftp_Server{.File = Replace_All(arg, ":", "\r\n") + "\r\n"};
             }},
            {"viewer", [&] { procs.Script_Viewer(viewers.at(arg)); }},
            {"stray", [&] { d.windows.Open("VNC Viewer Status for " + arg); }},  // no viewer's
            {"clock", [&] { d.clock.now = static_cast<uint32_t>(std::stoul(arg, nullptr, 0)); }},
            {"hidden-viewer", [&] { files.hidden.insert(Builtin::Viewer_File_Name); }},
            {"start-fails", [&] { procs.start_returns_zero = true; }},
            {"start-raises", [&] { procs.start_raises = true; }},
            {"out-of-memory",
             [&] { procs.programs["vncviewer"] = [](uint32_t) { throw std::bad_alloc(); }; }}};
        const auto action = actions.find(w.substr(0, w.find(':')));
        ASSERT_NE(action, actions.end()) << "unknown word in the script: " << w;
        action->second();
    }

    // The printed lines of the last message the operator looked at, blank
    // rows left out.
    Strings Message_Lines() const {
        Strings lines;
        for (auto s = d.seen.rbegin(); s != d.seen.rend() && lines.empty(); ++s)
            if (s->Caption.find("Message # ") != std::string::npos)
                for (const std::string& t : s->Texts)
                    if (t.find_first_not_of(' ') != std::string::npos) lines.push_back(t);
        return lines;
    }

    // A viewer command line without its constant parts.
    static std::string Describe(std::string c) {
        if (!c.ends_with(Command_End)) return "started " + c;
        c.resize(c.size() - Command_End.size());
        if (c.starts_with(View_Start)) return "view " + c.substr(View_Start.size());
        if (c.starts_with(Control_Start)) return "control " + c.substr(Control_Start.size());
        return "started " + c + Command_End;
    }

    // What the run did: settings reads, downloads, repeater probes, viewer
    // starts, the settings file written (CR LF shown as |), process lookups
    // and terminations in ms after the launch tick, the abort message. The
    // built-in repeater host reads "builtin".
    std::string Record() const {
        std::string out;
        const auto add = [&](const std::string& part) { out += (out.empty() ? "" : "; ") + part; };
        if (d.files.reads.count("NRVNC.INI"))
            add("read " + std::to_string(d.files.reads.at("NRVNC.INI")));
        if (int n = d.network.ftp.sessions_opened) add("downloads " + std::to_string(n));
        std::string probes;
        for (const auto& c : d.network.connections)
            probes += " " + c.Host + ":" + std::to_string(c.Port);
        if (!probes.empty()) add("probes" + probes);
        for (const auto& [command, show] : d.processes.started)
            add(Describe(command) + (show == Show_State::Hidden ? "" : " shown"));
        if (d.files.temporaries_made > 0) {  // every save writes a temporary first
            const auto file = d.files.files.find("NRVNC.INI");
            add("saved " +
                (file == d.files.files.end() ? "nothing" : Replace_All(file->second, "\r\n", "|")));
        }
        const auto& procs = d.processes;
        for (const auto& [what, times] : {std::pair{"listed", &procs.list_times},
                                          std::pair{"killed", &procs.terminate_times}}) {
            std::string part = what;
            for (uint32_t t : *times)
                part += " +" + std::to_string(t - (procs.start_times.at(0) + 1));
            if (!times->empty()) add(part);
        }
        const std::string abort = "The program aborted for the following reason: \r\n\r\n";
        for (const auto& box : d.forms.message_boxes)
            add(box.Title == "NRVNC" && box.Text.starts_with(abort)
                    ? "abort " + box.Text.substr(abort.size())
                    : "box " + box.Title + ": " + box.Text);
        return Replace_All(out, Builtin::Default_Repeater_Host, "builtin");
    }

    fake::Fake_Desktop d;
    Misc m{d.platform()};
    fake::Operator& op = d.operator_;
};

// A session, its record, and the lines of the last message the operator
// looked at. Every run must play the whole script (so the screens came in the
// scripted order) and restore the windows minimised at the start.
struct Flow {
    const char* What;
    std::string Script, Record;
    Strings Shown{};
    std::function<void(Session_Run&)> Check = nullptr;
};

inline void Play_Flows(const std::vector<Flow>& flows) {
    for (const Flow& f : flows) {
        SCOPED_TRACE(f.What);
        Session_Run r;
        r.Play(f.Script);

        int status = -1;  // Main until the program ends; a run that waits forever fails
        try {
            status = Main(r.m);
        } catch (const fake::Fake_Stuck& stuck) {
            ADD_FAILURE() << "the program waited forever: " << stuck.What;
        }

        EXPECT_TRUE(r.op.Done()) << "operator steps left: " << r.op.Pending();
        EXPECT_EQ(r.d.windows.taskbar_commands, (std::vector<int>{419, 416}));
        EXPECT_EQ(r.Record(), f.Record);
        EXPECT_EQ(status != 0, f.Record.find("abort ") != std::string::npos);
        if (!f.Shown.empty()) {
            EXPECT_EQ(r.Message_Lines(), f.Shown);
        }
        if (f.Check) f.Check(r);
    }
}

// ---- whole sessions through Main: start-up, the network question, the
// entry screens, their checks and the end ----

// To the access-code screen with the stored repeater (10.1.1.9:5905) down
// and no download possible: the download reports its failure, then "not
// found".
const std::string To_Code = "#0 Internet #3 OK #2 Continue code ";
const std::string Not_Found = "stored " + To_Code;
const std::string Probed = "read 1; downloads 1; probes 10.1.1.9:5905";

const Strings No_Viewer{"The remote viewer application cannot be found.",
                        "This program will now end."};
const Strings Not_Located{
    "The repeater has not been locate at the specified IP address and port number.",
    "You can re-enter values on the viewer ID entry screen.",
    "Would you like to try this now? If not the program will exit."};

Strings Rejected(const std::string& value, const std::string& what, const std::string& again) {
    return {value + " is not a valid " + what + ".",
            "Would you like to re-enter the " + again + "?",
            "If you choose not to the program will end."};
}
// A rejected repeater value is shown again and kept (the record shows it
// was never probed nor saved).
std::function<void(Session_Run&)> Keeps_Rejected(std::string Misc::*value, std::string typed) {
    return [=](Session_Run& r) {
        EXPECT_EQ(r.d.seen.at(6).Field, typed);
        EXPECT_EQ(r.d.seen.at(8).Field, typed);
        EXPECT_EQ(r.m.*value, typed);
    };
}

TEST(Session, Flows_Of_Start_Up_Network_Question_And_Entry) {
    Play_Flows({
        {"viewer hidden: no internet check", "stored hidden-viewer #3 OK", "", No_Viewer,
         [](Session_Run& r) { EXPECT_TRUE(r.d.network.internet_checks.empty()); }},
        {"offline: Local and Exit VNC only, for the whole run",
         "stored offline viewer:gone #0 online Local host Accept #16 Yes #0 Exit_VNC",
         "read 1; view pc-9; saved pc-9|10.1.1.9|5905|; listed +3001 +3001",
         {},
         [](Session_Run& r) { EXPECT_FALSE(r.d.seen.at(3).Buttons.count(1)); }},  // Internet
        // Found through the download: the stored repeater is not read back,
        // and the next Internet answer only probes the found one.
        {"found by the download, Esc, Internet again: a probe only",
         "stored download:10.20.30.40:5902 answers:10.20.30.40:5902 #0 Internet code Esc "
         "#0 silent:10.20.30.40:5902 Internet #2 Exit_VNC",
         "read 1; downloads 1; probes 10.1.1.9:5905 10.20.30.40:5902 10.20.30.40:5902"},
        {"repeater not found, Exit VNC", "stored #0 Internet #3 OK #2 Exit_VNC", Probed},
        {"Accept while not found, No ends", Not_Found + "'1334 Accept #16 No", Probed, Not_Located},
        // The code's second digit names today (Monday, 2): control.
        {"Edit IP with a working address: found, no new download, the code kept",
         "answers:10.1.1.7:5905 " + Not_Found +
             "'1234 Edit_IP ip clear '10.1.1.7 Accept code Accept",
         Probed +
             " 10.1.1.7:5905; control -proxy 10.1.1.7:5905 ID:1234; saved pc-9|10.1.1.7|5905|"},
        {"valid port that does not answer is kept",
         Not_Found + "Edit_Port port clear '5909 Accept #2 Continue code Exit_Program",
         Probed + " 10.1.1.9:5909",
         {},
         [](Session_Run& r) { EXPECT_EQ(r.m.Port_Num, "5909"); }},
        {"rejected address: asked again with it, Esc, again, No ends",
         Not_Found +
             "Edit_IP ip clear '10.0.0.1 Accept #16 Yes ip Esc code Edit_IP ip Accept #16 No",
         Probed, Rejected("10.0.0.1", "IP address", "IP address"),
         Keeps_Rejected(&Misc::Repeater_IP, "10.0.0.1")},
        {"rejected port: asked again with it, Esc, again, No ends",
         Not_Found + "Edit_Port port clear '590 Accept #16 Yes port Esc code Edit_Port port Accept "
                     "#16 No",
         Probed, Rejected("590", "port number", "port number"),
         Keeps_Rejected(&Misc::Port_Num, "590")},
        {"empty host name, No ends", "#0 Local host clear Accept #16 No", "",
         Rejected("", "Host Name or Host IP address", "host name or IP address")},
        // Back at the question before any launch: the settings are read again.
        // (Esc on the address and port screens: the rejected values' runs.)
        {"Esc on the host and code screens: the network question again",
         "stored #0 Local host Esc " + To_Code + "Esc #0 Exit_VNC",
         "read 3; downloads 1; probes 10.1.1.9:5905"},
    });
}

// ---- the viewer launch: the command line, the watch of the viewer's
// windows, its time limits, the ways a launch can fail, and the process
// lookup that finds and ends the viewer ----

const Strings Not_Received{"There is a problem connecting with the host computer.",
                           "The host response was not received.",
                           "Would you like to try and connect again?"};
const Strings Not_Started{"There is a problem connecting with the host computer.",
                          "The viewer application has not started.",
                          "Would you like to try and connect again?"};
const std::string Local = "#0 Local host clear 'pc-17 Accept ";
const std::string Saved = "view pc-17; saved pc-17|builtin|5901|";

TEST(Session, Launch_Outcomes_And_Watch_Time_Limits_Across_The_Tick_Wrap) {
    const std::string internet = "stored answers:10.1.1.9:5905 #0 Internet code '1334 Accept ";
    const std::string proxy = "read 1; probes 10.1.1.9:5905; view -proxy 10.1.1.9:5905 ID:1334";
    Play_Flows({
        {"start without a process ID, Yes: the network question again",
         "stored start-fails " + Local + "#16 Yes #0 Local host Accept #16 No",
         "read 1; view pc-17; view pc-17; saved pc-17|10.1.1.9|5905|",  // saved before the start
         {"There was an error running the remote viewer application.",
          "Do you want to try again?"}},
        // A download would find a working repeater; the retry only probes.
        {"not started, Yes: the network question again",
         "download:10.20.30.40:5902 answers:10.20.30.40:5902 viewer:gone " + internet +
             "#16 silent:10.1.1.9:5905 Yes #0 Internet #2 Exit_VNC",
         "read 1; probes 10.1.1.9:5905 10.1.1.9:5905; view -proxy 10.1.1.9:5905 ID:1334; saved "
         "pc-9|10.1.1.9|5905|; listed +3001 +3001"},
        {"error box as the status window closes: failed",
         "viewer:fails-as-it-closes " + Local + "#16 No", Saved + "; listed +1499; killed +1499",
         Not_Received},
        {"failed internet connection, Yes: the code screen without a probe",
         "viewer:fails " + internet + "#16 viewer:connects Yes code '1434 Accept",
         proxy + "; view -proxy 10.1.1.9:5905 ID:1434; saved pc-9|10.1.1.9|5905|; listed +1499; "
                 "killed +1499",
         {},
         [](Session_Run& r) { EXPECT_FALSE(r.d.seen.back().Buttons.count(13)); }},
        // A window of that title that is not the viewer's outlives its end.
        {"a status window outliving the ended viewer, Yes: asked once",
         "stray:pc-17 viewer:fails " + Local + "#16 Yes host Esc #0 Exit_VNC",
         Saved + "; listed +1499; killed +1499"},
        {"alive without a status window after 3 s: connected", "viewer:windowless " + Local,
         Saved + "; listed +3001"},
        // Only the status window of the session's own kind counts.
        {"local: a status window for ID", "stray:ID viewer:gone " + Local + "#16 No",
         Saved + "; listed +3001 +3001", Not_Started},
        {"internet: a status window naming the host",
         "stray:pc-9 viewer:gone " + internet + "#16 No",
         proxy + "; saved pc-9|10.1.1.9|5905|; listed +3001 +3001", Not_Started},
        // Run-time errors: the abort message, the windows restored, the viewer left alone.
        {"the viewer cannot be started", "start-raises " + Local, Saved + "; abort File not found"},
        {"out of memory", "out-of-memory " + Local, Saved + "; abort " + std::bad_alloc().what()},
        // The watch's limits, each wait across the tick counter's wrap.
        {"the host never answers: 10000 ms", "viewer:stays clock:0xFFFFF000 " + Local + "#16 No",
         Saved + "; listed +10001; killed +10001", Not_Received},
        {"gone, no status window: 3000 ms", "viewer:gone clock:0xFFFFFC00 " + Local + "#16 No",
         Saved + "; listed +3001 +3001", Not_Started},
        // The connection wait counts from the process check.
        {"status window just after the process check",
         "viewer:late clock:0xFFFFF000 " + Local + "#16 No",
         Saved + "; listed +3001 +13002; killed +13002", Not_Received},
    });
}

TEST(Housekeeping, Find_Process_Needs_The_Name_Contained_Without_Case_And_The_Exact_ID) {
    fake::Fake_Desktop d;
    Misc m{d.platform()};
    d.processes.running = {{"VNCVIEWER.EXE", 4001},
                           {"old-VncViewer.exe.bak", 4003},
                           {"viewer.exe", 4004},
                           {"vncviewer.exe", 0}};  // never to be ended
    const std::pair<uint32_t, bool> cases[] = {
        {4001, true},   // differs only in letter case
        {4003, true},   // contained in a longer name
        {4004, false},  // right ID, the name does not contain it: never ended
        {4005, false},  // no such ID
        {0, false},
    };
    // Whether it ends what it finds: the flows.
    for (const auto& [pid, found] : cases)
        EXPECT_EQ(Find_Process(m, "vncviewer.exe", pid, 1), found) << pid;
    EXPECT_EQ(d.processes.terminate_times.size(), 2u);  // 4001 and 4003 only
}

}  // namespace
}  // namespace nrvnc::testing_session
