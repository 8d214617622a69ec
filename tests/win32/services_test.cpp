// The Windows services against the real system (under Wine in the test
// run): files, the environment, processes and windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/error.h"
#include "platform/win32/desktop.h"
#include "platform/win32/event_wait.h"
#include "platform/win32/files.h"
#include "platform/win32/processes.h"
#include "tests/win32/win32_peers.h"

namespace nrvnc::test {
namespace {

TEST(Win32_File_System, Counts_Only_Ordinary_Files) {
    Temp_Folder folder;
    Win32_File_System files;
    Write_Text(folder / "plain", "x");
    Write_Text(folder / "hidden", "x");
    Write_Text(folder / "system", "x");
    SetFileAttributesA((folder / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((folder / "system").c_str(), FILE_ATTRIBUTE_SYSTEM);
    std::filesystem::create_directory(folder / "sub");

    EXPECT_TRUE(files.Ordinary_File_Exists(folder / "plain"));
    EXPECT_TRUE(files.Ordinary_File_Exists(folder.Path + "/plain"));  // either separator
    for (const char* name : {"hidden", "system", "sub", "missing"})
        EXPECT_FALSE(files.Ordinary_File_Exists(folder / name)) << name;
    EXPECT_TRUE(files.Folder_Exists(folder / "sub"));
    EXPECT_FALSE(files.Folder_Exists(folder / "plain"));
}

TEST(Win32_File_System, Creates_One_Folder_Level_And_Names_What_Is_Missing) {
    Temp_Folder folder;
    Win32_File_System files;
    files.Create_Folder(folder / "NRVNC");
    EXPECT_TRUE(files.Folder_Exists(folder / "NRVNC"));

    struct Case {
        std::function<void()> Call;
        int Number;
    } cases[] = {
        {[&] { files.Create_Folder(folder / "a\\b"); }, Error_Number::Path_Not_Found},
        {[&] { files.Read_Head(folder / "missing", 10); }, Error_Number::File_Not_Found},
        {[&] { files.Read_Head(folder / "no\\missing", 10); }, Error_Number::Path_Not_Found},
        {[&] { files.Delete_File(folder / "missing"); }, Error_Number::File_Not_Found},
    };
    for (const Case& c : cases) {
        try {
            c.Call();
            ADD_FAILURE() << "no error for case " << (&c - cases);
        } catch (const Runtime_Error& error) {
            EXPECT_EQ(error.Number, c.Number) << error.Description;
            EXPECT_GT(error.Description.size(), std::string(": ").size() + folder.Path.size());
        }
    }
}

TEST(Win32_File_System, Writes_Replaces_And_Reads_Heads_Byte_For_Byte) {
    Temp_Folder folder;
    Win32_File_System files;
    const std::string ini = folder / "NRVNC.INI";
    files.Write_File(ini, "old host\r\n");
    std::string temporary = files.Write_Temporary_File(ini, "new host\r\n\xE9\r\n");
    EXPECT_EQ(std::filesystem::path(temporary).parent_path(), std::filesystem::path(folder.Path));
    EXPECT_NE(temporary, files.Write_Temporary_File(ini, "other"));  // a new name each time
    EXPECT_EQ(Read_Text(ini), "old host\r\n");

    files.Replace_File(temporary, ini);
    EXPECT_EQ(Read_Text(ini), "new host\r\n\xE9\r\n");
    EXPECT_FALSE(std::filesystem::exists(temporary));
    EXPECT_EQ(files.Read_Head(ini, 4), "new ");
    EXPECT_EQ(files.Read_Head(ini, 100), "new host\r\n\xE9\r\n");
    files.Delete_File(ini);
    EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST(Win32_File_System, A_Save_Removes_What_Dead_Saves_Left_And_Nothing_Else) {
    Temp_Folder folder;
    const std::string ini = folder / "NRVNC.INI";
    Win32_File_System running, next;
    Write_Text(ini, "old");
    const std::string live = running.Write_Temporary_File(ini, "live");  // not yet moved
    // A save that died left its file closed (the system closes its handles).
    const std::string dead[] = {"NRVNC.INI.4242" + live.substr(live.find('.', ini.size() + 1)),
                                "NRVNC.INI.7.12.0"};
    const char* others[] = {"NRVNC.INI.bak",    "NRVNC.INI.1.2",  "NRVNC.INI.1.2.3.4",
                            "NRVNC.INI.1.2.x3", "NRVNC.INI..1.2", "OTHER.INI.1.2.3"};
    for (const std::string& name : dead) Write_Text(folder / name, "dead");
    for (const char* name : others) Write_Text(folder / name, "other");

    const std::string mine = next.Write_Temporary_File(ini, "next");
    for (const std::string& name : dead)
        EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
    for (const char* name : others) EXPECT_EQ(Read_Text(folder / name), "other") << name;
    EXPECT_EQ(Read_Text(ini), "old");
    running.Replace_File(live, ini);  // the running save is whole
    EXPECT_EQ(Read_Text(ini), "live");
    {
        Win32_File_System abandoned;  // neither moved nor deleted: gone with its owner
        const std::string temporary = abandoned.Write_Temporary_File(ini, "x");
        EXPECT_TRUE(std::filesystem::exists(temporary));
    }
    next.Delete_File(mine);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path), {}),
              1 + std::size(others));
}

TEST(Win32_File_System, Empty_Environment_Variables_Count_As_Unset) {
    Win32_File_System files;
    SetEnvironmentVariableA("NRVNC_TEST_SET", "C:\\Some Folder");
    SetEnvironmentVariableA("NRVNC_TEST_EMPTY", "");
    SetEnvironmentVariableA("NRVNC_TEST_UNSET", nullptr);
    std::string long_value(1000, 'v');
    SetEnvironmentVariableA("NRVNC_TEST_LONG", long_value.c_str());
    EXPECT_EQ(files.Environment_Variable("NRVNC_TEST_SET"), "C:\\Some Folder");
    EXPECT_EQ(files.Environment_Variable("NRVNC_TEST_LONG"), long_value);
    EXPECT_EQ(files.Environment_Variable("NRVNC_TEST_EMPTY"), std::nullopt);
    EXPECT_EQ(files.Environment_Variable("NRVNC_TEST_UNSET"), std::nullopt);
}

// The child program beside this test program, recording what it got.
struct Child_Run {
    Child_Run() { SetEnvironmentVariableA("NRVNC_CHILD_RECORD", Record.c_str()); }
    ~Child_Run() {
        SetEnvironmentVariableA("NRVNC_CHILD_RECORD", nullptr);
        for (const char* name : {"NRVNC_CHILD_WINDOW", "NRVNC_CHILD_READ", "NRVNC_CHILD_START"})
            SetEnvironmentVariableA(name, nullptr);
        if (Id) processes.Terminate(Id);
    }
    // The record, once complete: the show state follows the line feed.
    std::string Recorded() {
        std::string text;
        Eventually([&] {
            text = Read_Text(Record);
            std::string::size_type feed = text.rfind('\n');
            return feed != std::string::npos && feed + 1 < text.size();
        });
        return text;
    }
    bool Listed() {
        auto list = processes.List();
        return std::any_of(list.begin(), list.end(), [&](const Process_Entry& entry) {
            return entry.Process_ID == Id && entry.Name == "nrvnc_child.exe";
        });
    }
    Temp_Folder Folder;
    std::string Record = Folder / "record.txt";
    Win32_Processes processes;
    uint32_t Id = 0;
};

TEST(Win32_Processes, The_Command_Line_Arrives_Byte_For_Byte_With_The_Show_State) {
    struct Case {
        std::string Line;
        Show_State Show;
        int Shown;
    } cases[] = {
        {"nrvnc_child -viewonly  127.0.0.1::5900 \t\"quoted arg\" back\\slash", Show_State::Hidden,
         SW_HIDE},
        {"nrvnc_child", Show_State::Normal, SW_SHOWNORMAL},
    };
    for (const Case& c : cases) {
        Child_Run run;
        run.Id = run.processes.Start(c.Line, c.Show);
        EXPECT_NE(run.Id, 0u);
        EXPECT_EQ(run.Recorded(), c.Line + "\n" + std::to_string(c.Shown));
    }
}

TEST(Win32_Processes, Lists_And_Terminates_A_Running_Process) {
    Child_Run run;
    run.Id = run.processes.Start("nrvnc_child", Show_State::Hidden);
    run.Recorded();  // it runs
    EXPECT_TRUE(run.Listed());
    run.processes.Terminate(run.Id);
    EXPECT_FALSE(run.Listed());  // ended by the time Terminate returns
    run.processes.Terminate(0);  // never acts on process 0
}

TEST(Win32_File_System, Saves_Succeed_Whole_While_Another_Process_Reads_The_File) {
    Child_Run run;
    const std::string ini = run.Folder / "NRVNC.INI";
    Win32_File_System files;
    int saves = 0, failed = 0;
    auto save = [&] {
        try {
            std::string content = std::string(1000, static_cast<char>('a' + saves++ % 26)) + "\r\n";
            files.Replace_File(files.Write_Temporary_File(ini, content), ini);
        } catch (const Runtime_Error& error) {
            ADD_FAILURE() << error.Description;
            ++failed;
        }
    };
    save();
    SetEnvironmentVariableA("NRVNC_CHILD_READ", ini.c_str());
    run.Id = run.processes.Start("nrvnc_child", Show_State::Hidden);
    while (!std::filesystem::exists(run.Record) && failed < 5) save();  // reads for 2 s
    const std::string record = run.Recorded();
    EXPECT_EQ(failed, 0);
    EXPECT_GT(saves, 20);
    EXPECT_GT(std::stoi(record), 20) << "reads";
    EXPECT_EQ(record.substr(record.find('\n') + 1), "0") << "torn reads";
}

TEST(Win32_Processes, The_Viewer_Leaves_A_Job_That_Ends_Its_Processes_Where_It_May) {
    struct Case {
        DWORD Limits;
        bool Outlives;
    } cases[] = {
        {JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK, true},
        {JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE, false},  // refused: started inside it all the same
    };
    for (const Case& c : cases) {
        Child_Run run;
        HANDLE job = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = c.Limits;
        ASSERT_TRUE(SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                            sizeof limits));
        // The child, inside the job from its first instruction, starts the "viewer".
        SetEnvironmentVariableA("NRVNC_CHILD_START", "nrvnc_child");
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child{};
        char line[] = "nrvnc_child";
        ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                   nullptr, nullptr, &startup, &child));
        ASSERT_TRUE(AssignProcessToJobObject(job, child.hProcess));
        ResumeThread(child.hThread);
        run.Id = static_cast<uint32_t>(std::stoul(run.Recorded()));
        ASSERT_NE(run.Id, 0u);
        HANDLE viewer = OpenProcess(SYNCHRONIZE, FALSE, run.Id);
        CloseHandle(job);
        EXPECT_EQ(WaitForSingleObject(child.hProcess, 10000), WAIT_OBJECT_0) << "job not closed";
        EXPECT_EQ(WaitForSingleObject(viewer, c.Outlives ? 1000 : 10000),
                  c.Outlives ? WAIT_TIMEOUT : WAIT_OBJECT_0)
            << c.Limits;
        TerminateProcess(child.hProcess, 1);
        for (HANDLE handle : {viewer, child.hProcess, child.hThread}) CloseHandle(handle);
    }
}

TEST(Win32_Processes, A_Program_That_Is_Nowhere_Is_File_Not_Found) {
    Win32_Processes processes;
    try {
        processes.Start("nrvnc_no_such_program -x", Show_State::Hidden);
        FAIL() << "started";
    } catch (const Runtime_Error& error) {
        EXPECT_EQ(error.Number, Error_Number::File_Not_Found);
        EXPECT_EQ(error.Description, "File not found: nrvnc_no_such_program");
    }
}

TEST(Win32_Desktop, Finds_Another_Programs_Window_By_Title_In_Any_Case) {
    Child_Run run;
    const std::string title = "NRVNC Test " + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA("NRVNC_CHILD_WINDOW", title.c_str());
    Win32_Desktop desktop;
    EXPECT_FALSE(desktop.Window_Exists(title));
    run.Id = run.processes.Start("nrvnc_child", Show_State::Hidden);
    EXPECT_TRUE(Eventually([&] { return desktop.Window_Exists(title); }));
    std::string other_case = title;
    for (char& c : other_case) c = static_cast<char>(IsCharUpperA(c) ? tolower(c) : toupper(c));
    EXPECT_TRUE(desktop.Window_Exists(other_case));
    EXPECT_FALSE(desktop.Window_Exists(title + " 2"));
    run.processes.Terminate(run.Id);
    EXPECT_TRUE(Eventually([&] { return !desktop.Window_Exists(title); }));
}

TEST(Win32_Desktop, A_Kept_Answer_Is_Asked_Again_Within_The_Wait_Bound) {
    // A polling loop must see a title that appears or goes within 20 ms,
    // even right after the opposite answer was given.
    const std::string title = "NRVNC Kept " + std::to_string(GetCurrentProcessId());
    Win32_Desktop desktop;
    EXPECT_FALSE(desktop.Window_Exists(title));
    HWND window = CreateWindowExA(0, "STATIC", title.c_str(), WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Sleep(20);
    EXPECT_TRUE(desktop.Window_Exists(title));
    SetWindowTextA(window, "NRVNC renamed");
    Sleep(20);
    EXPECT_FALSE(desktop.Window_Exists(title));
    DestroyWindow(window);
}

TEST(Win32_Event_Wait, Wakes_From_Another_Thread_And_On_A_Registered_Event) {
    // Input already queued for this thread (by windows an earlier test made)
    // rightly ends a wait; start from an empty queue.
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    EXPECT_FALSE(Event_Wait::Wait_For_Activity(1));
    std::thread waker([] {
        Sleep(20);
        Event_Wait::Wake();
    });
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(60000));
    waker.join();

    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);  // stays signalled
    Event_Wait::Register(event);
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(60000));
    EXPECT_FALSE(Event_Wait::Wait_For_Activity(1));  // one-shot: no busy loop
    Event_Wait::Unregister(event);
    CloseHandle(event);
}

}  // namespace
}  // namespace nrvnc::test
