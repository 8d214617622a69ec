#include "platform/x11/keys.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cctype>
#include <cstring>

#include "platform/forms.h"

namespace nrvnc {

namespace {

int Keypad_Key(KeySym k) {
    if (k >= XK_KP_0 && k <= XK_KP_9) return 96 + static_cast<int>(k - XK_KP_0);
    switch (k) {
        case XK_KP_Decimal:
            return 110;
        case XK_KP_Separator:
            return 108;
        case XK_KP_Multiply:
            return 106;
        case XK_KP_Add:
            return 107;
        case XK_KP_Subtract:
            return 109;
        case XK_KP_Divide:
            return 111;
        case XK_KP_Enter:
            return 13;
        case XK_KP_Home:
            return 36;
        case XK_KP_End:
            return 35;
        case XK_KP_Left:
            return 37;
        case XK_KP_Up:
            return 38;
        case XK_KP_Right:
            return 39;
        case XK_KP_Down:
            return 40;
        case XK_KP_Prior:
            return 33;
        case XK_KP_Next:
            return 34;
        case XK_KP_Insert:
            return 45;
        case XK_KP_Delete:
            return 46;
        case XK_KP_Begin:
            return 12;
        case XK_KP_Space:
            return 32;
        case XK_KP_Tab:
            return 9;
        case XK_KP_Equal:
            return 187;
        default:
            return -1;
    }
}

// Where a key sits on the keyboard, by the server's name for it ("AE01":
// row E, first key), so that the top row gives the digit codes whatever
// the layout puts on it, as it does on Windows. Empty when the server
// names no keys.
std::string Key_Position(Display* display, unsigned keycode) {
    std::string position;
    // The names alone, not XkbGetKeyboard: that asks the server for a whole
    // keymap by component names, which Xvfb and Xwayland refuse, and then
    // no key of a Cyrillic or Greek layout would carry its Latin letter.
    XkbDescPtr keyboard = XkbGetMap(display, 0, XkbUseCoreKbd);
    if (keyboard && XkbGetNames(display, XkbKeyNamesMask, keyboard) != Success) {
        XkbFreeKeyboard(keyboard, 0, True);
        keyboard = nullptr;
    }
    if (keyboard && keyboard->names && keyboard->names->keys && keycode >= keyboard->min_key_code &&
        keycode <= keyboard->max_key_code) {
        const char* name = keyboard->names->keys[keycode].name;
        position.assign(name, strnlen(name, XkbKeyNameLength));
    }
    if (keyboard) XkbFreeKeyboard(keyboard, 0, True);
    return position;
}

// The virtual-key code Windows gives the key at a position: the digits of
// the top row, and the letters of a US keyboard for layouts whose letters
// are not Latin. 0 for other positions.
int Positional_Key(const std::string& position, bool digits_only) {
    static const struct {
        const char* Row;
        const char* Keys;
    } rows[] = {{"AE", "1234567890"}, {"AD", "QWERTYUIOP"}, {"AC", "ASDFGHJKL"}, {"AB", "ZXCVBNM"}};
    auto digit = [&](std::size_t i) {
        return isdigit(static_cast<unsigned char>(position[i])) != 0;
    };
    if (position.size() != 4 || !digit(2) || !digit(3)) return 0;
    const int column = std::stoi(position.substr(2));
    for (const auto& row : rows) {
        if (position.compare(0, 2, row.Row) != 0 || (digits_only && row.Keys != rows[0].Keys))
            continue;
        if (column >= 1 && column <= static_cast<int>(strlen(row.Keys)))
            return row.Keys[column - 1];
    }
    return 0;
}

bool Is_Digit(KeySym k) {
    return k >= XK_0 && k <= XK_9;
}

}  // namespace

int Virtual_Key(const Key_Symbols& key) {
    // Keypad keys change meaning with Num Lock, so the effective keysym
    // decides them.
    int keypad = Keypad_Key(key.Effective);
    if (keypad < 0) keypad = Keypad_Key(key.Levels[0]);
    if (keypad >= 0) return keypad;

    // The top row: digits by position, or, on a server that names no keys,
    // by a digit on the key's first two levels (French: "&" and "1").
    if (int digit = Positional_Key(key.Position, true)) return digit;
    KeySym k = key.Levels[0];
    if (k >= XK_a && k <= XK_z) return 'A' + static_cast<int>(k - XK_a);
    if (k >= XK_A && k <= XK_Z) return static_cast<int>(k);
    for (KeySym level : key.Levels)
        if (Is_Digit(level)) return static_cast<int>(level);
    // A letter of another script (Cyrillic, Greek...) is named by its place.
    KeySym lower = NoSymbol, upper = NoSymbol;
    XConvertCase(k, &lower, &upper);
    if (k > 0xFF && lower != upper) return Positional_Key(key.Position, false);

    if (k >= XK_F1 && k <= XK_F24) return 112 + static_cast<int>(k - XK_F1);
    switch (k) {
        case XK_BackSpace:
            return 8;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return 9;
        case XK_Clear:
            return 12;
        case XK_Return:
            return 13;
        case XK_Shift_L:
        case XK_Shift_R:
            return 16;
        case XK_Control_L:
        case XK_Control_R:
            return 17;
        case XK_Alt_L:
        case XK_Alt_R:
        case XK_Meta_L:
        case XK_Meta_R:
            return 18;
        case XK_Pause:
            return 19;
        case XK_Caps_Lock:
            return 20;
        case XK_Escape:
            return 27;
        case XK_space:
            return 32;
        case XK_Prior:
            return 33;
        case XK_Next:
            return 34;
        case XK_End:
            return 35;
        case XK_Home:
            return 36;
        case XK_Left:
            return 37;
        case XK_Up:
            return 38;
        case XK_Right:
            return 39;
        case XK_Down:
            return 40;
        case XK_Select:
            return 41;
        case XK_Print:
            return 44;
        case XK_Insert:
            return 45;
        case XK_Delete:
            return 46;
        case XK_Help:
            return 47;
        case XK_Super_L:
            return 91;
        case XK_Super_R:
            return 92;
        case XK_Menu:
            return 93;
        case XK_Num_Lock:
            return 144;
        case XK_Scroll_Lock:
            return 145;
        case XK_semicolon:
            return 186;
        case XK_equal:
            return 187;
        case XK_comma:
            return 188;
        case XK_minus:
            return 189;
        case XK_period:
            return 190;
        case XK_slash:
            return 191;
        case XK_grave:
            return 192;
        case XK_bracketleft:
            return 219;
        case XK_backslash:
            return 220;
        case XK_bracketright:
            return 221;
        case XK_apostrophe:
            return 222;
        case XK_less:
            return 226;  // the extra key of 102-key keyboards
        default:
            return 0;
    }
}

Key_Press Translate_Key(XKeyEvent& event) {
    Key_Press press;
    char buffer[16] = {};
    Key_Symbols key;
    // The character the layout gives with the modifiers and locks in force.
    int n = XLookupString(&event, buffer, sizeof buffer, &key.Effective, nullptr);
    const auto keycode = static_cast<KeyCode>(event.keycode);
    const int group = static_cast<int>((event.state >> 13) & 3);
    for (int level = 0; level < 2; ++level)
        key.Levels[level] = XkbKeycodeToKeysym(event.display, keycode, group, level);
    key.Position = Key_Position(event.display, keycode);
    press.Key_Code = Virtual_Key(key);
    if (event.state & ShiftMask) press.Shift |= Shift_Mask::Shift;
    if (event.state & ControlMask) press.Shift |= Shift_Mask::Ctrl;
    if (event.state & Mod1Mask) press.Shift |= Shift_Mask::Alt;
    // Delete types no character on the keyboards the dialogs know.
    if (n == 1 && static_cast<unsigned char>(buffer[0]) != 0x7F)
        press.Character = static_cast<unsigned char>(buffer[0]);
    return press;
}

}  // namespace nrvnc
