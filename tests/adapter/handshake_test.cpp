// The adapter's reading of the RFB protocol: greetings, and the handshake
// it follows to decide the outcome of a connection.
#include "adapter/handshake.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace adapter {
namespace {

std::string U32(uint32_t n) {
    return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
            static_cast<char>(n)};
}

const std::string Init = std::string(20, '\x01') + U32(4) + "desk";  // size, format, name
const std::string Challenge(16, 'c');

TEST(Greeting, Tells_Another_Rfb_Version_And_A_Garbled_One) {
    using K = Greeting_Kind;
    // Plain RFB, the repeater, text and the plug-in are the adapter's
    // whole-program runs' (tests/e2e/adapter_test.py).
    for (auto [greeting, kind] :
         {std::pair{"RFB 004.001\n", K::Other_Rfb}, {"RFB 003.00x\n", K::Text}})
        EXPECT_EQ(Classify_Greeting(greeting), kind) << greeting;
}

// The steps alternate: TigerVNC's bytes first, then the server's, and so on.
struct Case {
    const char* Name;
    std::string Version;
    std::vector<std::string> Steps;
    Handshake::State Outcome;
    std::string Failure_Or_Passed_On;  // the failure, or all passed on to TigerVNC
};

TEST(Handshake, Follows_3_3_3_7_And_3_8_To_The_Servers_Init_Whatever_The_Pieces) {
    using S = Handshake::State;
    const std::string v8 = "RFB 003.008\n", none = "\x01", none_only = "\x01\x01";
    const std::vector<Case> cases = {
        {"3.8 none, types cut down",
         "008",
         {v8, "\x03\x10\x01\x12", none, U32(0), "\x01", Init + "more"},
         S::Established,
         none_only + U32(0) + Init + "more"},
        {"3.3 password",
         "003",
         {"RFB 003.003\n", U32(2) + Challenge, Challenge, U32(0), std::string(1, '\0'), Init},
         S::Established,
         U32(2) + Challenge + U32(0) + Init},
        {"3.7 none has no result",
         "007",
         {"RFB 003.007\n", none_only, none_only, Init},
         S::Established,
         none_only + Init},
        {"only TLS offered",
         "008",
         {v8, "\x01\x12"},
         S::Failed,
         "The server requires a kind of security this viewer cannot use."},
        {"server stops before its init",
         "008",
         {v8, none_only, none, U32(0), none, Init.substr(0, 23)},
         S::Running,
         none_only + U32(0)},
    };
    for (const Case& c : cases) {
        for (bool byte_by_byte : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (byte_by_byte ? ", byte by byte" : ""));
            Handshake h("RFB 003." + c.Version + "\n");
            std::string passed_on;
            for (std::size_t step = 0; step < c.Steps.size(); ++step) {
                const std::string& bytes = c.Steps[step];
                for (std::size_t i = 0; i < bytes.size(); i += byte_by_byte ? 1 : bytes.size()) {
                    const std::string piece = bytes.substr(i, byte_by_byte ? 1 : bytes.size());
                    step % 2 ? void(passed_on += h.From_Server(piece)) : h.From_Viewer(piece);
                }
            }
            EXPECT_EQ(h.Outcome(), c.Outcome);
            EXPECT_EQ(c.Outcome == S::Failed ? h.Failure() : passed_on, c.Failure_Or_Passed_On);
        }
    }
}

}  // namespace
}  // namespace adapter
