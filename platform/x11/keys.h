// Key presses of the X server turned into what the forms expect: the
// virtual-key code of the key (the codes of a Windows US keyboard), the
// shift state and the character it types.
#pragma once

#include "platform/x11/xlib.h"

namespace nrvnc {

struct Key_Press {
    int Key_Code = 0;   // virtual-key code; 0 when the key has none
    int Shift = 0;      // Shift_Mask bits
    int Character = 0;  // Latin-1 character typed; 0 when none
};

// The virtual-key code of a key. unshifted is the key's keysym without any
// modifier (level 0); effective is the keysym with the modifiers and locks
// applied, which decides the keypad keys (digits with Num Lock on, cursor
// keys with it off).
int Virtual_Key(KeySym unshifted, KeySym effective);

Key_Press Translate_Key(XKeyEvent& event);

}  // namespace nrvnc
