// Key messages of a form's windows turned into what the forms model
// expects: one key press with its virtual-key code, its shift state and the
// character it types. Windows sends the key (WM_KEYDOWN) and the character
// (WM_CHAR, queued by TranslateMessage) apart; the model takes them as one.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace nrvnc {

struct Key_Press {
    int Key_Code = 0;   // virtual-key code
    int Shift = 0;      // Shift_Mask bits
    int Character = 0;  // ANSI character typed; 0 when none
};

// True for every keyboard message (down, up, characters, system keys),
// which a form's windows leave to the model rather than to the system.
bool Is_Key_Message(UINT message);

// Reads a key press from a WM_KEYDOWN or WM_SYSKEYDOWN (taking the
// character queued for it from the queue of hwnd) or from a WM_CHAR that
// came without its key. False for key-ups, dead keys and the rest.
bool Read_Key_Press(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, Key_Press& press);

}  // namespace nrvnc
