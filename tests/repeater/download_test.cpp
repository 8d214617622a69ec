#include "repeater/download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "dialogs/message/frm_msg_box.h"
#include "repeater/frm_communications.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using fake::Fake_Ftp_Server;

const std::string Server = Builtin::FTP_Server_Name;
const std::string Url_Server = "ftp://" + Server;
const std::string Login = std::string(" 0 ") + Builtin::FTP_User_Name + " " + Builtin::FTP_Password;
const std::string Agent = "NR Repeater IP File Download";

// Empty rows of a message are printed as blanks.
bool Blank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

class Download_Test : public ::testing::Test {
  protected:
    void SetUp() override {
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
    }

    void Serve(const std::string& file) {
        d.network.ftp.servers[Server] = Fake_Ftp_Server{.File = file};
    }

    // Everything that was shown: the texts of every message the operator saw.
    std::vector<std::string> Notice_Lines() const {
        std::vector<std::string> lines;
        for (const auto& s : d.seen)
            for (const auto& t : s.Texts)
                if (!Blank(t)) lines.push_back(t);
        return lines;
    }

    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

TEST_F(Download_Test, A_Good_File_Gives_Both_Values_And_Leaves_No_Copy) {
    Serve("10.2.2.2\n6000\n");
    EXPECT_TRUE(Get_Repeater_IP_File(m));
    EXPECT_EQ(m.Repeater_IP, "10.2.2.2");
    EXPECT_EQ(m.Port_Num, "6000");
    EXPECT_EQ(d.files.files.count("Repeater.Dat"), 0u);
    EXPECT_TRUE(d.forms.loaded_captions.empty());  // nothing shown

    const std::vector<std::string> expected = {
        "open " + Agent,  "connect " + Server + Login,
        "cd VNCRepeater", "get Repeater.Dat Repeater.Dat ascii",
        "close 101",  // the connection
        "close 100",  // and the session under it
    };
    EXPECT_EQ(d.network.ftp.calls, expected);
    EXPECT_TRUE(d.network.ftp.open_handles.empty());
    EXPECT_EQ(m.FTP_Handle, 0u);
    EXPECT_EQ(m.frmCommunications().FTP_Session, 0u);
    EXPECT_FALSE(m.frmCommunications().Loaded());  // no socket was made for this
}

TEST_F(Download_Test, The_Url_Form_Is_Tried_When_The_Plain_Name_Is_Refused) {
    d.network.ftp.servers[Server] =
        Fake_Ftp_Server{.Accept_Plain_Name = false, .File = std::string("10.3.3.3\r\n7000\r\n")};
    EXPECT_TRUE(Get_Repeater_IP_File(m));
    EXPECT_EQ(m.Repeater_IP, "10.3.3.3");
    EXPECT_EQ(m.Port_Num, "7000");
    const auto& calls = d.network.ftp.calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1], "connect " + Server + Login);
    EXPECT_EQ(calls[2], "connect " + Url_Server + Login);
    EXPECT_TRUE(d.network.ftp.open_handles.empty());
}

TEST_F(Download_Test, The_Url_Form_Is_Not_Tried_When_The_Plain_Name_Works) {
    d.network.ftp.servers[Server] =
        Fake_Ftp_Server{.Accept_Url_Name = false, .File = std::string("10.3.3.3\r\n7000\r\n")};
    EXPECT_TRUE(Get_Repeater_IP_File(m));
    EXPECT_EQ(std::count_if(d.network.ftp.calls.begin(), d.network.ftp.calls.end(),
                            [](const std::string& c) { return c.rfind("connect", 0) == 0; }),
              1);
}

TEST_F(Download_Test, An_Older_Local_Copy_Is_Overwritten_Then_Deleted) {
    d.files.files["Repeater.Dat"] = "10.9.9.9\r\n9999\r\n";
    Serve("10.2.2.2\r\n6000\r\n");
    EXPECT_TRUE(Get_Repeater_IP_File(m));
    EXPECT_EQ(m.Repeater_IP, "10.2.2.2");
    EXPECT_EQ(m.Port_Num, "6000");
    EXPECT_EQ(d.files.files.count("Repeater.Dat"), 0u);
    EXPECT_EQ(d.files.operations,
              (std::vector<std::string>{"read Repeater.Dat", "delete Repeater.Dat"}));
}

TEST_F(Download_Test, Each_Failing_Step_Shows_Its_Own_Notice_Once) {
    struct Case {
        const char* Name;
        std::optional<Fake_Ftp_Server> Server;  // nullopt: no such server at all
        bool Open_Fails;
        const char* Step_Text;
    };
    const std::string file = "10.2.2.2\r\n6000\r\n";
    const std::vector<Case> cases = {
        {"no session", Fake_Ftp_Server{.File = file}, true, "connecting to"},
        {"server unknown", std::nullopt, false, "connecting to"},
        {"server down", Fake_Ftp_Server{.Reachable = false, .File = file}, false, "connecting to"},
        {"login refused", Fake_Ftp_Server{.Login_Refused = true, .File = file}, false,
         "connecting to"},
        {"both names refused",
         Fake_Ftp_Server{.Accept_Plain_Name = false, .Accept_Url_Name = false, .File = file}, false,
         "connecting to"},
        {"no folder", Fake_Ftp_Server{.Has_Folder = false, .File = file}, false,
         "finding the file path on"},
        {"no file", Fake_Ftp_Server{}, false, "transferring the repeater IP file from"},
        {"local write fails", Fake_Ftp_Server{.File = file, .Local_Write_Fails = true}, false,
         "transferring the repeater IP file from"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fake::Fake_Desktop d;
        Misc m{d.platform()};
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
        d.files.files["Repeater.Dat"] = "older copy\r\n1\r\n";
        if (c.Server) d.network.ftp.servers[Server] = *c.Server;
        d.network.ftp.open_fails = c.Open_Fails;
        d.operator_.On_Message(3).Press(1);

        EXPECT_FALSE(Get_Repeater_IP_File(m));
        EXPECT_TRUE(d.operator_.Done());

        ASSERT_EQ(d.seen.size(), 1u);
        const std::string text =
            std::string("  There was an error ") + c.Step_Text + " the Norvane FTP server.  ";
        // A one-line information: the text alone, on its own row.
        std::vector<std::string> shown;
        for (const auto& t : d.seen[0].Texts)
            if (!Blank(t)) shown.push_back(t);
        EXPECT_EQ(shown, std::vector<std::string>{text});
        EXPECT_EQ(d.forms.loaded_captions.size(), 1u);
        EXPECT_FALSE(m.MsgBox_Loaded);

        EXPECT_EQ(m.Repeater_IP, "10.1.1.5");
        EXPECT_EQ(m.Port_Num, "5901");
        EXPECT_EQ(m.FTP_Handle, 0u);
        EXPECT_TRUE(d.network.ftp.open_handles.empty());
        // Nothing read, nothing deleted: the older copy is as it was.
        EXPECT_EQ(d.files.files["Repeater.Dat"], "older copy\r\n1\r\n");
        EXPECT_TRUE(d.files.operations.empty());
    }
}

TEST_F(Download_Test, A_Stand_By_Notice_Is_Taken_Down_Before_The_Error_Notice) {
    d.network.ftp.servers[Server] = Fake_Ftp_Server{.Login_Refused = true, .File = std::nullopt};
    m.frmMsgBox().Do_User_Msg(1, Msg_Value{0}, Msg_Value{std::string()});
    ASSERT_TRUE(m.MsgBox_Loaded);

    std::size_t live_with_notice = 0;
    d.operator_.On_Message(3).Run([&] { live_with_notice = d.forms.live.size(); }).Press(1);
    EXPECT_FALSE(Get_Repeater_IP_File(m));
    EXPECT_EQ(live_with_notice, 1u);
    EXPECT_EQ(d.forms.loaded_captions.size(), 2u);
    EXPECT_EQ(Notice_Lines(), std::vector<std::string>{
                                  "  There was an error connecting to the Norvane FTP server.  "});
    EXPECT_FALSE(m.MsgBox_Loaded);
    EXPECT_TRUE(d.forms.live.empty());
}

// ---- what is taken from the file ----

TEST_F(Download_Test, The_File_Is_Read_As_Two_Short_Lines) {
    const std::string long_name(300, 'a');
    const std::string max_name(255, 'b');
    struct Case {
        const char* Name;
        std::string Content;  // as the server stores it (LF is sent as CR LF)
        std::string Repeater_IP, Port_Num;
    };
    const std::string big(1 << 16, 'x');
    const std::vector<Case> cases = {
        {"two lines", "10.2.2.2\n6000\n", "10.2.2.2", "6000"},
        {"more lines are ignored", "10.2.2.2\n6000\nthird\nfourth\n", "10.2.2.2", "6000"},
        {"no end on the last line", "10.2.2.2\n6000", "10.2.2.2", "6000"},
        {"a host name is taken as it stands", "repeater.example.net\n6000\n",
         "repeater.example.net", "6000"},
        {"values are not checked here", " 10.2.2.2 \nport\n", " 10.2.2.2 ", "port"},
        {"one line", "10.2.2.2\n", "10.2.2.2", "5901"},
        {"one line without end", "10.2.2.2", "10.2.2.2", "5901"},
        {"empty", "", "10.1.1.5", "5901"},
        {"an empty first line", "\n6000\n", "", "6000"},
        {"a bare CR ends a line", "10.2.2.2\r6000\r", "10.2.2.2", "6000"},
        {"CR CR LF leaves an empty line", "10.2.2.2\r\r\n6000\n", "10.2.2.2", ""},
        {"the longest value", max_name + "\n6000\n", max_name, "6000"},
        {"an overlong first line", long_name + "\n6000\n", "10.1.1.5", "6000"},
        {"an overlong second line", "10.2.2.2\n" + long_name + "\n", "10.2.2.2", "5901"},
        {"a control character", std::string("10.2.2.2\x07\n6000\n"), "10.1.1.5", "6000"},
        {"an escape sequence", "10.2.2.2\n\x1b[2J6000\n", "10.2.2.2", "5901"},
        {"a tab", "10.2.2.2\n60\t00\n", "10.2.2.2", "5901"},
        {"a NUL", std::string("10.2\0.2.2\n6000\n", 16), "10.1.1.5", "6000"},
        {"binary",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                     20),
         "10.1.1.5", "5901"},
        // A huge file is read only at its head.
        {"two lines, then a lot", "10.2.2.2\n6000\n" + big, "10.2.2.2", "6000"},
        {"one huge line", big, "10.1.1.5", "5901"},
        {"a second line that runs past the head", "10.2.2.2\n" + big + "\n6000\n", "10.2.2.2",
         "5901"},
        {"a second line beyond the head", std::string(5000, 'y') + "\n6000\n", "10.1.1.5", "5901"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fake::Fake_Desktop d;
        Misc m{d.platform()};
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
        d.network.ftp.servers[Server] = Fake_Ftp_Server{.File = c.Content};
        EXPECT_TRUE(Get_Repeater_IP_File(m));
        EXPECT_EQ(m.Repeater_IP, c.Repeater_IP);
        EXPECT_EQ(m.Port_Num, c.Port_Num);
        EXPECT_EQ(d.files.files.count("Repeater.Dat"), 0u);
        EXPECT_TRUE(d.forms.loaded_captions.empty());
    }
}

TEST_F(Download_Test, An_Unreadable_Copy_Keeps_The_Values_And_Still_Counts) {
    Serve("10.2.2.2\r\n6000\r\n");
    d.files.unreadable.insert("Repeater.Dat");
    EXPECT_TRUE(Get_Repeater_IP_File(m));
    EXPECT_EQ(m.Repeater_IP, "10.1.1.5");
    EXPECT_EQ(m.Port_Num, "5901");
    EXPECT_EQ(d.files.files.count("Repeater.Dat"), 0u);
    EXPECT_TRUE(d.forms.loaded_captions.empty());
}

TEST_F(Download_Test, A_Copy_That_Cannot_Be_Deleted_Reaches_The_Caller) {
    // The copy vanishes while events run after the transfer, so the delete
    // fails: that error is not trapped here.
    Serve("10.2.2.2\r\n6000\r\n");
    auto& files = d.files.files;
    d.operator_.On([&] { return files.count("Repeater.Dat") > 0; }, "the copy arrives").Run([&] {
        files.erase("Repeater.Dat");
    });
    bool raised = false;
    try {
        Get_Repeater_IP_File(m);
    } catch (const Runtime_Error& e) {
        raised = true;
        EXPECT_EQ(e.Number, Error_Number::File_Not_Found);
    }
    EXPECT_TRUE(raised);
    EXPECT_EQ(m.FTP_Handle, 0u);
    EXPECT_TRUE(d.network.ftp.open_handles.empty());
    EXPECT_TRUE(d.forms.loaded_captions.empty());  // no notice: the caller reports it
}

TEST_F(Download_Test, Open_And_Close_Keep_FTP_Handle_Zero_Outside_A_Connection) {
    Serve("x\r\n");
    EXPECT_TRUE(Open_FTP_Connection(m, "agent"));
    EXPECT_NE(m.FTP_Handle, 0u);
    EXPECT_EQ(d.network.ftp.calls.front(), "open agent");
    EXPECT_EQ(d.network.ftp.open_handles.size(), 2u);  // session and connection
    Close_FTP_Connection(m);
    EXPECT_EQ(m.FTP_Handle, 0u);
    EXPECT_TRUE(d.network.ftp.open_handles.empty());
    Close_FTP_Connection(m);  // nothing to close: no calls
    EXPECT_EQ(std::count_if(d.network.ftp.calls.begin(), d.network.ftp.calls.end(),
                            [](const std::string& c) { return c.rfind("close", 0) == 0; }),
              2);

    // A session without a connection is not kept either.
    d.network.ftp.servers[Server].Reachable = false;
    EXPECT_FALSE(Open_FTP_Connection(m, "agent"));
    EXPECT_EQ(m.FTP_Handle, 0u);
    EXPECT_TRUE(d.network.ftp.open_handles.empty());
}

}  // namespace
}  // namespace nrvnc
