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

TEST(Greeting, Tells_Rfb_From_A_Repeater_Another_Server_And_The_Plug_In) {
    using K = Greeting_Kind;
    for (auto [bytes, kind] : std::vector<std::pair<std::string, K>>{
             {"RFB 003.008\n", K::Rfb},      {"RFB 003.003\n", K::Rfb},
             {"RFB 000.000\n", K::Repeater_Hello}, {"RFB 004.001\n", K::Other_Rfb},
             {"RFB 003.00x\n", K::Text},     {"SSH-2.0-Open", K::Text},
             {"", K::Text},                  {"\x80\x13\xfe\x01RFB", K::Encrypted}}) {
        EXPECT_EQ(Classify_Greeting(bytes), kind) << bytes;
    }
    EXPECT_EQ(Greeting_Failure(K::Encrypted, "\x80"),
              "This viewer cannot speak the encryption plug-in the remote side requires.");
}

// Each step: 'S' bytes from the server, 'V' bytes from TigerVNC.
struct Case {
    const char* Name;
    std::string Version;
    std::vector<std::pair<char, std::string>> Steps;
    Handshake::State Outcome;
    std::string Failure_Or_Passed_On;  // the failure, or all passed on to TigerVNC
};

TEST(Handshake, Follows_3_3_3_7_And_3_8_To_The_Servers_Init_Whatever_The_Pieces) {
    using S = Handshake::State;
    const std::vector<Case> cases = {
        {"3.8 none, types cut down", "008",
         {{'V', "RFB 003.008\n"}, {'S', "\x03\x10\x01\x12"}, {'V', "\x01"}, {'S', U32(0)},
          {'V', "\x01"}, {'S', Init + "more"}},
         S::Established, std::string("\x01\x01", 2) + U32(0) + Init + "more"},
        {"3.8 password refused", "008",
         {{'V', "RFB 003.008\n"}, {'S', "\x01\x02"}, {'V', "\x02"}, {'S', Challenge},
          {'V', Challenge}, {'S', U32(1) + U32(6) + "denied"}},
         S::Failed, "The server refused the password."},
        {"3.3 password", "003",
         {{'V', "RFB 003.003\n"}, {'S', U32(2) + Challenge}, {'V', Challenge}, {'S', U32(0)},
          {'V', std::string(1, '\0')}, {'S', Init}},
         S::Established, U32(2) + Challenge + U32(0) + Init},
        {"3.7 none has no result", "007",
         {{'V', "RFB 003.007\n"}, {'S', "\x01\x01"}, {'V', "\x01"}, {'V', "\x01"}, {'S', Init}},
         S::Established, std::string("\x01\x01", 2) + Init},
        {"3.8 server answers 3.3 viewer", "008",
         {{'V', "RFB 003.003\n"}, {'S', U32(1)}, {'V', "\x01"}, {'S', Init}},
         S::Established, U32(1) + Init},
        {"only TLS offered", "008", {{'V', "RFB 003.008\n"}, {'S', "\x01\x12"}}, S::Failed,
         "The server requires a kind of security this viewer cannot use."},
        {"refused with a reason", "008",
         {{'V', "RFB 003.008\n"}, {'S', std::string(1, '\0') + U32(8) + "too many"}}, S::Failed,
         "The server refused the connection: too many"},
        {"server stops before its init", "008",
         {{'V', "RFB 003.008\n"}, {'S', "\x01\x01"}, {'V', "\x01"}, {'S', U32(0)}, {'V', "\x01"},
          {'S', Init.substr(0, 23)}},
         S::Running, std::string("\x01\x01", 2) + U32(0)},
    };
    for (const Case& c : cases) {
        for (bool byte_by_byte : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (byte_by_byte ? ", byte by byte" : ""));
            Handshake h("RFB 003." + c.Version + "\n");
            std::string passed_on;
            for (const auto& [side, bytes] : c.Steps) {
                for (std::size_t i = 0; i < bytes.size(); i += byte_by_byte ? 1 : bytes.size()) {
                    const std::string piece = bytes.substr(i, byte_by_byte ? 1 : bytes.size());
                    side == 'S' ? void(passed_on += h.From_Server(piece)) : h.From_Viewer(piece);
                }
            }
            EXPECT_EQ(h.Outcome(), c.Outcome);
            EXPECT_EQ(c.Outcome == S::Failed ? h.Failure() : passed_on, c.Failure_Or_Passed_On);
        }
    }
}

}  // namespace
}  // namespace adapter
