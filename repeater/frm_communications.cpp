#include "repeater/frm_communications.h"

#include "session/misc.h"

namespace nrvnc {

Tcp_Socket& FrmCommunications::Winsock1() {
    // The socket's asynchronous error events are not listened to: only its
    // state decides anything.
    if (!socket_) socket_ = misc_.Sys.network.Create_Tcp_Socket();
    return *socket_;
}

FrmCommunications& Misc::frmCommunications() {
    if (!communications_) communications_ = std::make_shared<FrmCommunications>(*this);
    return *communications_;
}

}  // namespace nrvnc
