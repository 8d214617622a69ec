#include "platform/x11/keys.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

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

}  // namespace

int Virtual_Key(KeySym unshifted, KeySym effective) {
    // Keypad keys change meaning with Num Lock, so the effective keysym
    // decides them.
    int keypad = Keypad_Key(effective);
    if (keypad < 0) keypad = Keypad_Key(unshifted);
    if (keypad >= 0) return keypad;

    KeySym k = unshifted;
    if (k >= XK_a && k <= XK_z) return 'A' + static_cast<int>(k - XK_a);
    if (k >= XK_A && k <= XK_Z) return static_cast<int>(k);
    if (k >= XK_0 && k <= XK_9) return static_cast<int>(k);
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
    KeySym effective = NoSymbol;
    int n = XLookupString(&event, buffer, sizeof buffer, &effective, nullptr);
    KeySym unshifted = XkbKeycodeToKeysym(event.display, static_cast<KeyCode>(event.keycode),
                                          static_cast<int>((event.state >> 13) & 3), 0);
    press.Key_Code = Virtual_Key(unshifted, effective);
    if (event.state & ShiftMask) press.Shift |= Shift_Mask::Shift;
    if (event.state & ControlMask) press.Shift |= Shift_Mask::Ctrl;
    if (event.state & Mod1Mask) press.Shift |= Shift_Mask::Alt;
    // Delete types no character on the keyboards the dialogs know.
    if (n == 1 && static_cast<unsigned char>(buffer[0]) != 0x7F)
        press.Character = static_cast<unsigned char>(buffer[0]);
    return press;
}

}  // namespace nrvnc
