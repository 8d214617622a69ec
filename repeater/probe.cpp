#include "repeater/probe.h"

#include <string>

#include "dialogs/message/frm_msg_box.h"
#include "platform/error.h"
#include "platform/network.h"
#include "repeater/download.h"
#include "repeater/frm_communications.h"
#include "session/state/misc.h"
#include "settings/numeric_text.h"

namespace nrvnc {

namespace {

// A probe waits while no more than this has passed since the connect.
constexpr uint32_t Probe_Limit_Ms = 1000;

}  // namespace

bool Probe_Repeater(Misc& misc) {
    try {
        Tcp_Socket& Winsock1 = frmCommunications(misc).Winsock1();
        Winsock1.Close();
        Winsock1.Set_Remote_Port(Long_Value(misc.Port_Num));
        Winsock1.Set_Remote_Host(misc.Repeater_IP);
        Winsock1.Connect();
        const uint32_t Start = misc.Sys.clock.Tick_Count();

        // The socket's state only advances while events run. A refused
        // attempt does not end the wait early: only the time limit does.
        // Once connected the repeater counts as found, even when it resets
        // the connection before the state is read again.
        bool Result = false;
        for (;;) {
            misc.Do_Events();
            const uint32_t Elapsed = misc.Sys.clock.Tick_Count() - Start;  // modulo 2^32
            Result = Winsock1.State() == Socket_State::Connected;
            if (Result || Elapsed > Probe_Limit_Ms) break;
        }

        Winsock1.Close();
        return Result;
    } catch (const Runtime_Error&) {
        try {
            frmCommunications(misc).Winsock1().Close();
        } catch (const Runtime_Error&) {
            // Nothing more can be done about a socket that will not close.
        }
        return false;
    }
}

bool Check_Repeater(Misc& misc, uint8_t Probe_Only) {
    if (Probe_Only == 0) frmMsgBox(misc).Do_User_Msg(1, Msg_Value{0}, Msg_Value{std::string()});

    bool Found = Probe_Repeater(misc);
    if (!Found && Probe_Only == 0) {
        if (Get_Repeater_IP_File(misc)) Found = Probe_Repeater(misc);
    }

    // The stand-by notice must be gone when the caller shows its own message.
    if (misc.MsgBox_Loaded) frmMsgBox(misc).Close_frmMsgBox();
    return Found;
}

}  // namespace nrvnc
