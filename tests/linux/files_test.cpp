#include "platform/x11/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "tests/support/real_peers.h"
#include "platform/error.h"

namespace nrvnc {
namespace {

using test::Read_Text;
using test::Temp_Folder;
using test::Write_Text;

TEST(Linux_File_System, Native_Path_Turns_Backslashes_Into_Slashes) {
    Linux_File_System files;
    struct Case {
        const char* Given;
        const char* Expected;
    };
    for (const Case& c :
         {Case{"NRVNC.INI", "NRVNC.INI"}, Case{"/opt\\NRVNC\\NRVNC.INI", "/opt/NRVNC/NRVNC.INI"},
          Case{"a/b\\c", "a/b/c"}, Case{"", ""}}) {
        EXPECT_EQ(files.Native_Path(c.Given), c.Expected) << c.Given;
    }
}

TEST(Linux_File_System, Ordinary_File_Exists_Only_For_Visible_Regular_Files) {
    Temp_Folder folder;
    Write_Text(folder / "NRVNC.INI", "x");
    Write_Text(folder / ".NRVNC.INI", "x");
    std::filesystem::create_directory(folder / "sub");
    Write_Text(folder / "sub/inner.txt", "x");
    std::filesystem::create_directory(folder / "folder.ini");
    std::filesystem::create_symlink(folder / "NRVNC.INI", folder / "link_to_file");
    std::filesystem::create_symlink(folder / "sub", folder / "link_to_folder");
    std::filesystem::create_symlink(folder / "missing", folder / "dangling");

    Linux_File_System files;
    struct Case {
        std::string Path;
        bool Expected;
    };
    for (const Case& c :
         {Case{folder / "NRVNC.INI", true}, Case{folder / ".NRVNC.INI", false},  // hidden
          Case{folder / "folder.ini", false}, Case{folder / "missing", false},
          Case{folder / "link_to_file", true}, Case{folder / "link_to_folder", false},
          Case{folder / "dangling", false}, Case{folder.Path + "\\sub\\inner.txt", true},
          Case{"/dev/null", false}, Case{"", false}}) {
        EXPECT_EQ(files.Ordinary_File_Exists(c.Path), c.Expected) << c.Path;
    }
    EXPECT_TRUE(files.Folder_Exists(folder / "sub"));
    EXPECT_TRUE(files.Folder_Exists(folder.Path + "\\sub"));
    EXPECT_TRUE(files.Folder_Exists(folder / "link_to_folder"));
    EXPECT_FALSE(files.Folder_Exists(folder / "NRVNC.INI"));
    EXPECT_FALSE(files.Folder_Exists(folder / "missing"));
}

TEST(Linux_File_System, Relative_Paths_Start_At_The_Working_Directory) {
    Temp_Folder folder;
    test::Working_Directory_Guard in_folder(folder.Path);
    Linux_File_System files;
    EXPECT_EQ(std::filesystem::canonical(files.Working_Directory()),
              std::filesystem::canonical(folder.Path));
    files.Create_Folder("NRVNC");
    files.Write_File("NRVNC\\NRVNC.INI", "host\r\n");
    EXPECT_EQ(Read_Text(folder / "NRVNC/NRVNC.INI"), "host\r\n");
    EXPECT_TRUE(files.Ordinary_File_Exists("NRVNC\\NRVNC.INI"));
}

TEST(Linux_File_System, Environment_Variables_Follow_The_Linux_Places) {
    struct Case {
        const char* Name;
        std::vector<std::pair<const char*, const char*>> Set;  // nullptr value = unset
        std::optional<std::string> Expected;
    };
    const std::vector<Case> cases = {
        {"ProgramFiles", {{"ProgramFiles", "/opt/programs"}}, "/opt/programs"},
        {"ProgramFiles", {{"ProgramFiles", nullptr}}, std::nullopt},
        {"ProgramFiles", {{"ProgramFiles", ""}}, std::nullopt},
        {"LocalAppData",
         {{"LocalAppData", "/data/local"}, {"XDG_DATA_HOME", "/xdg"}},
         "/data/local"},
        {"LocalAppData", {{"LocalAppData", nullptr}, {"XDG_DATA_HOME", "/xdg/data"}}, "/xdg/data"},
        {"LocalAppData",
         {{"LocalAppData", nullptr}, {"XDG_DATA_HOME", nullptr}, {"HOME", "/home/operator"}},
         "/home/operator/.local/share"},
        {"LocalAppData",
         {{"LocalAppData", ""}, {"XDG_DATA_HOME", "relative/data"}, {"HOME", "/home/operator"}},
         "/home/operator/.local/share"},
        {"LocalAppData",
         {{"LocalAppData", nullptr}, {"XDG_DATA_HOME", nullptr}, {"HOME", nullptr}},
         std::nullopt},
        {"NRVNC_TEST_VARIABLE", {{"NRVNC_TEST_VARIABLE", "some value"}}, "some value"},
        {"NRVNC_TEST_VARIABLE", {{"NRVNC_TEST_VARIABLE", ""}}, ""},
        {"NRVNC_TEST_VARIABLE", {{"NRVNC_TEST_VARIABLE", nullptr}}, std::nullopt},
    };
    Linux_File_System files;
    for (const Case& c : cases) {
        test::Environment_Guard environment;
        for (const auto& [name, value] : c.Set) {
            if (value) {
                environment.Set(name, value);
            } else {
                environment.Clear(name);
            }
        }
        EXPECT_EQ(files.Environment_Variable(c.Name), c.Expected)
            << c.Name << " with " << c.Set.size() << " variables set up";
    }
}

TEST(Linux_File_System, Write_File_Truncates_And_Read_Head_Reads_At_Most_N_Bytes) {
    Temp_Folder folder;
    Linux_File_System files;
    std::string path = folder / "data.txt";
    Write_Text(path, std::string(10000, 'z'));
    std::string bytes = std::string("line 1\r\nline\0 2\r\n", 17);
    files.Write_File(path, bytes);
    EXPECT_EQ(Read_Text(path), bytes);
    EXPECT_EQ(files.Read_Head(path, 1000), bytes);
    EXPECT_EQ(files.Read_Head(path, 4), "line");
    EXPECT_EQ(files.Read_Head(path, 0), "");

    std::string big(20000, 'q');
    big[12345] = 'x';
    files.Write_File(path, big);
    EXPECT_EQ(files.Read_Head(path, 100000), big);
    EXPECT_EQ(files.Read_Head(path, 12346).back(), 'x');

    files.Write_File(path, "");
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(Linux_File_System, Replace_File_Moves_The_New_Content_Over_The_Old) {
    Temp_Folder folder;
    Linux_File_System files;
    Write_Text(folder / "NRVNC.INI", "old host\r\n");
    Write_Text(folder / "NRVNC.INI.new", "new host\r\n");
    files.Replace_File(folder / "NRVNC.INI.new", folder / "NRVNC.INI");
    EXPECT_EQ(Read_Text(folder / "NRVNC.INI"), "new host\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "NRVNC.INI.new"));

    // To a name that does not exist yet.
    Write_Text(folder / "a.tmp", "a");
    files.Replace_File(folder / "a.tmp", folder / "a.txt");
    EXPECT_EQ(Read_Text(folder / "a.txt"), "a");

    // A missing source leaves the target alone.
    try {
        files.Replace_File(folder / "gone.tmp", folder / "NRVNC.INI");
        FAIL() << "no error raised";
    } catch (const Runtime_Error& error) {
        EXPECT_EQ(error.Number, Error_Number::File_Not_Found);
    }
    EXPECT_EQ(Read_Text(folder / "NRVNC.INI"), "new host\r\n");
}

TEST(Linux_File_System, Failures_Raise_Numbered_Errors_With_The_System_Words) {
    Temp_Folder folder;
    Write_Text(folder / "present.txt", "x");
    std::filesystem::create_directory(folder / "existing");
    Linux_File_System files;

    // Somewhere even root may not create a file.
    std::string forbidden = folder / "locked/file.txt";
    if (geteuid() == 0) {
        forbidden = "/sys/kernel/nrvnc_test_file";
    } else {
        std::filesystem::create_directory(folder / "locked");
        chmod((folder / "locked").c_str(), 0555);
    }

    struct Case {
        const char* What;
        std::function<void()> Action;
        int Number;
        const char* Words;
    };
    const std::vector<Case> cases = {
        {"read missing file", [&] { files.Read_Head(folder / "missing.txt", 10); },
         Error_Number::File_Not_Found, "No such file or directory"},
        {"read in missing folder", [&] { files.Read_Head(folder / "nowhere/missing.txt", 10); },
         Error_Number::Path_Not_Found, "No such file or directory"},
        {"write in missing folder", [&] { files.Write_File(folder / "nowhere/new.txt", "x"); },
         Error_Number::Path_Not_Found, "No such file or directory"},
        {"write through a file", [&] { files.Write_File(folder / "present.txt/new.txt", "x"); },
         Error_Number::Path_Not_Found, "Not a directory"},
        {"write forbidden", [&] { files.Write_File(forbidden, "x"); },
         Error_Number::Permission_Denied, nullptr},
        {"write to a full disk", [&] { files.Write_File("/dev/full", "x"); },
         Error_Number::Disk_Full, "No space left on device"},
        {"create existing folder", [&] { files.Create_Folder(folder / "existing"); },
         Error_Number::Path_File_Access_Error, "File exists"},
        {"create folder two levels deep", [&] { files.Create_Folder(folder / "a/b"); },
         Error_Number::Path_Not_Found, "No such file or directory"},
        {"delete missing file", [&] { files.Delete_File(folder / "missing.txt"); },
         Error_Number::File_Not_Found, "No such file or directory"},
    };
    for (const Case& c : cases) {
        try {
            c.Action();
            ADD_FAILURE() << c.What << ": no error raised";
        } catch (const Runtime_Error& error) {
            EXPECT_EQ(error.Number, c.Number) << c.What;
            if (c.Words) {
                EXPECT_EQ(error.Description, c.Words) << c.What;
            }
        }
    }

    files.Delete_File(folder / "present.txt");
    EXPECT_FALSE(std::filesystem::exists(folder / "present.txt"));
}

}  // namespace
}  // namespace nrvnc
