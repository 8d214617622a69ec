// The machine for the repeater tests on real parts: the Linux clock, files,
// sockets and FTP client under the program, with the loopback peers of
// real_peers.h as the other side. Forms, desktop and processes come from the
// fake desktop, so the operator can still answer a notice.
#pragma once

#include <string>
#include <vector>

#include "builtin_values.h"
#include "platform/x11/event_wait.h"
#include "platform/x11/linux_services.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"
#include "tests/support/real_peers.h"

namespace nrvnc::test {

// The real FTP client, with the built-in server name sent to loopback: the
// plain name to Plain_Host (so a test can make it unreachable), the "ftp://"
// form to 127.0.0.1.
struct Loopback_Named_Ftp : Curl_Ftp_Client {
    using Curl_Ftp_Client::Curl_Ftp_Client;
    Handle Internet_Connect(Handle session, const std::string& server, uint16_t port,
                            const std::string& user, const std::string& password) override {
        Servers.push_back(server);
        const std::string name = Builtin::FTP_Server_Name;
        const std::string target = server == name              ? Plain_Host
                                   : server == "ftp://" + name ? "ftp://127.0.0.1"
                                                               : server;
        return Curl_Ftp_Client::Internet_Connect(session, target, port, user, password);
    }
    std::string Plain_Host = "127.0.0.1";
    std::vector<std::string> Servers;
};

struct Loopback_Network : Linux_Network {
    // Without a server, port 1: never a real server by accident.
    explicit Loopback_Network(uint16_t ftp_port)
        : Ftp_Service(ftp_port ? ftp_port : 1, {5000, 10000}) {}
    Ftp_Client& Ftp() override { return Ftp_Service; }
    Loopback_Named_Ftp Ftp_Service;
};

// The fake's forms, but letting events run waits up to a millisecond for
// socket activity, as the real forms runtime does, instead of spinning.
struct Headless_Forms : Forms_Runtime {
    explicit Headless_Forms(fake::Fake_Forms& forms) : F(forms) {}
    std::unique_ptr<Form> Load_Form(const Form_Design& d, Form_Events& e) override {
        return F.Load_Form(d, e);
    }
    void Do_Events() override {
        Event_Wait::Wait_For_Activity(1);
        F.Do_Events();
    }
    void Message_Box(const std::string& t, const std::string& c) override { F.Message_Box(t, c); }
    std::string App_Title() const override { return F.App_Title(); }
    double Screen_Width() const override { return F.Screen_Width(); }
    double Screen_Height() const override { return F.Screen_Height(); }
    double Twips_Per_Pixel_X() const override { return F.Twips_Per_Pixel_X(); }
    double Twips_Per_Pixel_Y() const override { return F.Twips_Per_Pixel_Y(); }
    int Font_Count() const override { return F.Font_Count(); }
    std::string Font(int index) const override { return F.Font(index); }
    Color System_Color(int index) const override { return F.System_Color(index); }
    fake::Fake_Forms& F;
};

// The program's view of the machine: real clock, files and network, fake
// screen and operator.
struct Real_Machine {
    explicit Real_Machine(uint16_t ftp_port = 0, uint32_t tick_offset = 0)
        : Clock_Service(tick_offset), Network_Service(ftp_port) {}
    fake::Fake_Desktop d;
    Linux_Clock Clock_Service;
    Linux_File_System Files;
    Loopback_Network Network_Service;
    Headless_Forms Forms{d.forms};
    Platform Sys{Clock_Service, Files, d.processes, d.windows, Network_Service, Forms};
    Misc m{Sys};
};

}  // namespace nrvnc::test
