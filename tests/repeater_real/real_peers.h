// Real peers for the repeater tests: the Linux clock, files, sockets and FTP
// client under the program, loopback listeners and a loopback FTP server
// as the other side. Forms, desktop and processes come from the fake
// desktop, so the operator can still answer a notice.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "platform/x11/event_wait.h"
#include "platform/x11/linux_services.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

extern char** environ;

namespace nrvnc::real {

// A fresh folder, removed with everything in it.
class Temp_Folder {
  public:
    Temp_Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "nrvnc_repeater_XXXXXX").string();
        Path = mkdtemp(pattern.data());
    }
    ~Temp_Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    Temp_Folder(const Temp_Folder&) = delete;
    Temp_Folder& operator=(const Temp_Folder&) = delete;

    std::string operator/(const std::string& name) const { return Path + "/" + name; }
    std::string Path;
};

inline void Write_Text(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

// Changes the working directory for one test and changes it back.
class Working_Directory_Guard {
  public:
    explicit Working_Directory_Guard(const std::string& path)
        : Saved(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~Working_Directory_Guard() { std::filesystem::current_path(Saved); }

  private:
    std::filesystem::path Saved;
};

// A TCP socket bound to 127.0.0.1 on a free port: listening, not listening
// (a closed port), or listening with a full queue (never answers).
class Loopback_Listener {
  public:
    Loopback_Listener() {
        Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        bind(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(Fd, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
    }
    ~Loopback_Listener() {
        for (int fd : Others) close(fd);
        close(Fd);
    }
    Loopback_Listener(const Loopback_Listener&) = delete;
    Loopback_Listener& operator=(const Loopback_Listener&) = delete;

    void Listen() { listen(Fd, 16); }

    // Fills the accept queue; the kernel then drops further SYNs, so a new
    // attempt neither succeeds nor fails. True when that state was reached.
    bool Listen_Without_Answering() {
        listen(Fd, 0);
        for (int i = 0; i < 16; ++i) {
            int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            Others.push_back(client);
            sockaddr_in address = Loopback(Port);
            connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd entry{client, POLLOUT, 0};
            if (poll(&entry, 1, 300) == 0) return true;  // this one hangs
        }
        return false;
    }

    // The next accepted connection, or -1 when none came within the time.
    int Accept(int timeout_ms) {
        pollfd entry{Fd, POLLIN, 0};
        if (poll(&entry, 1, timeout_ms) <= 0) return -1;
        int accepted = accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted >= 0) Others.push_back(accepted);
        return accepted;
    }

    int Fd;
    uint16_t Port;

  private:
    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    std::vector<int> Others;
};

// A real FTP server (pyftpdlib) on loopback serving a folder of its own.
class Loopback_Ftp_Server {
  public:
    explicit Loopback_Ftp_Server(const std::string& password = Builtin::FTP_Password) {
        int to_server[2], from_server[2];
        if (pipe2(to_server, O_CLOEXEC) != 0 || pipe2(from_server, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to_server[0], 0);
        posix_spawn_file_actions_adddup2(&actions, from_server[1], 1);
        std::string script = std::string(NRVNC_REPEATER_REAL_DIR) + "/ftp_server.py";
        std::string pass = password;
        std::vector<char*> arguments = {const_cast<char*>("/usr/bin/python3"), script.data(),
                                        Root.Path.data(), pass.data(), nullptr};
        if (posix_spawn(&Server, "/usr/bin/python3", &actions, nullptr, arguments.data(),
                        environ) != 0)
            Server = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(to_server[0]);
        close(from_server[1]);
        Stdin = to_server[1];

        std::string line;
        char c;
        while (read(from_server[0], &c, 1) == 1 && c != '\n') line += c;
        close(from_server[0]);
        Port = static_cast<uint16_t>(std::atoi(line.c_str()));
    }
    ~Loopback_Ftp_Server() {
        if (Stdin >= 0) close(Stdin);
        if (Server > 0) {
            kill(Server, SIGTERM);
            waitpid(Server, nullptr, 0);
        }
    }
    Loopback_Ftp_Server(const Loopback_Ftp_Server&) = delete;
    Loopback_Ftp_Server& operator=(const Loopback_Ftp_Server&) = delete;

    // Puts VNCRepeater/Repeater.Dat (or only the folder) on the server.
    void Publish(const std::string& content) {
        std::filesystem::create_directories(Root / "VNCRepeater");
        Write_Text(Root / "VNCRepeater/Repeater.Dat", content);
    }
    void Publish_Folder_Only() { std::filesystem::create_directories(Root / "VNCRepeater"); }

    Temp_Folder Root;
    pid_t Server = -1;
    int Stdin = -1;
    uint16_t Port = 0;
};

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
