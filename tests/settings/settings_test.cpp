#include "settings/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "repeater/frm_communications.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

const std::string Default_Host = "Host Computer Name or IP Address";
const std::string Program_Files = "C:\\Program Files";
const std::string Local_App_Data = "C:\\Users\\op\\AppData\\Local";
const std::string Program_Files_INI = "C:\\Program Files\\NRVNC\\NRVNC.INI";
const std::string Local_App_Data_INI = "C:\\Users\\op\\AppData\\Local\\NRVNC\\NRVNC.INI";

std::string Lines(const std::string& a, const std::string& b, const std::string& c) {
    return a + "\r\n" + b + "\r\n" + c + "\r\n";
}

class Settings_Test : public ::testing::Test {
  protected:
    void SetUp() override {
        d.files.environment["ProgramFiles"] = Program_Files;
        d.files.environment["LocalAppData"] = Local_App_Data;
        d.files.folders = {
            "C:",          Program_Files, "C:\\Users", "C:\\Users\\op", "C:\\Users\\op\\AppData",
            Local_App_Data};
    }

    void Expect_Values(const std::string& host, const std::string& repeater,
                       const std::string& port) {
        EXPECT_EQ(m.Host_Name, host);
        EXPECT_EQ(m.Repeater_IP, repeater);
        EXPECT_EQ(m.Port_Num, port);
    }
    void Expect_Defaults() { Expect_Values(Default_Host, Builtin::Default_Repeater_Host, "5901"); }

    bool Leftovers() const {
        return std::any_of(d.files.files.begin(), d.files.files.end(), [](const auto& f) {
            return f.first.size() >= 4 && f.first.substr(f.first.size() - 4) == ".new";
        });
    }

    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

// ---- where the file is looked for ----

TEST_F(Settings_Test, Looks_In_The_Current_Folder_Then_Program_Files_Then_Local_App_Data) {
    struct Case {
        std::vector<std::string> Present;  // files holding valid settings
        std::vector<std::string> Hidden;
        std::string Expected_Path;
    } cases[] = {
        {{"NRVNC.INI", Program_Files_INI, Local_App_Data_INI}, {}, "NRVNC.INI"},
        {{Program_Files_INI, Local_App_Data_INI}, {}, Program_Files_INI},
        {{Local_App_Data_INI}, {}, Local_App_Data_INI},
        {{}, {}, ""},
        // Hidden files do not count.
        {{"NRVNC.INI", Local_App_Data_INI}, {"NRVNC.INI"}, Local_App_Data_INI},
        {{"NRVNC.INI", Program_Files_INI}, {"NRVNC.INI", Program_Files_INI}, ""},
    };
    // Each file names its place in its host line.
    auto tag = [](const std::string& path) {
        return path == "NRVNC.INI" ? "current" : path == Program_Files_INI ? "program" : "local";
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("expected \"" + c.Expected_Path + "\"");
        fake::Fake_Desktop d;
        d.files.environment = {{"ProgramFiles", Program_Files}, {"LocalAppData", Local_App_Data}};
        for (const std::string& path : c.Present)
            d.files.files[path] = Lines(std::string("host-") + tag(path), "10.1.1.1", "1234");
        for (const std::string& path : c.Hidden) d.files.hidden.insert(path);
        Misc m(d.platform());
        Load_Settings(m);
        EXPECT_EQ(m.INI_File_Path, c.Expected_Path);
        if (c.Expected_Path.empty()) {
            EXPECT_EQ(m.Host_Name, Default_Host);
            EXPECT_EQ(m.Port_Num, "5901");
        } else {
            EXPECT_EQ(m.Host_Name, std::string("host-") + tag(c.Expected_Path));
            EXPECT_EQ(m.Repeater_IP, "10.1.1.1");
            EXPECT_EQ(m.Port_Num, "1234");
        }
    }
}

TEST_F(Settings_Test, An_Unset_Environment_Variable_Names_No_Place) {
    // Without the variables the paths would start at the drive's root; a
    // file there must not be taken for the settings.
    d.files.environment.clear();
    d.files.files["\\NRVNC\\NRVNC.INI"] = Lines("root", "10.1.1.1", "1234");
    Load_Settings(m);
    EXPECT_EQ(m.INI_File_Path, "");
    Expect_Defaults();

    // Only LocalAppData set: it is still found.
    d.files.environment["LocalAppData"] = Local_App_Data;
    d.files.files[Local_App_Data_INI] = Lines("local", "10.1.1.1", "1234");
    Load_Settings(m);
    EXPECT_EQ(m.INI_File_Path, Local_App_Data_INI);
    Expect_Values("local", "10.1.1.1", "1234");

    // An empty variable is no place either.
    d.files.environment["ProgramFiles"] = "";
    d.files.files.erase(Local_App_Data_INI);
    Load_Settings(m);
    EXPECT_EQ(m.INI_File_Path, "");
}

TEST_F(Settings_Test, Events_Run_After_The_First_Miss_And_After_Reading) {
    d.files.files["NRVNC.INI"] = Lines("host", "10.1.1.1", "1234");
    auto before = d.forms.do_events_calls;
    Load_Settings(m);
    EXPECT_EQ(d.forms.do_events_calls - before, 1u);

    d.files.files.erase("NRVNC.INI");
    d.files.files[Program_Files_INI] = Lines("host", "10.1.1.1", "1234");
    before = d.forms.do_events_calls;
    Load_Settings(m);
    EXPECT_EQ(d.forms.do_events_calls - before, 2u);
}

// ---- what is read ----

TEST_F(Settings_Test, Each_Value_That_Fails_Its_Check_Takes_Its_Default_Alone) {
    struct Case {
        std::string File;
        std::string Host, Repeater, Port;
    } cases[] = {
        {Lines("host", "10.1.1.1", "80"), "host", "10.1.1.1", "5901"},
        {Lines("host", "10.0.0.1", "1234"), "host", Builtin::Default_Repeater_Host, "1234"},
        {Lines("192.168.0.10", "10.1.1.1", "1234"), "192.168.0.10", "10.1.1.1", "1234"},
        {Lines("a/b", "10.1.1.1", "1234"), Default_Host, "10.1.1.1", "1234"},
        {Lines(".local", "repeater.example.com", "0000"), Default_Host,
         Builtin::Default_Repeater_Host, "0000"},
        {Lines("", "", ""), Default_Host, Builtin::Default_Repeater_Host, "5901"},
        {Lines("pc-7", "1.2.3.4", " 590"), "pc-7", "1.2.3.4", "5901"},
        // Lines after the third are ignored.
        {Lines("pc", "10.1.1.1", "1234") + "more\r\nand more\r\n", "pc", "10.1.1.1", "1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File);
        d.files.files["NRVNC.INI"] = c.File;
        Load_Settings(m);
        EXPECT_EQ(m.INI_File_Path, "NRVNC.INI");
        Expect_Values(c.Host, c.Repeater, c.Port);
    }
}

TEST_F(Settings_Test, Line_Endings) {
    struct Case {
        std::string File;
        bool Loads;  // else all defaults
    } cases[] = {
        {"pc\r\n10.1.1.1\r\n1234\r\n", true},
        {"pc\n10.1.1.1\n1234\n", true},    // bare LF
        {"pc\r10.1.1.1\r1234\r", true},    // bare CR
        {"pc\r\n10.1.1.1\n1234\r", true},  // mixed
        {"pc\r\n10.1.1.1\r\n1234", true},  // last line without an ending
        {"pc\r\n10.1.1.1\r\n", false},     // two lines
        {"pc\r\n10.1.1.1", false},
        {"pc", false},
        {"", false},
        {"\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File);
        d.files.files["NRVNC.INI"] = c.File;
        m.Host_Name = m.Repeater_IP = m.Port_Num = "stale";
        Load_Settings(m);
        if (c.Loads)
            Expect_Values("pc", "10.1.1.1", "1234");
        else
            Expect_Defaults();
        EXPECT_EQ(m.INI_File_Path, "NRVNC.INI");
    }

    // LF then CR are two line endings: the second line is empty, and the
    // third holds the address.
    d.files.files["NRVNC.INI"] = "pc\n\r10.1.1.1\n1234\n";
    Load_Settings(m);
    Expect_Values("pc", Builtin::Default_Repeater_Host, "5901");
}

TEST_F(Settings_Test, A_Short_File_Gives_All_Defaults_Not_Only_A_Default_Port) {
    d.files.files["NRVNC.INI"] =
        Lines("pc", "10.1.1.1", "1234").substr(0, 14);  // "pc\r\n10.1.1.1\r\n"
    ASSERT_EQ(d.files.files["NRVNC.INI"], "pc\r\n10.1.1.1\r\n");
    Load_Settings(m);
    Expect_Defaults();
    // The error path prepares the socket as well.
    EXPECT_TRUE(m.frmCommunications().Loaded());
}

TEST_F(Settings_Test, Huge_And_Binary_Files_Give_All_Defaults) {
    struct Case {
        std::string Name;
        std::string File;
        bool Loads;
    } cases[] = {
        {"huge first line", std::string(1 << 20, 'h') + "\r\n10.1.1.1\r\n1234\r\n", false},
        {"huge file without line ends", std::string(1 << 20, 'h'), false},
        {"third line runs past the limit", "pc\r\n10.1.1.1\r\n" + std::string(1 << 17, '1'), false},
        {"huge tail after the lines", Lines("pc", "10.1.1.1", "1234") + std::string(1 << 20, 'x'),
         true},
        {"NUL in a line", Lines(std::string("p\0c", 3), "10.1.1.1", "1234"), false},
        {"escape in a line", Lines("pc", "10.1.1.1\x1b", "1234"), false},
        {"DEL in a line",
         Lines("pc", "10.1.1.1",
               "12\x7f"
               "4"),
         false},
        {"NUL after the third line", Lines("pc", "10.1.1.1", "1234") + std::string("\0\0", 2),
         true},
        {"TAB is text", Lines("p\tc", "10.1.1.1", "1234"), true},
        {"ANSI letters are text", Lines("M\xfcller-PC", "10.1.1.1", "1234"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        d.files.files["NRVNC.INI"] = c.File;
        Load_Settings(m);
        if (c.Loads) {
            EXPECT_EQ(m.Repeater_IP, "10.1.1.1");
            EXPECT_EQ(m.Port_Num, "1234");
            EXPECT_NE(m.Host_Name, Default_Host);
        } else {
            Expect_Defaults();
        }
    }
}

TEST_F(Settings_Test, Exactly_At_The_Read_Limit) {
    // A file of exactly 64 KiB whose last line has no ending is whole;
    // one byte more and the line is not known to be complete.
    const std::string start = "pc\r\n10.1.1.1\r\n";
    std::string file = start + std::string(64 * 1024 - start.size(), '7');
    d.files.files["NRVNC.INI"] = file;
    Load_Settings(m);
    EXPECT_EQ(m.Repeater_IP, "10.1.1.1");  // read: the port is merely too long
    EXPECT_EQ(m.Host_Name, "pc");
    EXPECT_EQ(m.Port_Num, "5901");

    d.files.files["NRVNC.INI"] = file + "7";
    Load_Settings(m);
    Expect_Defaults();
}

TEST_F(Settings_Test, An_Unreadable_File_Gives_Defaults_And_Keeps_Its_Path) {
    d.files.folders.insert(Program_Files + "\\NRVNC");
    d.files.files[Program_Files_INI] = Lines("pc", "10.1.1.1", "1234");
    d.files.unreadable.insert(Program_Files_INI);
    Load_Settings(m);
    EXPECT_EQ(m.INI_File_Path, Program_Files_INI);
    Expect_Defaults();
    EXPECT_TRUE(d.forms.message_boxes.empty());
    EXPECT_TRUE(d.seen.empty());

    // The next save goes to the same file.
    d.files.unreadable.clear();
    m.Host_Name = "pc-2";
    Save_Settings(m);
    EXPECT_EQ(d.files.files[Program_Files_INI],
              Lines("pc-2", Builtin::Default_Repeater_Host, "5901"));
}

TEST_F(Settings_Test, Loading_Again_Replaces_All_Values) {
    d.files.files["NRVNC.INI"] = Lines("one", "10.1.1.1", "1111");
    Load_Settings(m);
    d.files.files["NRVNC.INI"] = Lines("two", "10.2.2.2", "2222");
    Load_Settings(m);
    Expect_Values("two", "10.2.2.2", "2222");
    d.files.files.erase("NRVNC.INI");
    Load_Settings(m);
    EXPECT_EQ(m.INI_File_Path, "");
    Expect_Defaults();
}

// ---- the defaults ----

TEST_F(Settings_Test, Defaults_Prepare_The_Probe_Socket) {
    m.Host_Name = "pc";
    m.Repeater_IP = "10.1.1.1";
    m.Port_Num = "1234";
    Set_Default_Settings(m);
    Expect_Defaults();
    EXPECT_TRUE(m.frmCommunications().Loaded());
    EXPECT_EQ(d.network.sockets_created, 1);
    EXPECT_TRUE(d.network.connections.empty());  // prepared, not connected

    // Connecting now goes to the default repeater and port, so both were set.
    m.frmCommunications().Winsock1().Connect();
    ASSERT_EQ(d.network.connections.size(), 1u);
    EXPECT_EQ(d.network.connections[0].Host, Builtin::Default_Repeater_Host);
    EXPECT_EQ(d.network.connections[0].Port, 5901);

    // A connected socket is closed first.
    Set_Default_Settings(m);
    EXPECT_TRUE(d.network.connections[0].Closed.has_value());
    EXPECT_EQ(d.network.sockets_created, 1);
}

TEST_F(Settings_Test, No_File_Anywhere_Gives_Defaults_Without_A_Message) {
    Load_Settings(m);
    EXPECT_EQ(m.INI_File_Path, "");
    Expect_Defaults();
    EXPECT_TRUE(m.frmCommunications().Loaded());
    EXPECT_TRUE(d.seen.empty());
}

// ---- saving ----

TEST_F(Settings_Test, Writes_Exactly_Three_Lines_And_No_Leftover) {
    m.Host_Name = "pc";
    m.Repeater_IP = "10.1.1.1";
    m.Port_Num = "1234";
    m.Access_Code = "9876";
    m.INI_File_Path = "NRVNC.INI";
    Save_Settings(m);
    EXPECT_EQ(d.files.files["NRVNC.INI"], "pc\r\n10.1.1.1\r\n1234\r\n");
    EXPECT_FALSE(Leftovers());
    EXPECT_TRUE(d.seen.empty());

    // Not checked on saving: a repeater host name is written verbatim, and
    // replaced at the next load.
    m.Repeater_IP = "repeater.example.com";
    Save_Settings(m);
    EXPECT_EQ(d.files.files["NRVNC.INI"], "pc\r\nrepeater.example.com\r\n1234\r\n");
    Load_Settings(m);
    Expect_Values("pc", Builtin::Default_Repeater_Host, "1234");
}

TEST_F(Settings_Test, Chooses_The_Place_When_None_Is_Known) {
    struct Case {
        std::string Name;
        bool Program_Files_NRVNC_Exists = false;
        bool Program_Files_Uncreatable = false;
        bool Local_Uncreatable = false;
        bool Program_Files_Unset = false;
        bool Program_Files_Missing = false;
        std::string Expected;
        std::vector<std::string> Created;
    } cases[] = {
        {"existing folder", true, false, false, false, false, Program_Files_INI, {}},
        {"created under ProgramFiles",
         false,
         false,
         false,
         false,
         false,
         Program_Files_INI,
         {Program_Files + "\\NRVNC"}},
        {"ProgramFiles not creatable",
         false,
         true,
         false,
         false,
         false,
         Local_App_Data_INI,
         {Local_App_Data + "\\NRVNC"}},
        {"neither creatable", false, true, true, false, false, "NRVNC.INI", {}},
        {"ProgramFiles unset",
         false,
         false,
         false,
         true,
         false,
         Local_App_Data_INI,
         {Local_App_Data + "\\NRVNC"}},
        {"ProgramFiles folder missing",
         false,
         false,
         false,
         false,
         true,
         Local_App_Data_INI,
         {Local_App_Data + "\\NRVNC"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fake::Fake_Desktop d;
        d.files.environment = {{"ProgramFiles", Program_Files}, {"LocalAppData", Local_App_Data}};
        d.files.folders = {Program_Files, Local_App_Data};
        if (c.Program_Files_NRVNC_Exists) d.files.folders.insert(Program_Files + "\\NRVNC");
        if (c.Program_Files_Uncreatable)
            d.files.uncreatable_folders.insert(Program_Files + "\\NRVNC");
        if (c.Local_Uncreatable) d.files.uncreatable_folders.insert(Local_App_Data + "\\NRVNC");
        if (c.Program_Files_Unset) d.files.environment.erase("ProgramFiles");
        if (c.Program_Files_Missing) d.files.folders.erase(Program_Files);
        Misc m(d.platform());
        m.Host_Name = "pc";
        m.Repeater_IP = "10.1.1.1";
        m.Port_Num = "1234";
        Save_Settings(m);
        EXPECT_EQ(m.INI_File_Path, c.Expected);
        EXPECT_EQ(d.files.files[c.Expected], Lines("pc", "10.1.1.1", "1234"));
        EXPECT_EQ(d.files.files.size(), 1u);
        EXPECT_TRUE(d.seen.empty());  // a folder that cannot be made is not reported
        for (const std::string& folder : c.Created) EXPECT_TRUE(d.files.folders.count(folder));
        const std::size_t made =
            std::count_if(d.files.operations.begin(), d.files.operations.end(),
                          [](const std::string& op) { return op.rfind("mkdir ", 0) == 0; });
        EXPECT_EQ(made - c.Created.size(),
                  static_cast<std::size_t>(c.Program_Files_Uncreatable) + c.Local_Uncreatable);
    }
}

TEST_F(Settings_Test, Saving_Twice_Writes_The_Same_Path) {
    m.Host_Name = "pc";
    m.Repeater_IP = "10.1.1.1";
    m.Port_Num = "1234";
    Save_Settings(m);
    ASSERT_EQ(m.INI_File_Path, Program_Files_INI);
    // Even if the LocalAppData folder is the better place now.
    d.files.folders.insert(Local_App_Data + "\\NRVNC");
    m.Host_Name = "pc-2";
    Save_Settings(m);
    EXPECT_EQ(m.INI_File_Path, Program_Files_INI);
    EXPECT_EQ(d.files.files[Program_Files_INI], Lines("pc-2", "10.1.1.1", "1234"));
    EXPECT_FALSE(d.files.files.count(Local_App_Data_INI));
}

TEST_F(Settings_Test, A_File_Found_In_The_Current_Folder_Is_Written_Back_There) {
    d.files.files["NRVNC.INI"] = Lines("pc", "10.1.1.1", "1234");
    Load_Settings(m);
    m.Port_Num = "5555";
    Save_Settings(m);
    EXPECT_EQ(d.files.files["NRVNC.INI"], Lines("pc", "10.1.1.1", "5555"));
    EXPECT_FALSE(d.files.files.count(Program_Files_INI));
}

TEST_F(Settings_Test, A_Failed_Save_Shows_Message_3_And_Keeps_Path_And_Values) {
    struct Case {
        std::string Name;
        std::string Unwritable;
        std::string Second_Line;
    } cases[] = {
        // The new file cannot be written.
        {"write fails", Program_Files_INI + ".new", "Error # 70  Permission denied"},
        // It is written but cannot replace the old one.
        {"replace fails", Program_Files_INI, "Error # 70  Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fake::Fake_Desktop d;
        d.files.environment = {{"ProgramFiles", Program_Files}};
        d.files.folders = {Program_Files, Program_Files + "\\NRVNC"};
        d.files.files[Program_Files_INI] = "old\r\n10.1.1.1\r\n1234\r\n";
        d.files.unwritable.insert(c.Unwritable);
        Misc m(d.platform());
        m.Host_Name = "pc";
        m.Repeater_IP = "10.9.9.9";
        m.Port_Num = "4321";
        d.operator_.On_Message(3).Press(1);
        Save_Settings(m);
        EXPECT_TRUE(d.operator_.Done());
        ASSERT_FALSE(d.seen.empty());
        const std::vector<std::string>& texts = d.seen.back().Texts;
        const std::string first = "There was an error openning file " + Program_Files_INI + ".";
        EXPECT_NE(std::find(texts.begin(), texts.end(), first), texts.end());
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.Second_Line), texts.end());
        EXPECT_EQ(m.INI_File_Path, Program_Files_INI);
        EXPECT_EQ(m.Host_Name, "pc");
        EXPECT_EQ(m.Repeater_IP, "10.9.9.9");
        EXPECT_EQ(m.Port_Num, "4321");
        EXPECT_EQ(d.files.files[Program_Files_INI], "old\r\n10.1.1.1\r\n1234\r\n");
        EXPECT_FALSE(d.files.files.count(Program_Files_INI + ".new"));  // no leftover
        EXPECT_FALSE(m.MsgBox_Loaded);
    }
}

TEST_F(Settings_Test, A_Failed_Save_In_A_Missing_Folder_Names_The_Chosen_Path) {
    // Nothing could be chosen, so the current folder is tried, and it fails.
    d.files.environment.clear();
    d.files.unwritable.insert("NRVNC.INI.new");
    m.Host_Name = "pc";
    m.Repeater_IP = "10.1.1.1";
    m.Port_Num = "1234";
    d.operator_.On_Message(3).Press(1);
    Save_Settings(m);
    ASSERT_FALSE(d.seen.empty());
    const std::vector<std::string>& texts = d.seen.back().Texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        std::string("There was an error openning file NRVNC.INI.")),
              texts.end());
    EXPECT_EQ(m.INI_File_Path, "NRVNC.INI");

    // The next save tries the same file again, and now succeeds.
    d.files.unwritable.clear();
    d.files.environment = {{"ProgramFiles", Program_Files}};
    Save_Settings(m);
    EXPECT_EQ(d.files.files["NRVNC.INI"], Lines("pc", "10.1.1.1", "1234"));
    EXPECT_FALSE(d.files.files.count(Program_Files_INI));
}

// Whatever moment the program dies at during a save, the settings file holds
// either all of the old settings or all of the new ones.
TEST_F(Settings_Test, A_Save_Cut_Off_At_Any_Point_Leaves_Old_Or_New_Settings) {
    const std::string old_bytes = Lines("old-pc", "10.1.1.1", "1111");
    const std::string new_bytes = Lines("new-pc-with-a-longer-name", "10.2.2.2", "2222");
    for (const std::string& place : {std::string("NRVNC.INI"), Program_Files_INI}) {
        bool completed = false;
        int crashes = 0;
        for (int point = 0; !completed; ++point) {
            ASSERT_LT(point, 100) << "the save never completed";
            SCOPED_TRACE(place + " crash at point " + std::to_string(point));
            fake::Fake_Desktop d;
            d.files.environment = {{"ProgramFiles", Program_Files}};
            d.files.folders = {Program_Files, Program_Files + "\\NRVNC"};
            d.files.files[place] = old_bytes;
            Misc m(d.platform());
            Load_Settings(m);
            ASSERT_EQ(m.INI_File_Path, place);
            m.Host_Name = "new-pc-with-a-longer-name";
            m.Repeater_IP = "10.2.2.2";
            m.Port_Num = "2222";
            d.files.points = 0;
            d.files.crash_at_point = point;
            try {
                Save_Settings(m);
                completed = true;
            } catch (const fake::Fake_Crash&) {
                ++crashes;
            }
            ASSERT_TRUE(d.files.files.count(place));
            const std::string& now = d.files.files[place];
            EXPECT_TRUE(now == old_bytes || now == new_bytes) << "file holds \"" << now << "\"";
            if (completed) {
                EXPECT_EQ(now, new_bytes);
            }

            // The next run reads old or new settings, whatever was left beside.
            d.files.crash_at_point = -1;
            Misc next(d.platform());
            Load_Settings(next);
            EXPECT_EQ(next.INI_File_Path, place);
            EXPECT_TRUE(next.Host_Name == "old-pc" ||
                        next.Host_Name == "new-pc-with-a-longer-name");
        }
        EXPECT_GE(crashes, 2);  // the write and the replacement can both be cut off
    }
}

}  // namespace
}  // namespace nrvnc
