// The probe and the download against real peers on loopback.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "repeater/download.h"
#include "repeater/frm_communications.h"
#include "repeater/probe.h"
#include "tests/support/real_machine.h"

namespace nrvnc {
namespace {

using namespace test;

TEST(Probe_Real, A_Listening_Repeater_Is_Found_And_Let_Go_At_Once) {
    for (const std::string host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        Loopback_Listener listener;
        listener.Listen();
        Real_Machine r;
        r.m.Repeater_IP = host;
        r.m.Port_Num = std::to_string(listener.Port);
        EXPECT_TRUE(Probe_Repeater(r.m));
        EXPECT_EQ(frmCommunications(r.m).Winsock1().State(), Socket_State::Closed);
        int accepted = listener.Accept();
        ASSERT_GE(accepted, 0);
        pollfd entry{accepted, POLLIN, 0};
        char byte;
        EXPECT_TRUE(poll(&entry, 1, 5000) == 1 && read(accepted, &byte, 1) == 0);  // closed
    }
}

TEST(Probe_Real, A_Closed_Port_Or_A_Silent_Repeater_Is_False_After_The_Full_Second) {
    for (auto [silent, across_the_wrap] : {std::pair{false, false}, {true, false}, {true, true}}) {
        SCOPED_TRACE(std::string(silent ? "never answers" : "closed port") +
                     (across_the_wrap ? " across the wrap" : ""));
        Loopback_Listener listener;
        if (silent) {
            ASSERT_TRUE(listener.Listen_Without_Answering());
        }
        // 300 ms before the wrap of the tick count.
        Real_Machine r(0, across_the_wrap ? 0xFFFFFED4u - Linux_Clock().Tick_Count() : 0u);
        r.m.Repeater_IP = "127.0.0.1";
        r.m.Port_Num = std::to_string(listener.Port);
        const uint32_t before = r.Clock_Service.Tick_Count();
        EXPECT_FALSE(Probe_Repeater(r.m));
        const uint32_t after = r.Clock_Service.Tick_Count();
        EXPECT_GT(after - before, 1000u);  // a refusal does not end the wait early
        if (across_the_wrap) {
            EXPECT_LT(after, before);
        }
        EXPECT_EQ(frmCommunications(r.m).Winsock1().State(), Socket_State::Closed);
    }
}

class Download_Real : public ::testing::Test {
  protected:
    Temp_Folder Work;
    Working_Directory_Guard In_Work{Work.Path};
};

TEST_F(Download_Real, The_Published_File_Replaces_The_Values_By_Either_Name) {
    Loopback_Ftp_Server server;
    server.Publish("10.20.30.40\n6123\nignored\n");
    // The second time the plain name leads where nothing listens.
    for (auto [plain_host, attempts] : {std::pair{"127.0.0.1", 1u}, {"127.0.0.2", 2u}}) {
        SCOPED_TRACE(plain_host);
        Write_Text(Work / "Repeater.Dat", "older copy\r\n1\r\n");
        Real_Machine r(server.Port);
        r.Network_Service.Ftp_Service.Plain_Host = plain_host;
        r.d.operator_.On_Message(3).Press(1);  // a notice would fail the test, not hang it
        EXPECT_TRUE(Get_Repeater_IP_File(r.m));
        EXPECT_EQ(r.m.Repeater_IP, "10.20.30.40");
        EXPECT_EQ(r.m.Port_Num, "6123");
        EXPECT_EQ(r.Network_Service.Ftp_Service.Servers.size(), attempts);
        EXPECT_EQ(r.m.FTP_Handle, 0u);
        EXPECT_TRUE(std::filesystem::is_empty(Work.Path));  // the copy is gone
        EXPECT_TRUE(r.d.forms.loaded_captions.empty());     // no notice
    }
}

TEST_F(Download_Real, Each_Failure_Shows_Its_Notice_And_Keeps_The_Values) {
    struct Case {
        const char* Password;
        bool Folder, File;
        const char* Step_Text;
    };
    for (const Case& c :
         {Case{"another password", true, true, "connecting to"},
          Case{Builtin::FTP_Password, false, false, "finding the file path on"},
          Case{Builtin::FTP_Password, true, false, "transferring the repeater IP file from"}}) {
        SCOPED_TRACE(c.Step_Text);
        Loopback_Ftp_Server server(c.Password);
        if (c.Folder) server.Publish(c.File ? "10.2.2.2\r\n6000\r\n" : nullptr);
        Write_Text(Work / "Repeater.Dat", "older copy\r\n1\r\n");
        Real_Machine r(server.Port);
        r.m.Repeater_IP = "10.1.1.5";
        r.m.Port_Num = "5901";
        r.d.operator_.On_Message(3).Press(1);

        EXPECT_FALSE(Get_Repeater_IP_File(r.m));
        EXPECT_TRUE(r.d.operator_.Done());
        ASSERT_EQ(r.d.seen.size(), 1u);
        const auto& texts = r.d.seen[0].Texts;
        EXPECT_EQ(std::count(texts.begin(), texts.end(),
                             std::string("  There was an error ") + c.Step_Text +
                                 " the Norvane FTP server.  "),
                  1);
        EXPECT_EQ(r.m.Repeater_IP, "10.1.1.5");
        EXPECT_EQ(r.m.Port_Num, "5901");
        EXPECT_EQ(r.m.FTP_Handle, 0u);
        // The older copy is cleaned up all the same, and nothing is left.
        EXPECT_TRUE(std::filesystem::is_empty(Work.Path));
    }
}

}  // namespace
}  // namespace nrvnc
