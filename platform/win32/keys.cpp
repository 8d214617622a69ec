#include "platform/win32/keys.h"

#include "platform/forms.h"

namespace nrvnc {

namespace {

constexpr LPARAM Alt_Down_Bit = 1 << 29;  // context code of WM_SYSKEYDOWN and WM_SYSCHAR

bool Down(int virtual_key) {
    return (GetKeyState(virtual_key) & 0x8000) != 0;
}

int Shift_State(bool alt) {
    int shift = 0;
    if (Down(VK_SHIFT)) shift |= Shift_Mask::Shift;
    if (Down(VK_CONTROL)) shift |= Shift_Mask::Ctrl;
    if (alt) shift |= Shift_Mask::Alt;
    return shift;
}

}  // namespace

bool Is_Key_Message(UINT message) {
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

bool Read_Key_Press(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, Key_Press& press) {
    press = {};
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        // Alt counts only as the message says: a WM_SYSKEYDOWN without it
        // is F10, or a key while no window has the focus.
        bool alt = message == WM_SYSKEYDOWN && (lparam & Alt_Down_Bit);
        press.Key_Code = static_cast<int>(wparam & 0xFF);
        press.Shift = Shift_State(alt);
        UINT first = message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
        MSG character{};
        if (PeekMessageA(&character, hwnd, first, first + 1, PM_REMOVE) &&
            character.message == first) {
            int c = static_cast<int>(character.wParam & 0xFF);
            // Delete types no character on the keyboards the dialogs know.
            if (c != 0x7F) press.Character = c;
            // AltGr is Ctrl+Alt to Windows; what it types is a character.
            if (message == WM_KEYDOWN && c >= 32 && (press.Shift & Shift_Mask::Ctrl) &&
                Down(VK_MENU))
                press.Shift &= ~Shift_Mask::Ctrl;
        }
        return true;
    }
    if (message == WM_CHAR) {
        int c = static_cast<int>(wparam & 0xFF);
        SHORT key = VkKeyScanA(static_cast<CHAR>(c));
        press.Key_Code = key == -1 ? 0 : (key & 0xFF);
        press.Shift = Shift_State(false);
        press.Character = c == 0x7F ? 0 : c;
        return press.Key_Code != 0 || press.Character != 0;
    }
    return false;
}

}  // namespace nrvnc
