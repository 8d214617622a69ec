#include "repeater/probe.h"

#include <gtest/gtest.h>

#include <algorithm>
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
using Kind = Endpoint::Kind;

// A program on the fake desktop, aimed at the stored repeater 10.1.1.5:5901.
struct Program {
    Program() {
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
    }
    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

TEST(Probe, An_Answer_Counts_Until_Strictly_More_Than_1000_Ms_Have_Passed) {
    struct Case {
        const char* Name;
        std::optional<Endpoint> What;  // nullopt: an endpoint nobody knows
        uint32_t Start;
        bool Found;
        uint32_t Elapsed;
    };
    for (const Case& c : {
             Case{"accepted", Endpoint{Kind::Accept, 200}, 1000, true, 200},
             Case{"accepted at the limit", Endpoint{Kind::Accept, 1000}, 1000, true, 1000},
             Case{"accepted too late", Endpoint{Kind::Accept, 1002}, 1000, false, 1001},
             Case{"refused at once", Endpoint{Kind::Refuse, 1}, 1000, false, 1001},
             Case{"never answers", Endpoint{Kind::Never_Answer, 0}, 1000, false, 1001},
             Case{"unknown", std::nullopt, 1000, false, 1001},
             Case{"never answers across the wrap", Endpoint{Kind::Never_Answer, 0}, 0xFFFFFE00,
                  false, 1001},
             Case{"accepted after the wrap", Endpoint{Kind::Accept, 700}, 0xFFFFFF00, true, 700},
         }) {
        SCOPED_TRACE(c.Name);
        Program r;
        r.d.clock.now = c.Start;
        if (c.What) r.d.network.endpoints["10.1.1.5:5901"] = *c.What;
        EXPECT_EQ(Probe_Repeater(r.m), c.Found);
        EXPECT_EQ(r.d.clock.now, static_cast<uint32_t>(c.Start + c.Elapsed));
        ASSERT_EQ(r.d.network.connections.size(), 1u);
        EXPECT_EQ(r.d.network.connections[0].Closed, r.d.clock.now);  // closed right away
        EXPECT_EQ(r.m.frmCommunications().Winsock1().State(), Socket_State::Closed);
    }
}

TEST(Probe, A_Port_Text_Converts_Like_A_Long_And_A_Bad_One_Fails_At_Once) {
    struct Case {
        const char* Host;
        const char* Port;
        int32_t Probed_Port;  // 0: no attempt at all
    };
    for (const Case& c :
         {Case{"10.1.1.5", " 5901 ", 5901}, Case{"10.1.1.5", "5901.5", 5902},
          Case{"10.1.1.5", "5900.5", 5900}, Case{"10.1.1.5", "", 0}, Case{"10.1.1.5", "59a1", 0},
          Case{"10.1.1.5", "99999999999999999999", 0}, Case{"10.1.1.5", "65536", 0},
          Case{"10.1.1.5", "-1", 0}, Case{"no.such.host", "5901", 0}}) {
        SCOPED_TRACE(std::string(c.Host) + " '" + c.Port + "'");
        Program r;
        r.m.Repeater_IP = c.Host;
        r.m.Port_Num = c.Port;
        r.d.network.unresolvable.insert("no.such.host");
        r.d.network.endpoints["10.1.1.5:" + std::to_string(c.Probed_Port)] = {Kind::Accept, 3};
        const uint32_t start = r.d.clock.now;
        EXPECT_EQ(Probe_Repeater(r.m), c.Probed_Port != 0);
        if (c.Probed_Port != 0) {
            ASSERT_EQ(r.d.network.connections.size(), 1u);
            EXPECT_EQ(r.d.network.connections[0].Port, c.Probed_Port);
        } else {
            EXPECT_EQ(r.d.clock.now, start);  // no waiting
            EXPECT_EQ(r.m.frmCommunications().Winsock1().State(), Socket_State::Closed);
        }
    }
}

// Whether a visible form shows the text.
bool Shows(const fake::Fake_Desktop& d, const std::string& text) {
    return std::any_of(d.forms.live.begin(), d.forms.live.end(), [&](auto* f) {
        const auto texts = d.Snapshot(*f).Texts;
        return f->Visible() && std::count(texts.begin(), texts.end(), text) > 0;
    });
}
const std::string Stand_By = "     Stand by. Configuring connection.     ";

TEST(Check_Repeater, A_Single_Probe_Shows_Nothing_And_Never_Downloads) {
    Program r;
    r.d.network.ftp.servers[Builtin::FTP_Server_Name] = {.File = "10.2.2.2\r\n6000\r\n"};
    r.d.network.endpoints["10.2.2.2:6000"] = {Kind::Accept, 1};
    for (auto [what, found] : {std::pair{Kind::Refuse, false}, {Kind::Accept, true}}) {
        r.d.network.endpoints["10.1.1.5:5901"] = {what, 1};
        EXPECT_EQ(Check_Repeater(r.m, 1), found);
    }
    EXPECT_TRUE(r.d.forms.loaded_captions.empty());
    EXPECT_TRUE(r.d.network.ftp.calls.empty());
    EXPECT_EQ(r.m.Repeater_IP, "10.1.1.5");
}

TEST(Check_Repeater, The_Stored_Repeater_Or_Else_The_Fetched_One_Is_Probed) {
    struct Case {
        Kind Stored, Fetched;
        bool Found, Downloads;
    };
    for (const Case& c : {Case{Kind::Accept, Kind::Accept, true, false},
                          Case{Kind::Refuse, Kind::Accept, true, true},
                          Case{Kind::Refuse, Kind::Refuse, false, true}}) {
        SCOPED_TRACE(static_cast<int>(c.Stored) * 10 + static_cast<int>(c.Fetched));
        Program r;
        r.d.network.ftp.servers[Builtin::FTP_Server_Name] = {.File = "10.2.2.2\n6000\n"};
        r.d.network.endpoints["10.1.1.5:5901"] = {c.Stored, 20};
        r.d.network.endpoints["10.2.2.2:6000"] = {c.Fetched, 20};
        bool stand_by_while_probing = false;
        r.d.At(10, [&] { stand_by_while_probing = Shows(r.d, Stand_By); });

        EXPECT_EQ(Check_Repeater(r.m, 0), c.Found);
        EXPECT_TRUE(stand_by_while_probing);
        // Fetched values stay, even when that repeater is down too.
        EXPECT_EQ(r.m.Repeater_IP, c.Downloads ? "10.2.2.2" : "10.1.1.5");
        EXPECT_EQ(r.m.Port_Num, c.Downloads ? "6000" : "5901");
        EXPECT_EQ(r.d.network.ftp.calls.empty(), !c.Downloads);
        EXPECT_EQ(r.d.network.connections.size(), c.Downloads ? 2u : 1u);
        EXPECT_EQ(r.d.forms.loaded_captions.size(), 1u);  // the stand-by notice only
        EXPECT_FALSE(r.m.MsgBox_Loaded);
        EXPECT_TRUE(r.d.forms.live.empty());
    }
}

TEST(Check_Repeater, A_Failed_Download_Shows_One_Notice_After_The_Stand_By_Is_Gone) {
    Program r;
    r.d.network.endpoints["10.1.1.5:5901"] = {Kind::Refuse, 1};
    r.d.network.ftp.servers[Builtin::FTP_Server_Name] = {.Has_Folder = false, .File = std::nullopt};
    bool stand_by_seen = false;
    r.d.At(500, [&] { stand_by_seen = Shows(r.d, Stand_By); });
    std::size_t live_with_notice = 0;
    r.d.operator_.On_Message(3).Run([&] { live_with_notice = r.d.forms.live.size(); }).Press(1);

    EXPECT_FALSE(Check_Repeater(r.m, 0));
    EXPECT_TRUE(r.d.operator_.Done());
    EXPECT_TRUE(stand_by_seen);
    EXPECT_EQ(live_with_notice, 1u);  // the notice alone: no stand-by behind it
    ASSERT_EQ(r.d.seen.size(), 1u);
    const auto& texts = r.d.seen[0].Texts;
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         "  There was an error finding the file path on the Norvane FTP server.  "),
              1);
    EXPECT_EQ(r.d.seen[0].Buttons, (std::map<int, std::string>{{1, "&OK"}}));
    EXPECT_EQ(r.d.network.connections.size(), 1u);  // no second probe
    EXPECT_EQ(r.m.Repeater_IP, "10.1.1.5");
    EXPECT_FALSE(r.m.MsgBox_Loaded);
    EXPECT_TRUE(r.d.forms.live.empty());
}

}  // namespace
}  // namespace nrvnc
