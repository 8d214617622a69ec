#include "repeater/probe.h"

#include <string>

#include "dialogs/message/frm_msg_box.h"
#include "platform/error.h"
#include "platform/network.h"
#include "repeater/download.h"
#include "repeater/frm_communications.h"
#include "session/misc.h"

namespace nrvnc {

namespace {

// A probe waits while no more than this has passed since the connect.
constexpr uint32_t Probe_Limit_Ms = 1000;

// The port text as a 32-bit integer, converted the way the program converts
// any text to a Long: blanks around it are allowed, a sign and a decimal
// fraction too (rounded half to even); anything else is a type mismatch and
// a value outside the 32-bit range an overflow.
int32_t To_Long(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos)
        throw Runtime_Error(Error_Number::Type_Mismatch, "Type mismatch");
    std::string v = text.substr(first, last - first + 1);

    std::size_t i = 0;
    bool negative = false;
    if (v[i] == '+' || v[i] == '-') negative = v[i++] == '-';

    // Saturates far above the 32-bit range, so long digit runs cannot wrap.
    constexpr int64_t Saturated = int64_t{1} << 40;
    int64_t whole = 0;
    std::size_t digits = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i, ++digits)
        if (whole < Saturated) whole = whole * 10 + (v[i] - '0');

    int first_fraction_digit = -1;
    bool fraction_beyond_half = false;
    if (i < v.size() && v[i] == '.') {
        for (++i; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i, ++digits) {
            if (first_fraction_digit < 0)
                first_fraction_digit = v[i] - '0';
            else if (v[i] != '0')
                fraction_beyond_half = true;
        }
    }
    if (digits == 0 || i != v.size())
        throw Runtime_Error(Error_Number::Type_Mismatch, "Type mismatch");

    if (first_fraction_digit > 5 || (first_fraction_digit == 5 && fraction_beyond_half) ||
        (first_fraction_digit == 5 && !fraction_beyond_half && whole % 2 == 1))
        ++whole;
    if (negative) whole = -whole;
    if (whole < INT32_MIN || whole > INT32_MAX)
        throw Runtime_Error(Error_Number::Overflow, "Overflow");
    return static_cast<int32_t>(whole);
}

}  // namespace

bool Probe_Repeater(Misc& misc) {
    try {
        Tcp_Socket& Winsock1 = misc.frmCommunications().Winsock1();
        Winsock1.Close();
        Winsock1.Set_Remote_Port(To_Long(misc.Port_Num));
        Winsock1.Set_Remote_Host(misc.Repeater_IP);
        Winsock1.Connect();
        const uint32_t Start = misc.Sys.clock.Tick_Count();

        // The socket's state only advances while events run. A refused
        // attempt does not end the wait early: only the time limit does.
        for (;;) {
            misc.Do_Events();
            const uint32_t Elapsed = misc.Sys.clock.Tick_Count() - Start;  // modulo 2^32
            const int State = Winsock1.State();
            if (State == Socket_State::Connected || Elapsed > Probe_Limit_Ms) break;
        }

        const bool Result = Winsock1.State() == Socket_State::Connected;
        Winsock1.Close();
        return Result;
    } catch (const Runtime_Error&) {
        try {
            misc.frmCommunications().Winsock1().Close();
        } catch (const Runtime_Error&) {
            // Nothing more can be done about a socket that will not close.
        }
        return false;
    }
}

bool Check_Repeater(Misc& misc, uint8_t Probe_Only) {
    if (Probe_Only == 0) misc.frmMsgBox().Do_User_Msg(1, Msg_Value{0}, Msg_Value{std::string()});

    bool Found = Probe_Repeater(misc);
    if (!Found && Probe_Only == 0) {
        if (Get_Repeater_IP_File(misc)) Found = Probe_Repeater(misc);
    }

    // The stand-by notice must be gone when the caller shows its own message.
    if (misc.MsgBox_Loaded) misc.frmMsgBox().Close_frmMsgBox();
    return Found;
}

}  // namespace nrvnc
