// Whole sessions on the fake desktop: the program's Main with an operator
// script, and a one-line record of what the run did to files, network and
// processes, with the fake clock readings of its process lookups.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "session/main.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc::testing_session {

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
        d.forms.do_events_limit = 400'000;  // a stuck run fails fast
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
            {"closed", {.Status_Window_Closes_After = -1, .Exits_After = 4000}},
            {"windowless", {.Status_Window_After = -1, .Status_Window_Closes_After = -1}},
            {"late", {.Status_Window_After = 3003, .Status_Window_Closes_After = -1}}};
        const std::string arg =
            Replace_All(w.substr(w.find(':') + 1), "builtin", Builtin::Default_Repeater_Host);
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

    // The printed lines of the last message # number shown, blank rows left out.
    Strings Message_Lines(int number) const {
        const std::string caption_end = "Message # " + std::to_string(number);
        for (auto s = d.seen.rbegin(); s != d.seen.rend(); ++s) {
            if (!s->Caption.ends_with(caption_end)) continue;
            Strings lines;
            for (const std::string& t : s->Texts)
                if (t.find_first_not_of(' ') != std::string::npos) lines.push_back(t);
            return lines;
        }
        return {"never shown: " + caption_end};
    }

    static int Count(const Strings& log, const std::string& start) {
        return static_cast<int>(std::count_if(log.begin(), log.end(),
                                              [&](const auto& e) { return e.starts_with(start); }));
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
        if (int n = Count(d.files.operations, "read NRVNC.INI")) add("read " + std::to_string(n));
        if (int n = d.network.ftp.sessions_opened) add("downloads " + std::to_string(n));
        std::string probes;
        for (const auto& c : d.network.connections)
            probes += " " + c.Host + ":" + std::to_string(c.Port);
        if (!probes.empty()) add("probes" + probes);
        for (const auto& [command, show] : d.processes.started)
            add(Describe(command) + (show == Show_State::Hidden ? "" : " shown"));
        if (Count(d.files.operations, "temp ") + Count(d.files.operations, "replace ") > 0) {
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

// A session, its record, and the lines of the last message the script waits
// for. Every run must play the whole script (so the screens came in the
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
            EXPECT_EQ(r.Message_Lines(std::stoi(f.Script.substr(f.Script.rfind('#') + 1))),
                      f.Shown);
        }
        if (f.Check) f.Check(r);
    }
}

}  // namespace nrvnc::testing_session
