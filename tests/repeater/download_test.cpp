#include "repeater/download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using fake::Fake_Ftp_Server;

const std::string Server = Builtin::FTP_Server_Name;
const std::string Login = std::string(" 0 ") + Builtin::FTP_User_Name + " " + Builtin::FTP_Password;

// A program on the fake desktop, with the stored repeater 10.1.1.5:5901 and
// the FTP server as given (nullopt: no such server).
struct Program {
    explicit Program(std::optional<Fake_Ftp_Server> server) {
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
        if (server) d.network.ftp.servers[Server] = *server;
    }
    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

TEST(Download, A_Good_File_Replaces_The_Values_And_No_Copy_Is_Left) {
    Program r(Fake_Ftp_Server{.File = "10.2.2.2\n6000\n"});
    r.d.files.files["Repeater.Dat"] = "10.9.9.9\r\n9999\r\n";  // an older copy
    EXPECT_TRUE(Get_Repeater_IP_File(r.m));
    EXPECT_EQ(r.m.Repeater_IP, "10.2.2.2");
    EXPECT_EQ(r.m.Port_Num, "6000");
    EXPECT_EQ(r.d.files.operations,
              (std::vector<std::string>{"read Repeater.Dat", "delete Repeater.Dat"}));
    EXPECT_EQ(r.d.files.files.count("Repeater.Dat"), 0u);
    EXPECT_TRUE(r.d.forms.loaded_captions.empty());  // nothing shown
    EXPECT_EQ(
        r.d.network.ftp.calls,
        (std::vector<std::string>{"open NR Repeater IP File Download", "connect " + Server + Login,
                                  "cd VNCRepeater", "get Repeater.Dat Repeater.Dat ascii",
                                  "close 101",     // the connection
                                  "close 100"}));  // and the session under it
    EXPECT_EQ(r.m.FTP_Handle, 0u);
}

TEST(Download, The_Url_Form_Is_Tried_When_The_Plain_Name_Is_Refused) {
    Program r(Fake_Ftp_Server{.Accept_Plain_Name = false, .File = "10.3.3.3\r\n7000\r\n"});
    EXPECT_TRUE(Get_Repeater_IP_File(r.m));
    EXPECT_EQ(r.m.Repeater_IP, "10.3.3.3");
    const auto& calls = r.d.network.ftp.calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1], "connect " + Server + Login);
    EXPECT_EQ(calls[2], "connect ftp://" + Server + Login);
    EXPECT_TRUE(r.d.network.ftp.open_handles.empty());
}

TEST(Download, Each_Failing_Step_Shows_Its_Own_Notice_Once) {
    struct Case {
        const char* Name;
        std::optional<Fake_Ftp_Server> Server;
        const char* Step_Text;
    };
    const std::string file = "10.2.2.2\r\n6000\r\n";
    for (const Case& c : {
             Case{"server unknown", std::nullopt, "connecting to"},
             Case{"login refused", Fake_Ftp_Server{.Login_Refused = true, .File = file},
                  "connecting to"},
             Case{"both names refused",
                  Fake_Ftp_Server{
                      .Accept_Plain_Name = false, .Accept_Url_Name = false, .File = file},
                  "connecting to"},
             Case{"no folder", Fake_Ftp_Server{.Has_Folder = false, .File = file},
                  "finding the file path on"},
             Case{"no file", Fake_Ftp_Server{}, "transferring the repeater IP file from"},
             Case{"local write fails", Fake_Ftp_Server{.File = file, .Local_Write_Fails = true},
                  "transferring the repeater IP file from"},
         }) {
        SCOPED_TRACE(c.Name);
        Program r(c.Server);
        r.d.files.files["Repeater.Dat"] = "older copy\r\n1\r\n";
        r.d.operator_.On_Message(3).Press(1);

        EXPECT_FALSE(Get_Repeater_IP_File(r.m));
        EXPECT_TRUE(r.d.operator_.Done());
        ASSERT_EQ(r.d.seen.size(), 1u);
        std::vector<std::string> shown;  // empty rows are printed as blanks
        for (const auto& t : r.d.seen[0].Texts)
            if (t.find_first_not_of(' ') != std::string::npos) shown.push_back(t);
        EXPECT_EQ(shown, std::vector<std::string>{std::string("  There was an error ") +
                                                  c.Step_Text + " the Norvane FTP server.  "});
        EXPECT_FALSE(r.m.MsgBox_Loaded);
        EXPECT_EQ(r.m.Repeater_IP, "10.1.1.5");
        EXPECT_EQ(r.m.Port_Num, "5901");
        EXPECT_EQ(r.m.FTP_Handle, 0u);
        EXPECT_TRUE(r.d.network.ftp.open_handles.empty());
        EXPECT_EQ(r.d.files.files["Repeater.Dat"], "older copy\r\n1\r\n");
        EXPECT_TRUE(r.d.files.operations.empty());
    }
}

TEST(Download, Only_Two_Short_Clean_Lines_Are_Taken_From_The_File) {
    const std::string big(1 << 16, 'x');
    struct Case {
        const char* Name;
        std::string Content;  // as the server stores it (LF is sent as CR LF)
        const char *Repeater_IP, *Port_Num;
    };
    for (const Case& c : {
             Case{"more lines are ignored", "10.2.2.2\n6000\nthird\n", "10.2.2.2", "6000"},
             Case{"one line", "10.2.2.2\n", "10.2.2.2", "5901"},
             Case{"empty", "", "10.1.1.5", "5901"},
             Case{"an overlong first line", std::string(300, 'a') + "\n6000\n", "10.1.1.5", "6000"},
             Case{"an escape sequence", "10.2.2.2\n\x1b[2J6000\n", "10.2.2.2", "5901"},
             Case{"binary",
                  std::string("\x7f"
                              "ELF\x02\x01\x01\0\0\0\n\x03\0>\0\n",
                              16),
                  "10.1.1.5", "5901"},
             Case{"two lines, then a lot", "10.2.2.2\n6000\n" + big, "10.2.2.2", "6000"},
             Case{"one huge line", big, "10.1.1.5", "5901"},
         }) {
        SCOPED_TRACE(c.Name);
        Program r(Fake_Ftp_Server{.File = c.Content});
        EXPECT_TRUE(Get_Repeater_IP_File(r.m));
        EXPECT_EQ(r.m.Repeater_IP, c.Repeater_IP);
        EXPECT_EQ(r.m.Port_Num, c.Port_Num);
        EXPECT_EQ(r.d.files.files.count("Repeater.Dat"), 0u);
    }
}

}  // namespace
}  // namespace nrvnc
