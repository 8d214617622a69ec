// The Windows services (under Wine in the test run): the contract every
// backend keeps (tests/support/services_contract.cpp) through this factory,
// and what only Windows does.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win32/clock.h"
#include "platform/win32/event_wait.h"
#include "platform/win32/files.h"
#include "platform/win32/network.h"
#include "platform/win32/processes.h"
#include "tests/support/backend.h"
// after windows.h
#include <shlobj.h>
#include <tlhelp32.h>
#include <wininet.h>

namespace nrvnc::test {

namespace {

int Thread_Count() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

// Files in WinINet's cache whose names start with stem (Wine names its
// copies after the remote file).
int Cached_Copies(const std::string& stem) {
    char folder[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, folder) != S_OK) return -1;
    int copies = 0;
    std::error_code ignored;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder, ignored))
        copies += item.path().filename().string().starts_with(stem);
    return copies;
}

}  // namespace

const Backend& The_Backend() {
    static const Backend backend{
        .Make_Clock = [](uint32_t offset) { return std::make_unique<Win32_Clock>(offset); },
        .Files = Make<Win32_File_System>,
        .Make_Processes = Make<Win32_Processes>,
        .Make_Network =
            [](long limit_ms) {
                Win32_Network_Options options;
                options.Check_Limit_Ms = static_cast<unsigned long>(limit_ms);
                return std::make_unique<Win32_Network>(options);
            },
        .Ftp =
            [](uint16_t port, long ms) {
                const auto limit = static_cast<unsigned long>(ms);
                return std::make_unique<Wininet_Ftp_Client>(
                    port,
                    limit ? Wininet_Ftp_Timeouts{limit, 2 * limit, 500} : Wininet_Ftp_Timeouts{});
            },
        .Wait_For_Activity = Event_Wait::Wait_For_Activity,
        .Not_Ordinary_Files =
            [](const Temp_Folder& folder) {
                std::vector<std::string> paths;
                for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
                    paths.push_back(folder / std::to_string(attribute));
                    Write_Text(paths.back(), "x");
                    SetFileAttributesA(paths.back().c_str(), attribute);
                }
                return paths;
            },
        .Child_Line = "nrvnc_child",
        .Keeps_Recent_Leftovers = false,
        .Transfer_Traces =
            [](const std::string& stem) { return Thread_Count() + Cached_Copies(stem); },
    };
    return backend;
}

namespace {

// Another instance reads the settings while this one saves them: each save
// waits out the reader's brief hold, and every read finds one whole save.
TEST(Win32_File_System, Saves_Succeed_Whole_While_Another_Reads_The_File) {
    Temp_Folder folder;
    const std::string ini = folder / "NRVNC.INI";
    Win32_File_System files;
    int saves = 0;
    std::atomic<int> reads = 0, torn = 0;
    auto save = [&] {
        const std::string content(1000, static_cast<char>('a' + saves++ % 26));
        files.Replace_File(files.Write_Temporary_File(ini, content + "\r\n"), ini);
    };
    save();
    std::atomic<bool> saving = true;
    std::thread reader([&] {
        while (saving) {
            HANDLE file = CreateFileA(ini.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                torn += GetLastError() != ERROR_SHARING_VIOLATION;  // gone, not busy
                continue;
            }
            char buffer[8192];
            DWORD got = 0;
            ReadFile(file, buffer, sizeof buffer, &got, nullptr);
            CloseHandle(file);
            ++reads;
            torn +=
                got != 1002 || std::string(buffer, got) != std::string(1000, buffer[0]) + "\r\n";
        }
    });
    EXPECT_NO_THROW({
        for (const DWORD end = GetTickCount() + 2000; GetTickCount() < end;) save();
    });
    saving = false;
    reader.join();
    EXPECT_GT(saves, 20);
    EXPECT_GT(reads, 20);
    EXPECT_EQ(torn, 0);
    std::string abandoned;
    {
        Win32_File_System neither_moved_nor_deleted;
        abandoned = neither_moved_nor_deleted.Write_Temporary_File(ini, "x");
    }
    EXPECT_FALSE(std::filesystem::exists(abandoned));  // gone with its owner
}

// The viewer gets its command line byte for byte and starts hidden. Started
// from inside a job that ends its processes when it closes (as
// remote-support tools start programs), it leaves the job; where the job
// refuses that, it is started inside all the same.
TEST(Win32_Processes, The_Viewer_Starts_Hidden_As_Told_And_Leaves_A_Job_Where_It_May) {
    const std::string line = "nrvnc_child -viewonly  127.0.0.1::5900 \t\"quoted arg\" back\\slash";
    HANDLE job = CreateJobObjectA(nullptr, nullptr);  // never closed: that would end this program
    ASSERT_TRUE(AssignProcessToJobObject(job, GetCurrentProcess()));
    for (auto [limits, outside] :
         {std::pair<DWORD, BOOL>{JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE, FALSE},
          {JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK, TRUE}}) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION information{};
        information.BasicLimitInformation.LimitFlags = limits;
        ASSERT_TRUE(SetInformationJobObject(job, JobObjectExtendedLimitInformation, &information,
                                            sizeof information));
        // The child program (nrvnc_child.cpp) records what it got.
        Temp_Folder folder;
        const std::string record = folder / "record.txt";
        SetEnvironmentVariableA("NRVNC_CHILD_RECORD", record.c_str());
        Win32_Processes processes;
        const uint32_t id = processes.Start(line, Show_State::Hidden);
        const std::string recorded = line + "\n" + std::to_string(SW_HIDE);
        Eventually([&] { return Read_Text(record) == recorded; });  // a whole record
        EXPECT_EQ(Read_Text(record), recorded);
        HANDLE viewer = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
        BOOL inside = !outside;
        EXPECT_TRUE(IsProcessInJob(viewer, job, &inside));
        EXPECT_EQ(inside, !outside) << limits;
        CloseHandle(viewer);
        processes.Terminate(id);
    }
    SetEnvironmentVariableA("NRVNC_CHILD_RECORD", nullptr);
}

// A registration is one-shot: an event that stays signalled makes no busy loop.
TEST(Win32_Event_Wait, Wakes_Once_On_A_Registered_Event) {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    while (Event_Wait::Wait_For_Activity(0)) {  // wakes left by earlier lookups
    }
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    Event_Wait::Register(event);
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(60000));
    EXPECT_FALSE(Event_Wait::Wait_For_Activity(1));
    Event_Wait::Unregister(event);
    CloseHandle(event);
}

// While a step waits for a silent server, the window system's messages run:
// a hung-window probe is answered and a covered window repaints.
TEST(Wininet_Ftp_Client, A_Long_Step_Keeps_The_Window_Responding) {
    HWND window = CreateWindowExA(0, "STATIC", "stand-by", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Loopback_Listener silent;
    silent.Listen();
    bool answered = false, repainted = false;
    std::thread prober([&] {
        Sleep(300);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &result);
        InvalidateRect(window, nullptr, FALSE);
        repainted = Eventually([&] { return !GetUpdateRect(window, nullptr, FALSE); });
    });
    Wininet_Ftp_Client ftp(0, {2000, 2000, 500});
    auto session = ftp.Internet_Open("NR Repeater IP File Download");
    EXPECT_EQ(ftp.Internet_Connect(session, "127.0.0.1", silent.Port, "u", "p"), 0u);
    EXPECT_EQ(ftp.Last_Error_Code(), static_cast<unsigned long>(ERROR_INTERNET_TIMEOUT));
    prober.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(repainted);
    ftp.Close_Handle(session);
    DestroyWindow(window);
}

}  // namespace
}  // namespace nrvnc::test
