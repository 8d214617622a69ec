// The probe, the search and the download of the repeater, on the fake desktop.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "repeater/download.h"
#include "repeater/frm_communications.h"
#include "repeater/probe.h"
#include "session/state/misc.h"
#include "tests/fake/fake_desktop.h"

namespace nrvnc {
namespace {

using fake::Endpoint;
using Ftp = fake::Fake_Ftp_Server;
using Kind = Endpoint::Kind;

std::string Step_Notice(const char* step) {
    return std::string("  There was an error ") + step + " the Norvane FTP server.  ";
}

// A program on the fake desktop, with the stored repeater 10.1.1.5:5901 and
// the FTP server as given (nullopt: no such server).
struct Program {
    explicit Program(std::optional<Ftp> server = std::nullopt) {
        m.Repeater_IP = "10.1.1.5";
        m.Port_Num = "5901";
        d.network.ftp.server = server;
    }
    fake::Fake_Desktop d;
    Misc m{d.platform()};
};

// An answer counts until strictly more than 1000 ms have passed, across the
// tick wrap too, and the socket is closed at once. The port text converts
// like a Long; a bad port or an unknown host fails at once, untried.
TEST(Probe, An_Answer_Counts_Until_Strictly_More_Than_1000_Ms_A_Bad_Port_Fails_At_Once) {
    struct Case {
        const char* Port;
        Endpoint What;  // of 10.1.1.5 at the port tried
        uint32_t Start;
        int32_t Tried;  // the port; 0: none
        bool Found;
        uint32_t Elapsed;
    };
    for (const Case& c : {
             Case{"5901", {Kind::Accept_Then_Reset, 200}, 1000, 5901, true, 200},
             Case{"5901", {Kind::Accept, 1000}, 1000, 5901, true, 1000},
             Case{"5901", {Kind::Accept, 1002}, 1000, 5901, false, 1001},
             Case{"5901", {Kind::Refuse, 1}, 0xFFFFFE00, 5901, false, 1001},
             Case{"5901", {Kind::Accept, 700}, 0xFFFFFF00, 5901, true, 700},
             Case{" 5901 ", {}, 1000, 5901, true, 5},
             Case{"5901.5", {}, 1000, 5902, true, 5},
             Case{"5900.5", {}, 1000, 5900, true, 5},
             Case{"", {}, 1000, 0, false, 0},
             Case{"59a1", {}, 1000, 0, false, 0},
             Case{"99999999999999999999", {}, 1000, 0, false, 0},
             Case{"65536", {}, 1000, 0, false, 0},
             Case{"-1", {}, 1000, 0, false, 0},
         }) {
        SCOPED_TRACE(std::string("port '") + c.Port + "' from " + std::to_string(c.Start));
        Program r;
        r.d.clock.now = c.Start;
        r.m.Port_Num = c.Port;
        r.d.network.endpoints["10.1.1.5:" + std::to_string(c.Tried)] = c.What;
        EXPECT_EQ(Probe_Repeater(r.m), c.Found);
        EXPECT_EQ(r.d.clock.now, static_cast<uint32_t>(c.Start + c.Elapsed));
        const auto& tried = r.d.network.connections;
        ASSERT_EQ(tried.size(), c.Tried ? 1u : 0u);
        if (c.Tried) {
            EXPECT_EQ(tried[0].Port, c.Tried);
            EXPECT_EQ(tried[0].Closed, r.d.clock.now);  // closed right away
        }
        EXPECT_EQ(frmCommunications(r.m).Winsock1().State(), Socket_State::Closed);
    }
    Program r;
    r.m.Repeater_IP = "no.such.host";
    r.d.network.unresolvable.insert("no.such.host");
    EXPECT_FALSE(Probe_Repeater(r.m));
    EXPECT_EQ(r.d.clock.now, 1000u);
}

// The stand-by notice only where a download may follow, gone at the end;
// fetched values stay even when that repeater is down too.
TEST(Check_Repeater, Stand_By_Only_Before_A_Download_And_Gone_After) {
    for (uint8_t probe_only : {0, 1}) {
        Program r(Ftp{.File = "10.2.2.2\n6000\n"});  // neither repeater answers
        bool stand_by = false;
        r.d.At(10, [&] { stand_by = r.m.MsgBox_Loaded; });
        EXPECT_FALSE(Check_Repeater(r.m, probe_only));
        EXPECT_EQ(stand_by, probe_only == 0);
        EXPECT_FALSE(r.m.MsgBox_Loaded);
        EXPECT_EQ(r.m.Repeater_IP + ":" + r.m.Port_Num,
                  probe_only ? "10.1.1.5:5901" : "10.2.2.2:6000");
    }
}

TEST(Download, Each_Failing_Step_Shows_Its_Own_Notice_Once_And_Keeps_The_Values) {
    struct Case {
        const char* Name;
        std::optional<Ftp> Server;
        const char* Step;
    };
    const std::string file = "10.2.2.2\r\n6000\r\n";
    for (const Case& c : {
             Case{"server unknown", std::nullopt, "connecting to"},
             Case{"no folder", Ftp{.Has_Folder = false, .File = file}, "finding the file path on"},
             Case{"no file", Ftp{}, "transferring the repeater IP file from"},
             // No repeater file is that large: nothing of it is kept.
             Case{"larger than 64 KiB", Ftp{.File = file + std::string(64 * 1024, 'x')},
                  "transferring the repeater IP file from"},
         }) {
        SCOPED_TRACE(c.Name);
        Program r(c.Server);
        r.d.files.files["Repeater.Dat"] = "older copy\r\n1\r\n";
        r.d.operator_.On_Message(3).Press(1);
        EXPECT_FALSE(Get_Repeater_IP_File(r.m));
        ASSERT_EQ(r.d.seen.size(), 1u);
        EXPECT_EQ(r.d.seen[0].Texts.at(1), Step_Notice(c.Step));  // message 3's one line
        EXPECT_EQ(r.m.Repeater_IP + ":" + r.m.Port_Num, "10.1.1.5:5901");
        EXPECT_EQ(r.m.FTP_Handle, 0u);
        EXPECT_TRUE(r.d.network.ftp.open_handles.empty());
        EXPECT_EQ(r.d.files.files.count("Repeater.Dat"), 0u);  // the leftover went all the same
    }
}

// A line is taken only when it passes the check a typed value passes; a
// line that fails, or is missing, keeps the old value.
TEST(Download, Only_Lines_That_Pass_The_Typed_Checks_Are_Taken) {
    const std::string big(60000, 'x');  // within the download's bound
    struct Case {
        const char* Name;
        std::string Content;  // as the server stores it (LF is sent as CR LF)
        const char* Expected;
    };
    for (const Case& c : {
             Case{"more lines are ignored", "10.2.2.2\n6000\nthird\n", "10.2.2.2:6000"},
             Case{"one line", "10.2.2.2\n", "10.2.2.2:5901"},
             Case{"empty", "", "10.1.1.5:5901"},
             Case{"a signed port", "10.2.2.2\n+6000\n", "10.2.2.2:5901"},
             Case{"a blank before the address", " 10.2.2.2\n6000\n", "10.1.1.5:6000"},
             Case{"two lines, then a lot", "10.2.2.2\n6000\n" + big, "10.2.2.2:6000"},
             // Read as far as 4096 bytes: a line ending at the file's end there counts.
             Case{"4096 bytes", std::string(4090, '1') + "\n6000", "10.1.1.5:6000"},
             Case{"4097 bytes", std::string(4091, '1') + "\n6000", "10.1.1.5:5901"},
         }) {
        SCOPED_TRACE(c.Name);
        Program r(Ftp{.File = c.Content});
        EXPECT_TRUE(Get_Repeater_IP_File(r.m));
        EXPECT_EQ(r.m.Repeater_IP + ":" + r.m.Port_Num, c.Expected);
    }
}

}  // namespace
}  // namespace nrvnc
