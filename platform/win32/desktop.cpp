#include "platform/win32/desktop.h"

#include <tlhelp32.h>

#include <set>
#include <string>
#include <thread>

namespace nrvnc {

namespace {

// A lookup answer younger than this is given again without asking. Under
// Wine every FindWindowA asks the server once per top-level window, so a
// polling loop that looks for a title in every pass would cost a few per
// cent of a core; with the 10 ms wait of such a loop a title that appears
// or goes is still seen within 20 ms.
constexpr auto Answer_Life = std::chrono::milliseconds(8);

}  // namespace

namespace {

// The title a window has now, without sending it a message.
std::wstring Text_Of(HWND window) {
    wchar_t text[512];
    int length = InternalGetWindowText(window, text, 512);
    return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

}  // namespace

bool Win32_Desktop::Ask(Answer& answer) {
    // The window found last time, if it still bears the very text it had
    // then, is still found: one question to the server instead of one per
    // top-level window.
    if (answer.Window && !answer.Text.empty() && Text_Of(answer.Window) == answer.Text) return true;
    answer.Window = FindWindowA(nullptr, answer.Title.c_str());
    answer.Text = answer.Window ? Text_Of(answer.Window) : std::wstring();
    return answer.Window != nullptr;
}

bool Win32_Desktop::Window_Exists(const std::string& title) {
    const auto now = std::chrono::steady_clock::now();
    for (Answer& answer : answers_) {
        if (answer.Title != title) continue;
        if (now - answer.When < Answer_Life) return answer.Window != nullptr;
        Ask(answer);
        answer.When = now;
        return answer.Window != nullptr;
    }
    // A handful of titles are ever looked for; the oldest answer makes room.
    if (answers_.size() >= Answers_Kept) answers_.erase(answers_.begin());
    answers_.push_back({title, nullptr, {}, now});
    return Ask(answers_.back());
}

void Win32_Desktop::Post_Taskbar_Command(int command) {
    if (command != Taskbar_Minimize_All && command != Taskbar_Undo_Minimize_All) return;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    // Only a taskbar the user can see takes the command. Wine keeps a hidden
    // one without a desktop of its own, and there the command opens its start
    // menu instead, which then swallows the operator's first click.
    if (taskbar == nullptr || !IsWindowVisible(taskbar)) return;
    HWND front = GetForegroundWindow();
    PostMessageA(taskbar, WM_COMMAND, static_cast<WPARAM>(command), 0);
    if (command == Taskbar_Undo_Minimize_All) Front_After_Restore(front);
}

namespace {

std::set<DWORD> Our_Children() {
    std::set<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return children;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId())
            children.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return children;
}

DWORD Process_Of(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

struct Window_Search {
    std::set<DWORD> Owners;
    HWND Found = nullptr;
    int Minimised = 0;
};

BOOL CALLBACK Look_At(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Window_Search*>(data);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr) return TRUE;
    if (IsIconic(window)) {
        ++search.Minimised;
    } else if (!search.Found && search.Owners.count(Process_Of(window))) {
        search.Found = window;  // the first in z-order: the viewer's main window
    }
    return TRUE;
}

}  // namespace

void Win32_Desktop::Front_After_Restore(HWND front) {
    // The taskbar restores the windows one by one after the post; the
    // viewer goes in front once their number stops falling.
    Window_Search search;
    search.Owners = Our_Children();
    EnumWindows(Look_At, reinterpret_cast<LPARAM>(&search));
    int still = search.Minimised, steady = 0;
    for (int waited = 0; waited < 400 && steady < 100; waited += 20) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        search.Found = nullptr, search.Minimised = 0;
        EnumWindows(Look_At, reinterpret_cast<LPARAM>(&search));
        steady = search.Minimised == still ? steady + 20 : 0;
        still = search.Minimised;
    }
    HWND viewer = search.Found;
    if (!viewer && front && Process_Of(front) != GetCurrentProcessId()) viewer = front;
    if (!viewer || !IsWindow(viewer)) return;
    SetWindowPos(viewer, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(viewer);
}

}  // namespace nrvnc
