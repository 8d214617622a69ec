// Whole sessions through Main: start-up, the network question, the entry
// screens, their checks and the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/session/session_harness.h"

namespace nrvnc::testing_session {
namespace {

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
bool Offers_Edits(const fake::Screen_Snapshot& s) {
    return s.Buttons.count(13) + s.Buttons.count(12) == 2;  // Edit IP, Edit Port #
}
// The code screen shown last: its caption, and whether it offers the edits.
std::function<void(Session_Run&)> Code_Screen_Shows(std::string ip, std::string port, bool edits) {
    return [=](Session_Run& r) {
        EXPECT_EQ(r.d.seen.back().Caption,
                  Code_Screen + " - Repeater IP : " + ip + "   Port # " + port);
        EXPECT_EQ(Offers_Edits(r.d.seen.back()), edits);
    };
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
        {"the stored repeater answers",
         "stored answers:10.1.1.9:5905 #0 Internet code '1334 Accept",
         "read 1; probes 10.1.1.9:5905; view -proxy 10.1.1.9:5905 ID:1334; saved "
         "pc-9|10.1.1.9|5905|",
         {},
         Code_Screen_Shows("10.1.1.9", "5905", false)},
        // Found through the download: the stored repeater is not read back,
        // and the next Internet answer only probes the found one.
        {"found by the download, Esc, Internet again: a probe only",
         "stored download:10.20.30.40:5902 answers:10.20.30.40:5902 #0 Internet code Esc "
         "#0 silent:10.20.30.40:5902 Internet #2 Exit_VNC",
         "read 1; downloads 1; probes 10.1.1.9:5905 10.20.30.40:5902 10.20.30.40:5902"},
        {"repeater not found, Exit VNC", "stored #0 Internet #3 OK #2 Exit_VNC", Probed},
        {"Accept while not found is refused, Yes: the screen again",
         Not_Found + "'1334 Accept #16 Yes code Exit_Program", Probed, Not_Located,
         [](Session_Run& r) { EXPECT_TRUE(Offers_Edits(r.d.seen[3])); }},
        {"Accept while not found, No ends", Not_Found + "'1334 Accept #16 No", Probed, Not_Located},
        {"Edit IP with a working address: found, no new download, the code kept",
         "answers:10.1.1.7:5905 " + Not_Found +
             "'1334 Edit_IP ip clear '10.1.1.7 Accept code Accept",
         Probed + " 10.1.1.7:5905; view -proxy 10.1.1.7:5905 ID:1334; saved pc-9|10.1.1.7|5905|"},
        {"valid port that does not answer is kept",
         Not_Found + "Edit_Port port clear '5909 Accept #2 Continue code Exit_Program",
         Probed + " 10.1.1.9:5909",
         {},
         Code_Screen_Shows("10.1.1.9", "5909", true)},
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

}  // namespace
}  // namespace nrvnc::testing_session
