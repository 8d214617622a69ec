// Key presses of the X server turned into what the forms expect: the
// virtual-key code of the key (the codes of a Windows US keyboard), the
// shift state and the character it types.
#pragma once

#include <string>

#include "platform/x11/xlib.h"

namespace nrvnc {

struct Key_Press {
    int Key_Code = 0;   // virtual-key code; 0 when the key has none
    int Shift = 0;      // Shift_Mask bits
    int Character = 0;  // Latin-1 character typed; 0 when none
};

// What decides a key's virtual-key code.
struct Key_Symbols {
    KeySym Levels[2] = {NoSymbol, NoSymbol};  // without and with Shift, in the current group
    KeySym Effective = NoSymbol;  // with the modifiers and locks in force (keypad: Num Lock)
    std::string Position;         // the server's name of the key, e.g. "AE01"; may be empty
};

// The code Windows gives the key: the top row's digits by position whatever
// the layout's symbols, letters by the layout's letter, the keypad by what
// Num Lock makes of it.
int Virtual_Key(const Key_Symbols& key);

Key_Press Translate_Key(XKeyEvent& event);

}  // namespace nrvnc
