#include "repeater/frm_communications.h"

#include "session/state/misc.h"

namespace nrvnc {

Tcp_Socket& FrmCommunications::Winsock1() {
    // The socket's asynchronous error events are not listened to: only its
    // state decides anything.
    if (!socket_) socket_ = misc_.Sys.network.Create_Tcp_Socket();
    return *socket_;
}

FrmCommunications& frmCommunications(Misc& misc) {
    return misc.Single_Instance<FrmCommunications>();
}

}  // namespace nrvnc
