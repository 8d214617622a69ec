#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "real_peers.h"
#include "repeater/download.h"
#include "repeater/frm_communications.h"
#include "repeater/probe.h"

namespace nrvnc {
namespace {

using real::Real_Machine;
using test::Loopback_Ftp_Server;
using test::Loopback_Listener;
using test::Temp_Folder;
using test::Working_Directory_Guard;
using test::Write_Text;

using Steady = std::chrono::steady_clock;

long Milliseconds_Since(Steady::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
}

// True when the peer of an accepted connection has seen it closed.
bool Closed_By_Peer(int fd) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    char byte;
    return read(fd, &byte, 1) == 0;
}

// Empty rows of a message are printed as blanks.
std::vector<std::string> Shown_Lines(const fake::Fake_Desktop& d) {
    std::vector<std::string> lines;
    for (const auto& s : d.seen)
        for (const auto& t : s.Texts)
            if (t.find_first_not_of(' ') != std::string::npos) lines.push_back(t);
    return lines;
}

// ---- the probe ----

TEST(Probe_Real, A_Listening_Repeater_Is_Found_And_Let_Go_At_Once) {
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        Loopback_Listener listener;
        listener.Listen();
        Real_Machine r;
        r.m.Repeater_IP = host;
        r.m.Port_Num = std::to_string(listener.Port);

        EXPECT_TRUE(Probe_Repeater(r.m));
        EXPECT_EQ(r.m.frmCommunications().Winsock1().State(), Socket_State::Closed);
        int accepted = listener.Accept(5000);
        ASSERT_GE(accepted, 0);
        EXPECT_TRUE(Closed_By_Peer(accepted));  // no data, just the close
    }
}

TEST(Probe_Real, A_Closed_Port_Or_A_Silent_Repeater_Is_False_After_The_Full_Second) {
    struct Case {
        const char* Name;
        bool Listen_Without_Answering;
        bool Across_The_Wrap;
    };
    const std::vector<Case> cases = {
        {"closed port", false, false},
        {"never answers", true, false},
        {"closed port across the wrap", false, true},
        {"never answers across the wrap", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Loopback_Listener listener;
        if (c.Listen_Without_Answering) {
            ASSERT_TRUE(listener.Listen_Without_Answering());
        }
        // Moves the tick count to 300 ms before the wrap.
        const uint32_t offset = c.Across_The_Wrap ? 0xFFFFFED4u - Linux_Clock().Tick_Count() : 0u;
        Real_Machine r(0, offset);
        r.m.Repeater_IP = "127.0.0.1";
        r.m.Port_Num = std::to_string(listener.Port);

        const uint32_t ticks_before = r.Clock_Service.Tick_Count();
        const auto start = Steady::now();
        EXPECT_FALSE(Probe_Repeater(r.m));
        const uint32_t ticks_after = r.Clock_Service.Tick_Count();
        // A refused attempt must not end the wait early. (The tick count is
        // whole milliseconds, so the steady clock may show a hair less.)
        EXPECT_GE(Milliseconds_Since(start), 1000);
        EXPECT_GT(ticks_after - ticks_before, 1000u);
        if (c.Across_The_Wrap) {
            EXPECT_GT(ticks_before, 0xFFFFFC00u);
            EXPECT_LT(ticks_after, 0x1000u);
        }
        EXPECT_EQ(r.m.frmCommunications().Winsock1().State(), Socket_State::Closed);
    }
}

TEST(Probe_Real, A_Port_That_Is_No_Number_Or_No_Host_Fails_At_Once) {
    struct Case {
        const char* Host;
        const char* Port;
    };
    for (const auto& c : std::vector<Case>{
             {"127.0.0.1", "59a1"}, {"127.0.0.1", ""}, {"127.0.0.1", "99999"}, {"", "5901"}}) {
        SCOPED_TRACE(std::string(c.Host) + ":" + c.Port);
        Real_Machine r;
        r.m.Repeater_IP = c.Host;
        r.m.Port_Num = c.Port;
        const uint64_t rounds_before = r.d.forms.do_events_calls;
        EXPECT_FALSE(Probe_Repeater(r.m));
        EXPECT_EQ(r.d.forms.do_events_calls, rounds_before);  // no waiting at all
        EXPECT_EQ(r.m.frmCommunications().Winsock1().State(), Socket_State::Closed);
    }
}

// ---- the download ----

class Download_Real : public ::testing::Test {
  protected:
    Temp_Folder Work;
    Working_Directory_Guard In_Work{Work.Path};
};

TEST_F(Download_Real, The_Published_File_Gives_Address_And_Port) {
    Loopback_Ftp_Server server;
    server.Publish("repeater.example.net\n6123\nignored\n");
    Write_Text(Work / "Repeater.Dat", "older copy\r\n1\r\n");
    Real_Machine r(server.Port);
    r.m.Repeater_IP = "10.1.1.5";
    r.m.Port_Num = "5901";

    EXPECT_TRUE(Get_Repeater_IP_File(r.m));
    EXPECT_EQ(r.m.Repeater_IP, "repeater.example.net");
    EXPECT_EQ(r.m.Port_Num, "6123");
    EXPECT_EQ(r.Ftp.Agents, std::vector<std::string>{"NR Repeater IP File Download"});
    EXPECT_EQ(r.Ftp.Servers, std::vector<std::string>{Builtin::FTP_Server_Name});
    EXPECT_EQ(r.Ftp.Transfers, std::vector<std::string>{"Repeater.Dat -> Repeater.Dat ascii"});
    EXPECT_TRUE(r.Ftp.Open.empty());  // connection and session both closed
    EXPECT_EQ(r.m.FTP_Handle, 0u);
    EXPECT_TRUE(std::filesystem::is_empty(Work.Path));  // the copy is gone
    EXPECT_TRUE(r.d.forms.loaded_captions.empty());
}

TEST_F(Download_Real, The_Url_Form_Reaches_A_Server_That_Refuses_The_Plain_Name) {
    Loopback_Ftp_Server server;
    server.Publish("10.2.2.2\r\n6000\r\n");
    // The plain name leads to an address where nothing listens.
    Real_Machine r(server.Port, 0, "127.0.0.2", "127.0.0.1");
    EXPECT_TRUE(Get_Repeater_IP_File(r.m));
    EXPECT_EQ(r.m.Repeater_IP, "10.2.2.2");
    EXPECT_EQ(r.m.Port_Num, "6000");
    EXPECT_EQ(r.Ftp.Servers,
              (std::vector<std::string>{Builtin::FTP_Server_Name,
                                        std::string("ftp://") + Builtin::FTP_Server_Name}));
    EXPECT_TRUE(r.Ftp.Open.empty());
}

TEST_F(Download_Real, Each_Failure_Shows_Its_Notice_And_Keeps_The_Values) {
    struct Case {
        const char* Name;
        bool Server_Up;
        const char* Password;
        bool Folder, File;
        const char* Step_Text;
    };
    const std::vector<Case> cases = {
        {"no server", false, Builtin::FTP_Password, true, true, "connecting to"},
        {"wrong password", true, "another password", true, true, "connecting to"},
        {"no folder", true, Builtin::FTP_Password, false, false, "finding the file path on"},
        {"no file", true, Builtin::FTP_Password, true, false,
         "transferring the repeater IP file from"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<Loopback_Ftp_Server> server;
        uint16_t port = 0;
        if (c.Server_Up) {
            server = std::make_unique<Loopback_Ftp_Server>(c.Password);
            if (c.File)
                server->Publish("10.2.2.2\r\n6000\r\n");
            else if (c.Folder)
                server->Publish_Folder_Only();
            port = server->Port;
        }
        Write_Text(Work / "Repeater.Dat", "older copy\r\n1\r\n");
        Real_Machine r(port);
        r.m.Repeater_IP = "10.1.1.5";
        r.m.Port_Num = "5901";
        r.d.operator_.On_Message(3).Press(1);

        EXPECT_FALSE(Get_Repeater_IP_File(r.m));
        EXPECT_TRUE(r.d.operator_.Done());
        EXPECT_EQ(Shown_Lines(r.d),
                  std::vector<std::string>{std::string("  There was an error ") + c.Step_Text +
                                           " the Norvane FTP server.  "});
        EXPECT_EQ(r.m.Repeater_IP, "10.1.1.5");
        EXPECT_EQ(r.m.Port_Num, "5901");
        EXPECT_TRUE(r.Ftp.Open.empty());
        EXPECT_FALSE(r.m.MsgBox_Loaded);
        // A failed transfer leaves the older copy alone and nothing beside it.
        std::vector<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(Work.Path))
            left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"Repeater.Dat"});
        std::filesystem::remove(Work / "Repeater.Dat");
    }
}

TEST_F(Download_Real, A_Huge_Or_Binary_File_Gives_At_Most_Two_Short_Lines) {
    struct Case {
        const char* Name;
        std::string Content;
        std::string Repeater_IP, Port_Num;
    };
    std::string binary(200000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7919 % 256);
    const std::vector<Case> cases = {
        {"two lines before 8 MB", "10.2.2.2\n6000\n" + std::string(8 << 20, 'x'), "10.2.2.2",
         "6000"},
        {"one 8 MB line", std::string(8 << 20, 'x'), "10.1.1.5", "5901"},
        {"binary", binary, "10.1.1.5", "5901"},
        {"empty", "", "10.1.1.5", "5901"},
        {"one line", "10.2.2.2\n", "10.2.2.2", "5901"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Loopback_Ftp_Server server;
        server.Publish(c.Content);
        Real_Machine r(server.Port);
        r.m.Repeater_IP = "10.1.1.5";
        r.m.Port_Num = "5901";
        EXPECT_TRUE(Get_Repeater_IP_File(r.m));
        EXPECT_EQ(r.m.Repeater_IP, c.Repeater_IP);
        EXPECT_EQ(r.m.Port_Num, c.Port_Num);
        EXPECT_TRUE(std::filesystem::is_empty(Work.Path));
    }
}

// ---- the whole search ----

TEST_F(Download_Real, A_Repeater_That_Moved_Is_Found_Through_The_Server) {
    Loopback_Listener old_place;  // bound, not listening: refuses
    Loopback_Listener new_place;
    new_place.Listen();
    Loopback_Ftp_Server server;
    server.Publish("127.0.0.1\n" + std::to_string(new_place.Port) + "\n");

    Real_Machine r(server.Port);
    r.m.Repeater_IP = "127.0.0.1";
    r.m.Port_Num = std::to_string(old_place.Port);

    EXPECT_TRUE(Check_Repeater(r.m, 0));
    EXPECT_EQ(r.m.Port_Num, std::to_string(new_place.Port));
    EXPECT_GE(new_place.Accept(5000), 0);
    EXPECT_FALSE(r.m.MsgBox_Loaded);
    EXPECT_TRUE(r.d.forms.live.empty());
    EXPECT_TRUE(std::filesystem::is_empty(Work.Path));

    // A single probe of the old place never asks the server.
    r.m.Port_Num = std::to_string(old_place.Port);
    r.Ftp.Agents.clear();
    EXPECT_FALSE(Check_Repeater(r.m, 1));
    EXPECT_TRUE(r.Ftp.Agents.empty());
}

}  // namespace
}  // namespace nrvnc
