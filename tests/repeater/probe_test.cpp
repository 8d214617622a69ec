#include "repeater/probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "builtin_values.h"
#include "repeater/frm_communications.h"
#include "session/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using fake::Endpoint;

class Probe_Test : public ::testing::Test {
  protected:
    void SetUp() override {
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
    }

    // Milliseconds the fake clock moved during the call, wrap included.
    template <typename F>
    uint64_t Elapsed_During(F call) {
        uint64_t before = d.clock.elapsed_total;
        call();
        return d.clock.elapsed_total - before;
    }

    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

TEST_F(Probe_Test, An_Accepted_Connection_Is_True_And_Closed_At_Once) {
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 200};
    bool result = false;
    uint64_t elapsed = Elapsed_During([&] { result = Probe_Repeater(m); });

    EXPECT_TRUE(result);
    EXPECT_EQ(elapsed, 200u);  // no waiting after the connection was seen
    ASSERT_EQ(d.network.connections.size(), 1u);
    const auto& c = d.network.connections[0];
    EXPECT_EQ(c.Host, "10.1.1.5");
    EXPECT_EQ(c.Port, 5901);
    EXPECT_TRUE(c.Accepted);
    ASSERT_TRUE(c.Closed.has_value());
    EXPECT_EQ(*c.Closed - c.Started, 200u);
    EXPECT_EQ(m.frmCommunications().Winsock1().State(), Socket_State::Closed);
}

TEST_F(Probe_Test, An_Answer_At_Exactly_The_Limit_Still_Counts) {
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 1000};
    EXPECT_TRUE(Probe_Repeater(m));
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 1002};
    EXPECT_FALSE(Probe_Repeater(m));
}

TEST_F(Probe_Test, A_Refused_Or_Silent_Repeater_Is_False_Only_After_The_Full_Limit) {
    struct Case {
        const char* Name;
        std::optional<Endpoint> What;  // nullopt: nothing listed, never answers
    };
    const std::vector<Case> cases = {
        {"refused at once", Endpoint{Endpoint::Kind::Refuse, 1}},
        {"refused later", Endpoint{Endpoint::Kind::Refuse, 300}},
        {"never answers", Endpoint{Endpoint::Kind::Never_Answer, 0}},
        {"unknown endpoint", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fake::Fake_Desktop d;
        Misc m{d.platform()};
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
        if (c.What) d.network.endpoints["10.1.1.5:5901"] = *c.What;

        const uint32_t start = d.clock.now;
        EXPECT_FALSE(Probe_Repeater(m));
        // Strictly more than 1000 ms: the poll at 1000 went on.
        EXPECT_EQ(d.clock.now - start, 1001u);
        EXPECT_EQ(d.forms.do_events_calls, 1001u);
        ASSERT_EQ(d.network.connections.size(), 1u);
        ASSERT_TRUE(d.network.connections[0].Closed.has_value());
        EXPECT_EQ(*d.network.connections[0].Closed, start + 1001u);
    }
}

TEST_F(Probe_Test, A_Poll_At_Exactly_1000_Ms_Keeps_Waiting) {
    // Each round of events takes a whole second: the first ends at exactly
    // 1000 ms, which is not yet over the limit.
    d.forms.event_step_ms = 1000;
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Refuse, 1};
    EXPECT_FALSE(Probe_Repeater(m));
    EXPECT_EQ(d.forms.do_events_calls, 2u);
}

TEST_F(Probe_Test, The_Limit_Holds_Across_The_Wrap_Of_The_Tick_Count) {
    d.clock.now = 0xFFFFFE00;
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Never_Answer, 0};
    EXPECT_FALSE(Probe_Repeater(m));
    EXPECT_EQ(d.forms.do_events_calls, 1001u);
    EXPECT_EQ(d.clock.now, 0xFFFFFE00u + 1001u);  // wrapped past 0
    EXPECT_LT(d.clock.now, 0x1000u);

    // An answer that comes after the wrap is still seen.
    d.clock.now = 0xFFFFFF00;
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 700};
    EXPECT_TRUE(Probe_Repeater(m));
    EXPECT_EQ(d.clock.now, 0xFFFFFF00u + 700u);
}

TEST_F(Probe_Test, A_Port_Text_That_Is_No_Long_Is_False_At_Once) {
    const std::vector<std::string> ports = {"", "   ", "59a1", "5901x", "x5901", "0x1F", "59 01",
                                            "1e3", ".", "+", "5901..0", "2147483648",
                                            "99999999999999999999", "-2147483649",
                                            // converts, but no TCP port
                                            "65536", "-1", "70000"};
    for (const auto& port : ports) {
        SCOPED_TRACE("port '" + port + "'");
        fake::Fake_Desktop d;
        Misc m{d.platform()};
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = port;
        d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 1};
        const uint32_t start = d.clock.now;
        EXPECT_FALSE(Probe_Repeater(m));
        EXPECT_EQ(d.clock.now, start);
        EXPECT_TRUE(d.network.connections.empty());
        EXPECT_EQ(m.frmCommunications().Winsock1().State(), Socket_State::Closed);
    }
}

TEST_F(Probe_Test, Port_Texts_Convert_Like_A_Long) {
    const std::vector<std::pair<std::string, int32_t>> ports = {
        {"5901", 5901},   {" 5901 ", 5901}, {"\t5901", 5901}, {"+5901", 5901},  {"05901", 5901},
        {"5900.6", 5901}, {"5901.4", 5901}, {"5900.5", 5900}, {"5901.5", 5902}, {"5900.51", 5901},
        {".9", 1},        {"0", 0},         {"65535", 65535}, {"-0", 0},
    };
    for (const auto& [text, port] : ports) {
        SCOPED_TRACE("port '" + text + "'");
        fake::Fake_Desktop d;
        Misc m{d.platform()};
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = text;
        d.network.endpoints["10.1.1.5:" + std::to_string(port)] = {Endpoint::Kind::Accept, 3};
        EXPECT_TRUE(Probe_Repeater(m));
        ASSERT_EQ(d.network.connections.size(), 1u);
        EXPECT_EQ(d.network.connections[0].Port, port);
    }
}

TEST_F(Probe_Test, A_Host_That_Cannot_Be_Resolved_Is_False_At_Once) {
    m.Repeater_IP = "no.such.host";
    d.network.unresolvable.insert("no.such.host");
    const uint32_t start = d.clock.now;
    EXPECT_FALSE(Probe_Repeater(m));
    EXPECT_EQ(d.clock.now, start);
    EXPECT_EQ(m.frmCommunications().Winsock1().State(), Socket_State::Closed);
}

TEST_F(Probe_Test, The_Socket_Is_Closed_Before_Probing) {
    // Left connecting by someone else: the probe must not fail on it.
    d.network.endpoints["10.9.9.9:1234"] = {Endpoint::Kind::Never_Answer, 0};
    Tcp_Socket& socket = m.frmCommunications().Winsock1();
    socket.Set_Remote_Host("10.9.9.9");
    socket.Set_Remote_Port(1234);
    socket.Connect();
    ASSERT_EQ(socket.State(), Socket_State::Connecting);

    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 10};
    EXPECT_TRUE(Probe_Repeater(m));
    ASSERT_EQ(d.network.connections.size(), 2u);
    EXPECT_TRUE(d.network.connections[0].Closed.has_value());
    EXPECT_TRUE(d.network.connections[1].Closed.has_value());
    // One socket for the whole run.
    EXPECT_EQ(d.network.sockets_created, 1);
}

// ---- Check_Repeater ----

class Check_Repeater_Test : public Probe_Test {
  protected:
    static constexpr const char* Stand_By = "     Stand by. Configuring connection.     ";

    int Message_Loads() const {
        int n = 0;
        for (const auto& caption : d.forms.loaded_captions)
            if (caption == "  Norvane") ++n;
        return n;
    }
    bool Any_Form_Live() const { return !d.forms.live.empty(); }
    // The stand-by notice is shown disabled, so Message_Form does not find it.
    bool Stand_By_Up() const {
        for (auto* f : d.forms.live) {
            const std::string caption = f->Caption();
            const std::string tail = "Message # 1";
            if (f->Visible() && caption.size() >= tail.size() &&
                caption.compare(caption.size() - tail.size(), tail.size(), tail) == 0) {
                const auto s = d.Snapshot(*f);
                return std::find(s.Texts.begin(), s.Texts.end(), Stand_By) != s.Texts.end();
            }
        }
        return false;
    }
};

TEST_F(Check_Repeater_Test, A_Single_Probe_Shows_Nothing_And_Never_Downloads) {
    d.network.ftp.servers[Builtin::FTP_Server_Name] =
        fake::Fake_Ftp_Server{.File = std::string("10.2.2.2\r\n6000\r\n")};
    d.network.endpoints["10.2.2.2:6000"] = {Endpoint::Kind::Accept, 1};

    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Refuse, 1};
    EXPECT_FALSE(Check_Repeater(m, 1));
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 1};
    EXPECT_TRUE(Check_Repeater(m, 1));
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Never_Answer, 0};
    EXPECT_FALSE(Check_Repeater(m, 7));

    EXPECT_TRUE(d.forms.loaded_captions.empty());
    EXPECT_TRUE(d.network.ftp.calls.empty());
    EXPECT_EQ(d.network.connections.size(), 3u);
    EXPECT_EQ(m.Repeater_IP, "10.1.1.5");
    EXPECT_EQ(m.Port_Num, "5901");
}

TEST_F(Check_Repeater_Test, A_Stored_Repeater_That_Answers_Needs_No_Download) {
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Accept, 20};
    bool stand_by_up_while_probing = false;
    d.At(10, [&] { stand_by_up_while_probing = Stand_By_Up(); });

    EXPECT_TRUE(Check_Repeater(m, 0));
    EXPECT_TRUE(stand_by_up_while_probing);
    EXPECT_EQ(Message_Loads(), 1);
    EXPECT_TRUE(d.network.ftp.calls.empty());
    EXPECT_FALSE(m.MsgBox_Loaded);
    EXPECT_FALSE(Any_Form_Live());
}

TEST_F(Check_Repeater_Test, A_Fresh_Address_From_The_Server_Is_Probed_And_Kept) {
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Refuse, 1};
    d.network.ftp.servers[Builtin::FTP_Server_Name] =
        fake::Fake_Ftp_Server{.File = std::string("10.2.2.2\n6000\n")};
    d.network.endpoints["10.2.2.2:6000"] = {Endpoint::Kind::Accept, 40};

    EXPECT_TRUE(Check_Repeater(m, 0));
    EXPECT_EQ(m.Repeater_IP, "10.2.2.2");
    EXPECT_EQ(m.Port_Num, "6000");
    ASSERT_EQ(d.network.connections.size(), 2u);
    EXPECT_EQ(d.network.connections[1].Host, "10.2.2.2");
    EXPECT_EQ(d.network.connections[1].Port, 6000);
    EXPECT_TRUE(d.network.connections[1].Closed.has_value());
    EXPECT_EQ(d.files.files.count("Repeater.Dat"), 0u);
    EXPECT_EQ(Message_Loads(), 1);  // the stand-by notice only
    EXPECT_FALSE(m.MsgBox_Loaded);
    EXPECT_FALSE(Any_Form_Live());
}

TEST_F(Check_Repeater_Test, A_Fetched_Repeater_That_Is_Down_As_Well_Is_Not_Found) {
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Refuse, 1};
    d.network.ftp.servers[Builtin::FTP_Server_Name] =
        fake::Fake_Ftp_Server{.File = std::string("10.2.2.2\r\n6000\r\n")};
    d.network.endpoints["10.2.2.2:6000"] = {Endpoint::Kind::Refuse, 1};

    EXPECT_FALSE(Check_Repeater(m, 0));
    EXPECT_EQ(m.Repeater_IP, "10.2.2.2");  // the fetched values stay for editing
    EXPECT_EQ(m.Port_Num, "6000");
    EXPECT_EQ(d.network.connections.size(), 2u);
    EXPECT_EQ(Message_Loads(), 1);
    EXPECT_FALSE(m.MsgBox_Loaded);
}

TEST_F(Check_Repeater_Test, A_Failed_Download_Shows_One_Notice_After_The_Stand_By_Is_Gone) {
    d.network.endpoints["10.1.1.5:5901"] = {Endpoint::Kind::Refuse, 1};
    d.network.ftp.servers[Builtin::FTP_Server_Name] =
        fake::Fake_Ftp_Server{.Has_Folder = false, .File = std::nullopt};

    std::size_t live_with_notice = 0;
    bool stand_by_seen = false;
    d.At(500, [&] { stand_by_seen = Stand_By_Up(); });
    d.operator_.On_Message(3).Run([&] { live_with_notice = d.forms.live.size(); }).Press(1);

    EXPECT_FALSE(Check_Repeater(m, 0));
    EXPECT_TRUE(d.operator_.Done());
    EXPECT_TRUE(stand_by_seen);
    EXPECT_EQ(live_with_notice, 1u);  // the notice alone: no stand-by behind it
    ASSERT_EQ(d.seen.size(), 1u);
    const auto& texts = d.seen[0].Texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "  There was an error finding the file path on the Norvane FTP server.  "),
              texts.end());
    EXPECT_EQ(d.seen[0].Buttons, (std::map<int, std::string>{{1, "&OK"}}));
    EXPECT_EQ(Message_Loads(), 2);                // the stand-by, then the notice
    EXPECT_EQ(d.network.connections.size(), 1u);  // no second probe
    EXPECT_EQ(m.Repeater_IP, "10.1.1.5");
    EXPECT_EQ(m.Port_Num, "5901");
    EXPECT_FALSE(m.MsgBox_Loaded);
    EXPECT_FALSE(Any_Form_Live());
}

}  // namespace
}  // namespace nrvnc
