// frmCommunications: a form that is never shown and exists only to carry
// the socket Winsock1 of the repeater probe. It is loaded the first time
// Winsock1 is used and stays loaded until the program ends.
#pragma once

#include <memory>

#include "platform/network.h"

namespace nrvnc {

class Misc;

class FrmCommunications {
  public:
    explicit FrmCommunications(Misc& misc) : misc_(misc) {}

    // The socket; the first use loads the form.
    Tcp_Socket& Winsock1();
    bool Loaded() const { return socket_ != nullptr; }

    // The internet session under Misc::FTP_Handle while a download runs, 0
    // otherwise. Open_FTP_Connection sets it, Close_FTP_Connection closes it
    // together with the connection.
    Ftp_Client::Handle FTP_Session = 0;

  private:
    Misc& misc_;
    std::unique_ptr<Tcp_Socket> socket_;
};

// The single shared instance, created on first use and kept in Misc.
FrmCommunications& frmCommunications(Misc& misc);

}  // namespace nrvnc
