// The machine for the repeater tests: the Linux clock, files, sockets and FTP
// client under the program, with the loopback peers of tests/support as the
// other side. Forms, desktop and processes come from the fake desktop, so the
// operator can still answer a notice.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "platform/x11/event_wait.h"
#include "platform/x11/linux_services.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"
#include "tests/support/real_peers.h"

namespace nrvnc::real {

// The real FTP client, with the built-in server name pointed at loopback.
// The plain name goes to `plain_host`, the "ftp://" form to `url_host`, so a
// test can make the server refuse one of them. It also tracks which handles
// are open.
class Redirecting_Ftp : public Ftp_Client {
  public:
    Redirecting_Ftp(Ftp_Client& real, std::string plain_host, std::string url_host)
        : Real(real), Plain_Host(std::move(plain_host)), Url_Host(std::move(url_host)) {}

    Handle Internet_Open(const std::string& agent) override {
        Agents.push_back(agent);
        return Track(Real.Internet_Open(agent));
    }
    Handle Internet_Connect(Handle session, const std::string& server, uint16_t port,
                            const std::string& user, const std::string& password) override {
        Servers.push_back(server);
        std::string target = server;
        if (server == Builtin::FTP_Server_Name) target = Plain_Host;
        if (server == std::string("ftp://") + Builtin::FTP_Server_Name)
            target = "ftp://" + Url_Host;
        return Track(Real.Internet_Connect(session, target, port, user, password));
    }
    bool Set_Current_Directory(Handle connection, const std::string& folder) override {
        return Real.Set_Current_Directory(connection, folder);
    }
    bool Get_File(Handle connection, const std::string& remote_name, const std::string& local_path,
                  bool ascii) override {
        Transfers.push_back(remote_name + " -> " + local_path + (ascii ? " ascii" : " binary"));
        return Real.Get_File(connection, remote_name, local_path, ascii);
    }
    void Close_Handle(Handle handle) override {
        Open.erase(handle);
        Real.Close_Handle(handle);
    }

    std::vector<std::string> Agents, Servers, Transfers;
    std::set<Handle> Open;

  private:
    Handle Track(Handle h) {
        if (h != 0) Open.insert(h);
        return h;
    }
    Ftp_Client& Real;
    std::string Plain_Host, Url_Host;
};

class Real_Network : public Network {
  public:
    Real_Network(Network& real, Ftp_Client& ftp) : Real(real), Ftp_Service(ftp) {}
    std::unique_ptr<Tcp_Socket> Create_Tcp_Socket() override { return Real.Create_Tcp_Socket(); }
    Ftp_Client& Ftp() override { return Ftp_Service; }
    bool Check_Internet_Connection(const std::string& url) override {
        return Real.Check_Internet_Connection(url);
    }

  private:
    Network& Real;
    Ftp_Client& Ftp_Service;
};

// The fake's forms, but letting events run waits for socket activity for a
// millisecond, as a real forms runtime does, instead of spinning.
class Headless_Forms : public Forms_Runtime {
  public:
    explicit Headless_Forms(fake::Fake_Forms& forms) : Forms(forms) {}
    std::unique_ptr<Form> Load_Form(const Form_Design& design, Form_Events& events) override {
        return Forms.Load_Form(design, events);
    }
    void Do_Events() override {
        Event_Wait::Wait_For_Activity(1);
        Forms.Do_Events();
    }
    void Message_Box(const std::string& text, const std::string& title) override {
        Forms.Message_Box(text, title);
    }
    std::string App_Title() const override { return Forms.App_Title(); }
    double Screen_Width() const override { return Forms.Screen_Width(); }
    double Screen_Height() const override { return Forms.Screen_Height(); }
    double Twips_Per_Pixel_X() const override { return Forms.Twips_Per_Pixel_X(); }
    double Twips_Per_Pixel_Y() const override { return Forms.Twips_Per_Pixel_Y(); }
    int Font_Count() const override { return Forms.Font_Count(); }
    std::string Font(int index) const override { return Forms.Font(index); }
    Color System_Color(int index) const override { return Forms.System_Color(index); }

  private:
    fake::Fake_Forms& Forms;
};

// The program's view of the machine: real clock, files and network, fake
// screen and operator.
struct Real_Machine {
    explicit Real_Machine(uint16_t ftp_port = 0, uint32_t tick_offset = 0,
                          std::string plain_host = "127.0.0.1", std::string url_host = "127.0.0.1")
        : Services(Options(ftp_port)),
          Clock_Service(tick_offset),
          Ftp(Services.Network_Service.Ftp(), std::move(plain_host), std::move(url_host)),
          Network_Service(Services.Network_Service, Ftp),
          Forms(d.forms),
          Sys{Clock_Service, Services.File_Service, d.processes,
              d.windows,     Network_Service,       Forms} {}

    static Linux_Network_Options Options(uint16_t ftp_port) {
        Linux_Network_Options options;
        // Port 0 would fall back to NRVNC_FTP_PORT or 21: never a real
        // server by accident, so a test without a server gets port 1.
        options.Ftp_Port_For_0 = ftp_port == 0 ? 1 : ftp_port;
        options.Ftp.Connect_Ms = 5000;
        options.Ftp.Total_Ms = 10000;
        return options;
    }

    fake::Fake_Desktop d;
    Linux_Services Services;
    Linux_Clock Clock_Service;
    Redirecting_Ftp Ftp;
    Real_Network Network_Service;
    Headless_Forms Forms;
    Platform Sys;
    Misc m{Sys};
};

}  // namespace nrvnc::real
