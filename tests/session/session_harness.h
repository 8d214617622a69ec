// A whole session on the fake desktop: the program's Main with a scripted
// operator, and the clock readings at which the program asked about or
// acted on the viewer process.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builtin_values.h"
#include "session/main.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc::testing_session {

// Entry form controls.
constexpr int Field = 1;
constexpr int Accept = 11;
constexpr int Edit_Port = 12;
constexpr int Edit_IP = 13;
constexpr int Exit_Program = 14;
// Message buttons.
constexpr int Local = 0, Internet = 1, Exit_VNC = 2;
constexpr int Yes = 0, No = 2, OK = 1, Continue = 0;

// Captions of the entry screens (the access-code caption goes on with the
// repeater address and port).
inline const std::string Host_Screen = "  Enter Host Name or IP Address  ";
inline const std::string IP_Screen = "  Enter IP Address  ";
inline const std::string Port_Screen = "  Enter Port Number  ";
inline const std::string Code_Screen = "  Enter Remote Viewing Access Code";

inline const std::string Password_Part =
    " -notoolbar -autoacceptincoming -autoscaling -password qx4817 ";
inline const std::string Plugin_Part = " -dsmplugin SecureVNCPlugin.dsm";

// Passes everything to the fake's process table, noting the fake clock at
// each start, list and termination.
class Timed_Processes : public Processes {
  public:
    explicit Timed_Processes(fake::Fake_Desktop& d) : d_(d) {}
    uint32_t Start(const std::string& command_line, Show_State show) override {
        start_times.push_back(d_.clock.now);
        return d_.processes.Start(command_line, show);
    }
    std::vector<Process_Entry> List() override {
        list_times.push_back(d_.clock.now);
        return d_.processes.List();
    }
    void Terminate(uint32_t process_id) override {
        terminate_times.push_back(d_.clock.now);
        d_.processes.Terminate(process_id);
    }

    std::vector<uint32_t> start_times, list_times, terminate_times;

  private:
    fake::Fake_Desktop& d_;
};

class Session : public ::testing::Test {
  protected:
    Session() {
        d.files.files[Builtin::Viewer_File_Name] = "";  // the viewer beside the program
        d.forms.do_events_limit = 400'000;              // a stuck run fails fast
    }

    // Runs Main until the program ends. A run that waits for something that
    // never comes fails the test and tells what the operator still waited for.
    int Run() {
        try {
            return Main(m);
        } catch (const fake::Fake_Stuck& stuck) {
            ADD_FAILURE() << "the program waited forever: " << stuck.What;
            return -1;
        }
    }

    std::string Repeater_Endpoint(const std::string& host = Builtin::Default_Repeater_Host,
                                  const std::string& port = "5901") {
        return host + ":" + port;
    }
    void Repeater_Answers(const std::string& host = Builtin::Default_Repeater_Host,
                          const std::string& port = "5901") {
        d.network.endpoints[Repeater_Endpoint(host, port)] = {fake::Endpoint::Kind::Accept, 5};
    }

    // The printed lines of a screen the operator looked at, blank rows left
    // out.
    static std::vector<std::string> Lines(const fake::Screen_Snapshot& s) {
        std::vector<std::string> lines;
        for (const std::string& t : s.Texts)
            if (t.find_first_not_of(' ') != std::string::npos) lines.push_back(t);
        return lines;
    }

    // What the operator looked at, in order: "message 0", "host", "code",
    // "ip", "port".
    std::vector<std::string> Transcript() const {
        std::vector<std::string> out;
        for (const fake::Screen_Snapshot& s : d.seen) {
            const auto at = s.Caption.find("Message # ");
            if (at != std::string::npos)
                out.push_back("message " + s.Caption.substr(at + 10));
            else if (s.Caption == Host_Screen)
                out.push_back("host");
            else if (s.Caption == IP_Screen)
                out.push_back("ip");
            else if (s.Caption == Port_Screen)
                out.push_back("port");
            else if (s.Caption.rfind(Code_Screen, 0) == 0)
                out.push_back("code");
            else
                out.push_back(s.Caption);
        }
        return out;
    }

    // The last snapshot of a screen ("message 16", "host"...).
    fake::Screen_Snapshot Last_Seen(const std::string& what) const {
        const std::vector<std::string> t = Transcript();
        for (std::size_t i = t.size(); i-- > 0;)
            if (t[i] == what) return d.seen[i];
        ADD_FAILURE() << "never seen: " << what;
        return {};
    }

    bool Settings_Written() const {
        for (const std::string& op : d.files.operations)
            if (op.rfind("write ", 0) == 0 || op.rfind("replace ", 0) == 0) return true;
        return false;
    }
    int Settings_Reads() const {
        int reads = 0;
        for (const std::string& op : d.files.operations)
            if (op == "read NRVNC.INI") ++reads;
        return reads;
    }

    static std::string Local_Command(const std::string& host, bool control = false) {
        return std::string(control ? "vncviewer" : "vncviewer -viewonly") + Password_Part + host +
               Plugin_Part;
    }
    static std::string Internet_Command(const std::string& repeater, const std::string& port,
                                        const std::string& code, bool control = false) {
        return std::string(control ? "vncviewer" : "vncviewer -viewonly") + Password_Part +
               "-proxy " + repeater + ":" + port + " ID:" + code + Plugin_Part;
    }

    // The program ended through the end sequence: windows minimised at the
    // start and brought back at the end, nothing else posted.
    void Expect_Ended_Cleanly(int status) {
        EXPECT_EQ(status, 0);
        EXPECT_EQ(d.windows.taskbar_commands, (std::vector<int>{419, 416}));
        EXPECT_TRUE(d.operator_.Done()) << "operator steps left: " << d.operator_.Pending();
        EXPECT_TRUE(d.forms.message_boxes.empty());
    }

    fake::Fake_Desktop d;
    Timed_Processes processes{d};
    Platform platform{d.clock, d.files, processes, d.windows, d.network, d.forms};
    Misc m{platform};
    fake::Operator& op = d.operator_;
};

}  // namespace nrvnc::testing_session
