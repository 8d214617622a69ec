// Whole sessions through Main on the fake desktop: start-up, the network
// question, the entry screens, their checks and the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "presentation/presentation.h"
#include "session/session_loop.h"
#include "tests/session/session_harness.h"

namespace nrvnc::testing_session {
namespace {

using Strings = std::vector<std::string>;

const std::string Default_Host = "Host Computer Name or IP Address";

// ---- start-up ----

TEST_F(Session, Local_Session_Starts_The_Viewer_And_Ends_Leaving_It_Running) {
    d.processes.Script_Viewer({.Status_Window_After = 500, .Status_Window_Closes_After = 2000});
    op.On_Message(0).Press(Local).On_Screen(Host_Screen).Clear_Field().Type("pc-17").Press(Accept);

    const int status = Run();

    Expect_Ended_Cleanly(status);
    EXPECT_EQ(Transcript(), (Strings{"message 0", "host"}));
    ASSERT_EQ(d.processes.started.size(), 1u);
    EXPECT_EQ(d.processes.started[0].first,
              "vncviewer -viewonly -notoolbar -autoacceptincoming -autoscaling -password qx4817 "
              "pc-17 -dsmplugin SecureVNCPlugin.dsm");
    EXPECT_EQ(d.processes.started[0].second, Show_State::Hidden);
    // Connected: the viewer stays, with its main window up.
    EXPECT_TRUE(d.processes.terminated.empty());
    ASSERT_EQ(d.processes.running.size(), 1u);
    EXPECT_EQ(d.files.files["NRVNC.INI"],
              "pc-17\r\n" + std::string(Builtin::Default_Repeater_Host) + "\r\n5901\r\n");
    // The internet is checked once, before the network question.
    EXPECT_EQ(d.network.internet_checks, (Strings{Builtin::Internet_Check_URL}));
    // The question offered all three choices.
    EXPECT_EQ(d.seen[0].Buttons.size(), 3u);
    EXPECT_EQ(d.seen[1].Field, Default_Host);  // no settings file: the default host
}

TEST_F(Session, Stored_Settings_Fill_The_Host_Screen_And_Are_Written_Back_In_Place) {
    d.files.files["NRVNC.INI"] = "pc-9\r\n10.1.1.9\r\n5905\r\n";
    d.processes.Script_Viewer({});
    op.On_Message(0).Press(Local).On_Screen(Host_Screen).Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(d.seen[1].Field, "pc-9");
    EXPECT_EQ(d.processes.started.at(0).first, Local_Command("pc-9"));
    EXPECT_EQ(d.files.files["NRVNC.INI"], "pc-9\r\n10.1.1.9\r\n5905\r\n");
    EXPECT_EQ(Settings_Reads(), 1);
}

TEST_F(Session, Missing_Viewer_Shows_Message_3_And_Ends_Without_Touching_Anything) {
    struct Case {
        const char* What;
        bool Hidden;  // present but hidden: not an ordinary file
    };
    for (const Case c : {Case{"missing", false}, Case{"hidden", true}}) {
        SCOPED_TRACE(c.What);
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.files.files["NRVNC.INI"] = "pc-9\r\n10.1.1.9\r\n5905\r\n";
        if (c.Hidden) {
            d.files.files[Builtin::Viewer_File_Name] = "";
            d.files.hidden.insert(Builtin::Viewer_File_Name);
        }
        d.operator_.On_Message(3).Press(OK);

        const int status = Main(m);

        EXPECT_EQ(status, 0);
        ASSERT_EQ(d.seen.size(), 1u);
        EXPECT_EQ(Lines(d.seen[0]), (Strings{"The remote viewer application cannot be found.",
                                             "This program will now end."}));
        EXPECT_EQ(d.seen[0].Buttons, (std::map<int, std::string>{{1, "&OK"}}));
        EXPECT_EQ(d.windows.taskbar_commands, (std::vector<int>{419, 416}));
        EXPECT_TRUE(d.files.operations.empty());  // nothing read or written
        EXPECT_TRUE(d.network.internet_checks.empty());
        EXPECT_TRUE(d.processes.started.empty());
        EXPECT_TRUE(d.operator_.Done());
    }
}

TEST_F(Session, Without_Internet_Only_Local_And_Exit_Are_Offered_For_The_Whole_Run) {
    d.network.internet_ok = false;
    // The viewer dies at once, so the run comes back to the network question;
    // the internet has come up by then, but the check is not repeated.
    d.processes.Script_Viewer({.Status_Window_After = -1, .Exits_After = 100});
    op.On_Message(0)
        .Run([&] { d.network.internet_ok = true; })
        .Press(Local)
        .On_Screen(Host_Screen)
        .Press(Accept)
        .On_Message(16)
        .Press(Yes)
        .On_Message(0)
        .Press(Exit_VNC);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "host", "message 16", "message 0"}));
    const std::map<int, std::string> two_buttons{{0, "  &Local  "}, {2, " &Exit VNC "}};
    EXPECT_EQ(d.seen[0].Buttons, two_buttons);
    EXPECT_EQ(d.seen[3].Buttons, two_buttons);
    EXPECT_EQ(d.network.internet_checks.size(), 1u);
}

TEST_F(Session, Exit_VNC_On_The_Network_Question_Ends_Without_Saving) {
    op.On_Message(0).Press(Exit_VNC);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(d.seen[0].Buttons, (std::map<int, std::string>{
                                     {0, "  &Local  "}, {1, " &Internet "}, {2, " &Exit VNC "}}));
    EXPECT_FALSE(Settings_Written());
    EXPECT_TRUE(d.processes.started.empty());
}

// ---- internet sessions ----

TEST_F(Session, Internet_Session_With_The_Stored_Repeater_Answering) {
    Repeater_Answers();
    d.processes.Script_Viewer({});
    op.On_Message(0).Press(Internet).On_Screen(Code_Screen).Type("1334").Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "code"}));
    EXPECT_EQ(d.seen[1].Caption, "  Enter Remote Viewing Access Code - Repeater IP : " +
                                     std::string(Builtin::Default_Repeater_Host) +
                                     "   Port # 5901");
    // Found: neither Edit IP nor Edit Port # is offered.
    EXPECT_EQ(d.seen[1].Buttons.count(Edit_IP), 0u);
    EXPECT_EQ(d.seen[1].Buttons.count(Edit_Port), 0u);
    EXPECT_EQ(d.processes.started.at(0).first,
              "vncviewer -viewonly -notoolbar -autoacceptincoming -autoscaling -password qx4817 "
              "-proxy " +
                  std::string(Builtin::Default_Repeater_Host) +
                  ":5901 ID:1334 -dsmplugin SecureVNCPlugin.dsm");
    EXPECT_TRUE(d.network.ftp.calls.empty());  // found at once: no download
    EXPECT_TRUE(d.processes.terminated.empty());
    EXPECT_TRUE(Settings_Written());
}

TEST_F(Session, Stored_Repeater_Down_The_Downloaded_One_Answers) {
    fake::Fake_Ftp_Server server;
    server.File = "10.20.30.40\r\n5902\r\n";
    d.network.ftp.servers[Builtin::FTP_Server_Name] = server;
    Repeater_Answers("10.20.30.40", "5902");
    d.processes.Script_Viewer({});
    op.On_Message(0).Press(Internet).On_Screen(Code_Screen).Type("1334").Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(d.seen[1].Caption,
              "  Enter Remote Viewing Access Code - Repeater IP : 10.20.30.40   Port # 5902");
    EXPECT_EQ(d.processes.started.at(0).first, Internet_Command("10.20.30.40", "5902", "1334"));
    EXPECT_EQ(d.files.files["NRVNC.INI"], Default_Host + "\r\n10.20.30.40\r\n5902\r\n");
}

TEST_F(Session, Repeater_Not_Found_Exit_VNC_Ends_Without_Saving) {
    // No repeater and no FTP server: the download reports its failure first.
    op.On_Message(0).Press(Internet).On_Message(3).Press(OK).On_Message(2).Press(Exit_VNC);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "message 3", "message 2"}));
    EXPECT_EQ(d.seen[2].Buttons,
              (std::map<int, std::string>{{0, "&Continue"}, {2, " &Exit VNC "}}));
    EXPECT_FALSE(Settings_Written());
}

// Reaches the access-code screen with the stored repeater down and no
// download possible.
void To_Code_Screen_Not_Found(fake::Operator& op) {
    op.On_Message(0).Press(Internet).On_Message(3).Press(OK).On_Message(2).Press(Continue);
}

// On the access-code screen: an edit button, then the value typed on its
// screen and accepted.
fake::Operator& Edit_From_Code_Screen(fake::Operator& op, int button, const std::string& screen,
                                      const std::string& typed) {
    return op.On_Screen(Code_Screen)
        .Press(button)
        .On_Screen(screen)
        .Clear_Field()
        .Type(typed)
        .Press(Accept);
}

const Strings Not_Located_Question{
    "The repeater has not been locate at the specified IP address and port number.",
    "You can re-enter values on the viewer ID entry screen.",
    "Would you like to try this now? If not the program will exit."};

TEST_F(Session, Accept_While_The_Repeater_Is_Not_Found_Is_Refused_Then_Yes_Shows_The_Screen_Again) {
    To_Code_Screen_Not_Found(op);
    op.On_Screen(Code_Screen)
        .Type("1334")
        .Press(Accept)
        .On_Message(16)
        .Press(Yes)
        .On_Screen(Code_Screen)
        .Press(Exit_Program);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(),
              (Strings{"message 0", "message 3", "message 2", "code", "message 16", "code"}));
    EXPECT_EQ(Lines(d.seen[4]), Not_Located_Question);
    // Not found: the screen offers the edits.
    EXPECT_EQ(d.seen[3].Buttons.count(Edit_IP), 1u);
    EXPECT_EQ(d.seen[3].Buttons.count(Edit_Port), 1u);
    EXPECT_TRUE(d.processes.started.empty());
    EXPECT_FALSE(Settings_Written());
    EXPECT_TRUE(m.Msg_Question.empty());
}

TEST_F(Session, Accept_While_The_Repeater_Is_Not_Found_Then_No_Ends) {
    To_Code_Screen_Not_Found(op);
    op.On_Screen(Code_Screen).Type("1334").Press(Accept).On_Message(16).Press(No);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Lines(d.seen.back()), Not_Located_Question);
    EXPECT_TRUE(d.processes.started.empty());
    EXPECT_FALSE(Settings_Written());
}

TEST_F(Session, Edit_IP_With_A_Working_Address_Finds_The_Repeater_Without_A_New_Download) {
    Repeater_Answers("10.1.1.7");
    d.processes.Script_Viewer({});
    To_Code_Screen_Not_Found(op);
    op.On_Screen(Code_Screen)
        .Type("1334")
        .Press(Edit_IP)
        .On_Screen(IP_Screen)
        .Clear_Field()
        .Type("10.1.1.7")
        .Press(Accept)
        .On_Screen(Code_Screen)
        .Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "message 3", "message 2", "code", "ip", "code"}));
    const fake::Screen_Snapshot code = d.seen[5];
    EXPECT_EQ(code.Field, "1334");  // the code typed before Edit IP
    EXPECT_EQ(code.Buttons.count(Edit_IP), 0u);
    EXPECT_EQ(code.Caption,
              "  Enter Remote Viewing Access Code - Repeater IP : 10.1.1.7   Port # 5901");
    EXPECT_EQ(d.processes.started.at(0).first, Internet_Command("10.1.1.7", "5901", "1334"));
    // One download attempt only (the first internet choice), and the edit's
    // silent probe went to the new address.
    EXPECT_EQ(std::count_if(d.network.ftp.calls.begin(), d.network.ftp.calls.end(),
                            [](const std::string& c) { return c.rfind("open ", 0) == 0; }),
              1);
    ASSERT_FALSE(d.network.connections.empty());
    EXPECT_EQ(d.network.connections.back().Host, "10.1.1.7");
    EXPECT_EQ(d.files.files["NRVNC.INI"], Default_Host + "\r\n10.1.1.7\r\n5901\r\n");
}

TEST_F(Session, Edit_Port_With_A_Working_Port_Finds_The_Repeater) {
    Repeater_Answers(Builtin::Default_Repeater_Host, "5902");
    d.processes.Script_Viewer({});
    To_Code_Screen_Not_Found(op);
    op.On_Screen(Code_Screen)
        .Press(Edit_Port)
        .On_Screen(Port_Screen)
        .Clear_Field()
        .Type("5902")
        .Press(Accept)
        .On_Screen(Code_Screen)
        .Type("1334")
        .Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(d.processes.started.at(0).first,
              Internet_Command(Builtin::Default_Repeater_Host, "5902", "1334"));
}

TEST_F(Session, Edit_With_A_Valid_Value_That_Does_Not_Answer_Keeps_The_New_Value) {
    struct Case {
        int Button;
        std::string Screen, Typed, Caption_Tail;
    };
    const Case cases[] = {
        {Edit_IP, IP_Screen, "10.1.1.8", "Repeater IP : 10.1.1.8   Port # 5901"},
        {Edit_Port, Port_Screen, "5909",
         "Repeater IP : " + std::string(Builtin::Default_Repeater_Host) + "   Port # 5909"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Screen);
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.files.files[Builtin::Viewer_File_Name] = "";
        To_Code_Screen_Not_Found(d.operator_);
        Edit_From_Code_Screen(d.operator_, c.Button, c.Screen, c.Typed)
            .On_Message(2)
            .Press(Continue)
            .On_Screen(Code_Screen)
            .Press(Exit_Program);

        EXPECT_EQ(Main(m), 0);
        EXPECT_TRUE(d.operator_.Done());
        const std::string caption = d.seen.back().Caption;
        EXPECT_EQ(caption.substr(caption.size() - c.Caption_Tail.size()), c.Caption_Tail);
        // The edit still offers the edits: not found.
        EXPECT_EQ(d.seen.back().Buttons.count(Edit_IP), 1u);
        EXPECT_FALSE(m.Repeater_Found);
    }
}

TEST_F(Session, Rejected_Repeater_Address_Or_Port_Asks_Again_And_Keeps_The_Rejected_Value) {
    struct Case {
        int Button;
        std::string Screen, Typed;
        Strings Question;
    };
    const Case cases[] = {
        {Edit_IP,
         IP_Screen,
         "10.0.0.1",
         {"10.0.0.1 is not a valid IP address.", "Would you like to re-enter the IP address?",
          "If you choose not to the program will end."}},
        {Edit_Port,
         Port_Screen,
         "590",
         {"590 is not a valid port number.", "Would you like to re-enter the port number?",
          "If you choose not to the program will end."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Screen);
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.files.files[Builtin::Viewer_File_Name] = "";
        To_Code_Screen_Not_Found(d.operator_);
        Edit_From_Code_Screen(d.operator_, c.Button, c.Screen, c.Typed)
            .On_Message(16)
            .Press(Yes)
            .On_Screen(c.Screen)   // shown again, with the rejected value
            .Key(Key::Escape, 27)  // back to the access-code screen
            .On_Screen(Code_Screen)
            .Press(c.Button)
            .On_Screen(c.Screen)
            .Press(Accept)
            .On_Message(16)
            .Press(No);  // the end; nothing is put back

        EXPECT_EQ(Main(m), 0);
        EXPECT_TRUE(d.operator_.Done());
        ASSERT_EQ(d.seen.size(), 10u);
        EXPECT_EQ(Lines(d.seen[5]), c.Question);
        EXPECT_EQ(d.seen[6].Field, c.Typed);
        EXPECT_EQ(d.seen[8].Field, c.Typed);
        EXPECT_EQ(c.Button == Edit_IP ? m.Repeater_IP : m.Port_Num, c.Typed);
        // The rejected value is never probed.
        for (const auto& connection : d.network.connections) {
            EXPECT_NE(connection.Host, c.Typed);
            EXPECT_NE(std::to_string(connection.Port), c.Typed);
        }
        EXPECT_EQ(d.files.files.count("NRVNC.INI"), 0u);
    }
}

// The access-code screen offers the edits only while the repeater is not
// found, so a working value to put back after a rejected edit exists only
// when the edit starts with the repeater found; these run the edit alone.
class Repeater_Edit_Found : public Session {
  protected:
    void SetUp() override {
        Select_Display_Font(m);
        m.Repeater_IP = "10.1.1.1";
        m.Port_Num = "5901";
        m.Repeater_Found = true;
    }
};

TEST_F(Repeater_Edit_Found, Rejected_Address_Is_Replaced_By_The_Working_One_And_Probed_Again) {
    Repeater_Answers("10.1.1.1");
    op.On_Screen(IP_Screen)
        .Clear_Field()
        .Type("10.0.0.1")
        .Press(Accept)
        .On_Message(16)
        .Press(Yes)
        .On_Screen(IP_Screen)
        .Key(Key::Escape, 27);
    bool Exit = false;

    Repeater_Edit(m, 3, Exit);

    EXPECT_FALSE(Exit);
    EXPECT_TRUE(op.Done());
    EXPECT_EQ(d.seen.back().Field, "10.1.1.1");  // put back before the screen came again
    EXPECT_EQ(m.Repeater_IP, "10.1.1.1");
    EXPECT_TRUE(m.Repeater_Found);
    ASSERT_EQ(d.network.connections.size(), 1u);  // the restored address, probed once
    EXPECT_EQ(d.network.connections[0].Host, "10.1.1.1");
}

TEST_F(Repeater_Edit_Found, Restored_Value_That_No_Longer_Answers_Leaves_The_Repeater_Not_Found) {
    // Nothing answers any more: the restore probe fails.
    op.On_Screen(Port_Screen)
        .Clear_Field()
        .Type("12")
        .Press(Accept)
        .On_Message(16)
        .Press(Yes)
        .On_Screen(Port_Screen)
        .Key(Key::Escape, 27);
    bool Exit = false;

    Repeater_Edit(m, 4, Exit);

    EXPECT_EQ(m.Port_Num, "5901");
    EXPECT_FALSE(m.Repeater_Found);
    EXPECT_EQ(d.seen.back().Field, "5901");
}

TEST_F(Repeater_Edit_Found, Valid_Value_Not_Answering_Puts_The_Working_One_Back) {
    struct Case {
        const char* What;
        int Answer;
        bool Exit;
    };
    for (const Case c : {Case{"continue", Continue, false}, Case{"exit", Exit_VNC, true}}) {
        SCOPED_TRACE(c.What);
        d.network.connections.clear();
        m.Repeater_IP = "10.1.1.1";
        m.Repeater_Found = true;
        Repeater_Answers("10.1.1.1");
        op.On_Screen(IP_Screen)
            .Clear_Field()
            .Type("10.1.1.2")
            .Press(Accept)
            .On_Message(2)
            .Press(c.Answer);
        bool Exit = false;

        Repeater_Edit(m, 3, Exit);

        EXPECT_EQ(Exit, c.Exit);
        EXPECT_TRUE(op.Done());
        // Probed: the new address (fails), then the put-back one (answers).
        ASSERT_EQ(d.network.connections.size(), 2u);
        EXPECT_EQ(d.network.connections[0].Host, "10.1.1.2");
        EXPECT_EQ(d.network.connections[1].Host, "10.1.1.1");
        EXPECT_EQ(m.Repeater_IP, "10.1.1.1");
        EXPECT_TRUE(m.Repeater_Found);
    }
}

TEST_F(Repeater_Edit_Found, No_After_A_Rejected_Value_Ends_And_Puts_Nothing_Back) {
    op.On_Screen(IP_Screen).Clear_Field().Type("10.0.0.1").Press(Accept).On_Message(16).Press(No);
    bool Exit = false;

    Repeater_Edit(m, 3, Exit);

    EXPECT_TRUE(Exit);
    EXPECT_EQ(m.Repeater_IP, "10.0.0.1");
    EXPECT_TRUE(d.network.connections.empty());
}

// ---- local entry ----

TEST_F(Session, Rejected_Host_Name_Is_Put_Back_And_The_Screen_Shown_Again) {
    d.files.files["NRVNC.INI"] = "pc-9\r\n10.1.1.9\r\n5905\r\n";
    d.processes.Script_Viewer({});
    op.On_Message(0)
        .Press(Local)
        .On_Screen(Host_Screen)
        .Clear_Field()
        .Type("a/b")
        .Press(Accept)
        .On_Message(16)
        .Press(Yes)
        .On_Screen(Host_Screen)
        .Clear_Field()
        .Type("pc-17")
        .Press(Accept);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "host", "message 16", "host"}));
    EXPECT_EQ(Lines(d.seen[2]), (Strings{"a/b is not a valid Host Name or Host IP address.",
                                         "Would you like to re-enter the host name or IP address?",
                                         "If you choose not to the program will end."}));
    EXPECT_EQ(d.seen[3].Field, "pc-9");
    EXPECT_EQ(d.processes.started.at(0).first, Local_Command("pc-17"));
}

TEST_F(Session, No_After_A_Rejected_Host_Name_Ends_Without_Saving) {
    op.On_Message(0)
        .Press(Local)
        .On_Screen(Host_Screen)
        .Clear_Field()
        .Press(Accept)  // an empty host name
        .On_Message(16)
        .Press(No);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Lines(d.seen[2]).at(0), " is not a valid Host Name or Host IP address.");
    EXPECT_EQ(m.Host_Name, Default_Host);
    EXPECT_FALSE(Settings_Written());
    EXPECT_TRUE(d.processes.started.empty());
}

// ---- Esc and Exit Program ----

TEST_F(Session, Esc_On_The_Host_Or_Code_Screen_Goes_Back_To_The_Network_Question) {
    d.files.files["NRVNC.INI"] = "pc-9\r\n10.1.1.9\r\n5905\r\n";
    op.On_Message(0)
        .Press(Local)
        .On_Screen(Host_Screen)
        .Key(Key::Escape, 27)
        .On_Message(0)
        .Press(Internet)
        .On_Message(3)
        .Press(OK)
        .On_Message(2)
        .Press(Continue)
        .On_Screen(Code_Screen)
        .Key(Key::Escape, 27)
        .On_Message(0)
        .Press(Exit_VNC);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "host", "message 0", "message 3", "message 2",
                                     "code", "message 0"}));
    // Back at the question before any launch and without a repeater: the
    // settings are read again each time.
    EXPECT_EQ(Settings_Reads(), 3);
    EXPECT_FALSE(Settings_Written());
}

TEST_F(Session, Esc_On_The_Address_Or_Port_Screen_Goes_Back_To_The_Code_Screen) {
    To_Code_Screen_Not_Found(op);
    op.On_Screen(Code_Screen)
        .Press(Edit_IP)
        .On_Screen(IP_Screen)
        .Type("5")
        .Key(Key::Escape, 27)
        .On_Screen(Code_Screen)
        .Press(Edit_Port)
        .On_Screen(Port_Screen)
        .Type("5")
        .Key(Key::Escape, 27)
        .On_Screen(Code_Screen)
        .Press(Exit_Program);

    Expect_Ended_Cleanly(Run());
    EXPECT_EQ(Transcript(), (Strings{"message 0", "message 3", "message 2", "code", "ip", "code",
                                     "port", "code"}));
    EXPECT_EQ(m.Repeater_IP, Builtin::Default_Repeater_Host);
    EXPECT_EQ(m.Port_Num, "5901");
    // Esc probes nothing: the only probe is the one after the network question.
    EXPECT_EQ(d.network.connections.size(), 1u);
}

TEST_F(Session, Exit_Program_On_Any_Screen_Ends_Without_Saving) {
    struct Case {
        const char* What;
        std::function<void(fake::Operator&)> Script;
    };
    const Case cases[] = {
        {"host",
         [](fake::Operator& o) {
             o.On_Message(0).Press(Local).On_Screen(Host_Screen).Type("x").Press(Exit_Program);
         }},
        {"code",
         [](fake::Operator& o) {
             To_Code_Screen_Not_Found(o);
             o.On_Screen(Code_Screen).Type("12").Press(Exit_Program);
         }},
        {"ip",
         [](fake::Operator& o) {
             To_Code_Screen_Not_Found(o);
             o.On_Screen(Code_Screen).Press(Edit_IP).On_Screen(IP_Screen).Press(Exit_Program);
         }},
        {"port",
         [](fake::Operator& o) {
             To_Code_Screen_Not_Found(o);
             o.On_Screen(Code_Screen).Press(Edit_Port).On_Screen(Port_Screen).Press(Exit_Program);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.files.files[Builtin::Viewer_File_Name] = "";
        c.Script(d.operator_);

        EXPECT_EQ(Main(m), 0);
        EXPECT_TRUE(d.operator_.Done());
        EXPECT_EQ(d.windows.taskbar_commands, (std::vector<int>{419, 416}));
        for (const std::string& o : d.files.operations)
            EXPECT_EQ(o.rfind("write", 0), std::string::npos) << o;
        EXPECT_EQ(d.files.files.count("NRVNC.INI"), 0u);
        EXPECT_TRUE(d.processes.started.empty());
    }
}

// ---- run-time errors ----

TEST_F(Session, Run_Time_Error_Shows_The_Abort_Message_And_Restores_The_Windows) {
    struct Case {
        const char* What;
        std::function<void(fake::Fake_Desktop&)> Arrange;
        std::string Reason;
    };
    const Case cases[] = {
        {"the viewer cannot be started",
         [](fake::Fake_Desktop& d) { d.processes.start_raises = true; }, "File not found"},
        {"the process list cannot be read",
         [](fake::Fake_Desktop& d) {
             d.processes.Script_Viewer({.Status_Window_After = -1});  // forces the process check
             d.processes.list_raises = true;
         },
         "Access denied"},
        {"out of memory while starting",
         [](fake::Fake_Desktop& d) {
             d.processes.programs["vncviewer"] = [](uint32_t) { throw std::bad_alloc(); };
         },
         std::bad_alloc().what()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        fake::Fake_Desktop d;
        Misc m(d.platform());
        d.files.files[Builtin::Viewer_File_Name] = "";
        c.Arrange(d);
        d.operator_.On_Message(0)
            .Press(Local)
            .On_Screen(Host_Screen)
            .Clear_Field()
            .Type("pc-17")
            .Press(Accept);

        const int status = Main(m);

        EXPECT_NE(status, 0);
        ASSERT_EQ(d.forms.message_boxes.size(), 1u);
        EXPECT_EQ(d.forms.message_boxes[0].Text,
                  "The program aborted for the following reason: \r\n\r\n" + c.Reason);
        EXPECT_EQ(d.forms.message_boxes[0].Title, "NRVNC");
        EXPECT_EQ(d.windows.taskbar_commands, (std::vector<int>{419, 416}));
        EXPECT_TRUE(d.processes.terminated.empty());  // an abort never ends the viewer
    }
}

TEST_F(Session, Run_Time_Error_While_Ending_A_Failed_Viewer_Aborts_And_Leaves_It_Running) {
    // The process list fails from the moment the viewer's error box is up.
    d.processes.Script_Viewer({.Error_Box_After = 1500});
    auto viewer = d.processes.programs["vncviewer"];
    d.processes.programs["vncviewer"] = [&, viewer](uint32_t pid) {
        viewer(pid);
        d.At(1500, [&] { d.processes.list_raises = true; });
    };
    op.On_Message(0).Press(Local).On_Screen(Host_Screen).Clear_Field().Type("pc-17").Press(Accept);

    EXPECT_NE(Run(), 0);
    ASSERT_EQ(d.forms.message_boxes.size(), 1u);
    EXPECT_EQ(d.forms.message_boxes[0].Text,
              "The program aborted for the following reason: \r\n\r\nAccess denied");
    EXPECT_EQ(d.windows.taskbar_commands, (std::vector<int>{419, 416}));
    EXPECT_EQ(d.processes.running.size(), 1u);
    // It failed on the way to ending the viewer after its error box.
    EXPECT_EQ(processes.list_times, (std::vector<uint32_t>{processes.start_times.at(0) + 1500}));
}

}  // namespace
}  // namespace nrvnc::testing_session
