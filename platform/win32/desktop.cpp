#include "platform/win32/desktop.h"

#include <string>

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
    if (answer.Window && !answer.Text.empty() && Text_Of(answer.Window) == answer.Text)
        return true;
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
    if (taskbar != nullptr && IsWindowVisible(taskbar))
        PostMessageA(taskbar, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

}  // namespace nrvnc
