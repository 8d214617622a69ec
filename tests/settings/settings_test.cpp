#include "settings/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "session/state/misc.h"
#include "settings/validation.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using Strings = std::vector<std::string>;
using Environment = std::map<std::string, std::string>;

const std::string Default_Host = "Host Computer Name or IP Address";
const std::string Repeater = Builtin::Default_Repeater_Host;
const std::string PF = "C:\\Program Files", LAD = "C:\\Users\\op\\AppData\\Local";
const std::string PF_INI = PF + "\\NRVNC\\NRVNC.INI", LAD_INI = LAD + "\\NRVNC\\NRVNC.INI";
const Environment Both{{"ProgramFiles", PF}, {"LocalAppData", LAD}};

std::string Lines(const std::string& a, const std::string& b, const std::string& c) {
    return a + "\r\n" + b + "\r\n" + c + "\r\n";
}
void Set(Misc& m, const std::string& host, const std::string& ip, const std::string& port) {
    m.Host_Name = host;
    m.Repeater_IP = ip;
    m.Port_Num = port;
}
std::string Values(const Misc& m) {
    return m.Host_Name + "|" + m.Repeater_IP + "|" + m.Port_Num;
}
const std::string Defaults = Default_Host + "|" + Repeater + "|5901";

// A desktop with both folders in place.
struct Desk {
    explicit Desk(const Environment& environment = Both) {
        d.files.environment = environment;
        d.files.folders = {PF, LAD};
    }
    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

// A host name telling where the file is.
std::string Tag(std::string path) {
    std::erase_if(path, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
    return path;
}

TEST(Settings, Looked_For_In_The_Current_Folder_Then_Program_Files_Then_Local_App_Data) {
    struct Case {
        Environment Env;
        Strings Present, Hidden;  // files holding settings that name their place
        std::string Expected;
    } cases[] = {
        {Both, {"NRVNC.INI", PF_INI, LAD_INI}, {}, "NRVNC.INI"},
        {Both, {PF_INI, LAD_INI}, {}, PF_INI},
        {Both, {LAD_INI}, {}, LAD_INI},
        {Both, {}, {}, ""},
        {Both, {"NRVNC.INI", LAD_INI}, {"NRVNC.INI"}, LAD_INI},  // hidden files do not count
        // An unset or empty variable names no place, not the drive's root.
        {{}, {"\\NRVNC\\NRVNC.INI"}, {}, ""},
        {{{"ProgramFiles", ""}}, {"\\NRVNC\\NRVNC.INI"}, {}, ""},
        {{{"LocalAppData", LAD}}, {LAD_INI}, {}, LAD_INI},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("expected \"" + c.Expected + "\"");
        Desk k(c.Env);
        for (const std::string& path : c.Present)
            k.d.files.files[path] = Lines(Tag(path), "10.1.1.1", "1234");
        for (const std::string& path : c.Hidden) k.d.files.hidden.insert(path);
        Load_Settings(k.m);
        EXPECT_EQ(k.m.INI_File_Path, c.Expected);
        EXPECT_EQ(Values(k.m), c.Expected.empty() ? Defaults : Tag(c.Expected) + "|10.1.1.1|1234");
    }
}

TEST(Settings, Each_Value_Failing_Its_Check_Takes_Its_Default_A_Damaged_File_Gives_All) {
    const std::string D = Defaults, start = "pc\r\n10.1.1.1\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {Lines("host", "10.1.1.1", "80"), "host|10.1.1.1|5901"},
        {Lines("host", "10.0.0.1", "1234"), "host|" + Repeater + "|1234"},
        {Lines(".local", "repeater.example.com", "0000"), Default_Host + "|" + Repeater + "|0000"},
        {Lines("", "", ""), D},
        {Lines("pc", "10.1.1.1", "1234") + "more\r\nand more\r\n", "pc|10.1.1.1|1234"},
        // Any line ending; the last line needs none.
        {"pc\n10.1.1.1\n1234\n", "pc|10.1.1.1|1234"},
        {"pc\r10.1.1.1\r1234\r", "pc|10.1.1.1|1234"},
        {"pc\r\n10.1.1.1\n1234", "pc|10.1.1.1|1234"},
        {"pc\n\r10.1.1.1\n1234\n", "pc|" + Repeater + "|5901"},  // LF then CR: an empty line
        // Fewer than three lines: all defaults, not only a default port.
        {start, D},
        // Huge and binary files.
        {Lines("pc", "10.1.1.1", "1234") + std::string(1 << 20, 'x'), "pc|10.1.1.1|1234"},
        {start + std::string(64 * 1024 - start.size(), '7'), "pc|10.1.1.1|5901"},  // whole
        {start + std::string(64 * 1024 - start.size() + 1, '7'), D},  // past the read limit
        {Lines(std::string("p\0c", 3), "10.1.1.1", "1234"), D},
        {Lines("pc", "10.1.1.1", "12\x7f"), D},
        {Lines("p\tc", "10.1.1.1", "1234"), "p\tc|10.1.1.1|1234"},
        {Lines("M\xfcller-PC", "10.1.1.1", "1234"), "M\xfcller-PC|10.1.1.1|1234"},
    };
    Desk k;
    for (const auto& [file, values] : cases) {
        SCOPED_TRACE(file.substr(0, 40));
        k.d.files.files["NRVNC.INI"] = file;
        k.m.Host_Name = k.m.Repeater_IP = k.m.Port_Num = "stale";
        Load_Settings(k.m);
        EXPECT_EQ(k.m.INI_File_Path, "NRVNC.INI");
        EXPECT_EQ(Values(k.m), values);
    }
    EXPECT_TRUE(k.d.seen.empty());  // never a message
}

// With no place known, the file goes to the first folder that exists or can
// be made (a folder that cannot is not reported). An unreadable file gives
// the defaults but keeps its path for the save. A failed save shows message 3
// and keeps the path, the values and the old file, with no temporary left.
TEST(Settings, Saved_Where_Found_Or_Chosen_A_Failed_Save_Shows_Message_3) {
    const std::string NR = PF + "\\NRVNC", Old = Lines("old", "10.1.1.1", "1234");
    struct Case {
        const char* What;
        Environment Env;
        Strings Folders, Uncreatable;
        std::string Old_File, Refused, Expected;  // Refused: a name that cannot be written
        bool Unreadable = false;                  // the old file cannot be read instead
    } cases[] = {
        {"existing folder", Both, {PF, LAD, NR}, {}, "", "", PF_INI},
        {"neither creatable", Both, {PF, LAD}, {NR, LAD + "\\NRVNC"}, "", "", "NRVNC.INI"},
        {"ProgramFiles unset", {{"LocalAppData", LAD}}, {PF, LAD}, {}, "", "", LAD_INI},
        {"ProgramFiles folder missing", Both, {LAD}, {}, "", "", LAD_INI},
        {"unreadable", Both, {PF, LAD, NR}, {}, PF_INI, "", PF_INI, true},
        {"new file unwritable",
         {{"ProgramFiles", PF}},
         {PF, NR},
         {},
         PF_INI,
         PF_INI + ".tmp1",
         PF_INI},
        {"old file not replaceable", {{"ProgramFiles", PF}}, {PF, NR}, {}, PF_INI, PF_INI, PF_INI},
        {"current folder", {}, {PF, NR}, {}, "NRVNC.INI", "NRVNC.INI.tmp1", "NRVNC.INI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Desk k(c.Env);
        k.d.files.folders = {c.Folders.begin(), c.Folders.end()};
        k.d.files.uncreatable_folders = {c.Uncreatable.begin(), c.Uncreatable.end()};
        if (!c.Old_File.empty()) k.d.files.files[c.Old_File] = Old;
        if (c.Unreadable) k.d.files.unreadable.insert(c.Old_File);
        k.d.files.unwritable.insert(c.Refused);
        Load_Settings(k.m);
        EXPECT_EQ(Values(k.m), c.Unreadable || c.Old_File.empty() ? Defaults : "old|10.1.1.1|1234");
        k.d.files.unreadable.clear();
        Set(k.m, "pc", "10.9.9.9", "4321");
        const bool fails = !c.Refused.empty();
        if (fails) k.d.operator_.On_Message(3).Press(1);
        Save_Settings(k.m);
        Strings lines;
        for (const auto& shown : k.d.seen)
            for (const std::string& t : shown.Texts)
                if (t.find_first_not_of(' ') != std::string::npos) lines.push_back(t);
        const Strings failed{"There was an error openning file " + c.Expected + ".",
                             "Error # 70  Permission denied"};
        EXPECT_EQ(lines, fails ? failed : Strings{});
        EXPECT_EQ(k.m.INI_File_Path, c.Expected);
        EXPECT_EQ(Values(k.m), "pc|10.9.9.9|4321");
        EXPECT_EQ(k.d.files.files[c.Expected], fails ? Old : Lines("pc", "10.9.9.9", "4321"));
        EXPECT_EQ(k.d.files.files.size(), 1u);  // no temporary file left
    }
}

// Whatever moment the program dies at during a save, the settings file holds
// either all of the old settings or all of the new ones.
TEST(Settings, Save_Cut_Off_At_Any_Point_Leaves_Old_Or_New_Settings) {
    const std::string old_bytes = Lines("old-pc", "10.1.1.1", "1111");
    const std::string new_bytes = Lines("new-pc-with-a-longer-name", "10.2.2.2", "2222");
    bool completed = false;
    int crashes = 0;
    for (int point = 0; !completed; ++point) {
        ASSERT_LT(point, 100) << "the save never completed";
        SCOPED_TRACE("crash at point " + std::to_string(point));
        Desk k;
        k.d.files.files["NRVNC.INI"] = old_bytes;
        Load_Settings(k.m);
        Set(k.m, "new-pc-with-a-longer-name", "10.2.2.2", "2222");
        k.d.files.points = 0;
        k.d.files.crash_at_point = point;
        try {
            Save_Settings(k.m);
            completed = true;
        } catch (const fake::Fake_Crash&) {
            ++crashes;
        }
        // A completed save leaves the new settings, one cut off the old or the new.
        const std::string& now = k.d.files.files["NRVNC.INI"];
        EXPECT_TRUE(now == new_bytes || (!completed && now == old_bytes)) << "holds " << now;
    }
    EXPECT_GE(crashes, 2);  // the write and the replacement can both be cut off
}

TEST(Valid_Address, Repeater_Needs_Four_Numbers_From_1_To_254_A_Host_May_Be_A_Name) {
    // Only the first three dots separate: "1.2.3.4.5" ends in the number 4.5.
    // Blanks around a number, a sign and an exponent make a host's dotted
    // address, never a repeater's. Long names are scanned whole.
    const std::string long_name(300, 'h'), long_starred = std::string(100000, 'h') + "*h";
    struct Group {
        Strings Texts;
        bool As_Repeater, As_Host;  // valid with selector 0, with selector 1
    };
    const Group groups[] = {
        {{"10.1.1.254", "1.1.1.1", "254.254.254.254", "1.2.3.4.5", "1.2.3.1.5", "1.2.3.4."}, 1, 1},
        {{" 1.2.3.4", "1.2.3.4 ", "+1.2.3.4", "1.2.3.1e2", "1.2.3.\t7\t", "1.2.3.1E+2"}, 0, 1},
        {{"10.1.1.255", "10.0.1.1", "0.1.1.1", "10.1.1.0", "192.168.0.10", "-1.2.3.4"}, 0, 1},
        {{"10.1.1", "10", "1.2.3.", "1..2.3", "1.2.3.254.1", "1.2.3.4.5.6", "1.2.3.0.5"}, 0, 1},
        {{"1.2.3.1e3", "1.2.3.0x10", "1.2.3.inf", "1.2.3.nan", "1.2.3.1e999", "1.2.3.e5"}, 0, 1},
        {{"1.2.3.1e", "1.2.3.--1", "1.2.3.1 2", "1.2.3.1,000", "a.b.c.d", "x.", "my-pc"}, 0, 1},
        {{"repeater.example.com", "Host Computer Name or IP Address", long_name}, 0, 1},
        {{"", ".local", ".1.2.3.4", "a/b", "a\\b", "a:b", "a*b", "a?b", "a<b", "a>b", "a|b"}, 0, 0},
        {{"a\"b", "/x", "\\x", ":x", "*x", "?x", "<x", ">x", "|x", "\"x", long_starred}, 0, 0},
    };
    fake::Fake_Desktop d;
    Misc m(d.platform());
    for (const auto& [texts, as_repeater, as_host] : groups) {
        for (const std::string& text : texts) {
            SCOPED_TRACE("text \"" + text.substr(0, 40) + "\"");
            m.Repeater_IP = text;
            m.Host_Name = "untouched";
            EXPECT_EQ(Valid_Address(m, 0), as_repeater);
            m.Host_Name = text;
            m.Repeater_IP = "untouched";
            EXPECT_EQ(Valid_Address(m, 1), as_host);
            EXPECT_EQ(m.Host_Name + m.Repeater_IP, text + "untouched");
        }
    }
}

TEST(Valid_Port, Exactly_Four_Decimal_Digits) {
    fake::Fake_Desktop d;
    Misc m(d.platform());
    for (const auto& [ports, valid] :
         {std::pair{Strings{"5901", "0000", "9999", "0080"}, true},
          std::pair{Strings{"590", "59a1", "59010", " 590", "590 ", "+590", "-590", "59.1", "5e01",
                            "", "٥٩٠١", std::string("59\0001", 4)},
                    false}}) {
        for (const std::string& port : ports) {
            m.Port_Num = port;
            EXPECT_EQ(Valid_Port(m), valid) << port;
            EXPECT_EQ(m.Port_Num, port);
        }
    }
}

}  // namespace
}  // namespace nrvnc
