#include "adapter/handshake.h"

#include <algorithm>
#include <cstdint>

namespace adapter {

namespace {

constexpr std::size_t Greeting_Size = 12;
constexpr std::size_t Text_Limit = 64 * 1024;  // a reason or a desktop name

bool Is_Digit(char c) {
    return c >= '0' && c <= '9';
}

// "RFB ddd.ddd\n"
bool Is_Version(const std::string& bytes) {
    if (bytes.size() != Greeting_Size || bytes.compare(0, 4, "RFB ") != 0 || bytes[7] != '.' ||
        bytes[11] != '\n')
        return false;
    for (std::size_t i : {4, 5, 6, 8, 9, 10})
        if (!Is_Digit(bytes[i])) return false;
    return true;
}

uint32_t Big_Endian_32(const std::string& bytes, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A server's words in one printable line of bounded length.
std::string One_Line(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) c = ' ';
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text.size() > 160 ? text.substr(0, 160) + "..." : text;
}

}  // namespace

Greeting_Kind Classify_Greeting(const std::string& bytes) {
    if (bytes == "RFB 000.000\n") return Greeting_Kind::Repeater_Hello;
    if (Is_Version(bytes))
        return bytes.compare(4, 6, "003.00") == 0 ? Greeting_Kind::Rfb : Greeting_Kind::Other_Rfb;
    const bool readable = std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return (c >= 0x20 && c <= 0x7e) || c == '\r' || c == '\n' || c == '\t';
    });
    return readable ? Greeting_Kind::Text : Greeting_Kind::Encrypted;
}

std::string Greeting_Failure(Greeting_Kind kind, const std::string& bytes) {
    switch (kind) {
        case Greeting_Kind::Encrypted:
            return "This viewer cannot speak the encryption plug-in the remote side requires.";
        case Greeting_Kind::Other_Rfb:
            return "The server speaks RFB " + bytes.substr(4, 7) + ", which this viewer cannot.";
        default:
            return "The remote side is not a VNC server.";
    }
}

Handshake::Handshake(const std::string& greeting)
    : Server_Minor_(Is_Version(greeting) ? greeting[10] - '0' : 3) {}

std::string Handshake::From_Server(const std::string& bytes) {
    if (State_ == State::Established) return bytes;
    Server_ += bytes;
    Advance();
    std::string out;
    out.swap(To_Viewer_);
    return out;
}

void Handshake::From_Viewer(const std::string& bytes) {
    if (State_ != State::Running) return;
    Viewer_ += bytes;
    Advance();
}

bool Handshake::Take(std::string& from, std::size_t count, std::string& out) {
    if (from.size() < count) return false;
    out = from.substr(0, count);
    from.erase(0, count);
    return true;
}

// A reason: its 32-bit length, then the text.
bool Handshake::Take_Reason(std::string& text) {
    if (Server_.size() < 4) return false;
    const uint32_t length = Big_Endian_32(Server_, 0);
    if (length > Text_Limit) {
        text = "(an overlong reason)";
        return true;
    }
    if (Server_.size() < 4 + length) return false;
    text = One_Line(Server_.substr(4, length));
    Server_.erase(0, 4 + length);
    return true;
}

void Handshake::Fail(const std::string& why) {
    State_ = State::Failed;
    Failure_ = why;
}

void Handshake::Advance() {
    std::string m;
    while (State_ == State::Running) {
        switch (Step_) {
            case Step::Viewer_Version: {
                if (!Take(Viewer_, Greeting_Size, m)) return;
                if (Classify_Greeting(m) != Greeting_Kind::Rfb)
                    return Fail("TigerVNC answered with an unknown protocol version.");
                // 3.4 to 3.6 are spoken as 3.3; later minor versions as 3.8.
                Minor_ = std::min({Server_Minor_, m[10] - '0', 8});
                if (Minor_ < 7) Minor_ = 3;
                Step_ = Step::Security_Types;
                break;
            }
            case Step::Security_Types: {
                if (Minor_ == 3) {  // the server chooses
                    if (!Take(Server_, 4, m)) return;
                    To_Viewer_ += m;
                    Type_ = static_cast<int>(Big_Endian_32(m, 0));
                    if (Type_ != 0 && Type_ != 1 && Type_ != 2)
                        return Fail(
                            "The server requires a kind of security this viewer cannot use.");
                    Step_ = Type_ == 0   ? Step::Failure_Reason
                            : Type_ == 2 ? Step::Challenge
                                         : Step::Viewer_Init;
                    break;
                }
                if (Server_.empty()) return;
                const std::size_t count = static_cast<unsigned char>(Server_[0]);
                if (!Take(Server_, 1 + count, m)) return;
                if (count == 0) {
                    To_Viewer_ += m;
                    Step_ = Step::Failure_Reason;
                    break;
                }
                std::string usable;
                for (char type : m.substr(1))
                    if ((type == 1 || type == 2) && usable.find(type) == std::string::npos)
                        usable += type;
                if (usable.empty())
                    return Fail("The server requires a kind of security this viewer cannot use.");
                To_Viewer_ += static_cast<char>(usable.size()) + usable;
                Offered_ = usable;
                Step_ = Step::Viewer_Choice;
                break;
            }
            case Step::Viewer_Choice:
                if (!Take(Viewer_, 1, m)) return;
                Type_ = static_cast<unsigned char>(m[0]);
                if (Offered_.find(m[0]) == std::string::npos)
                    return Fail("TigerVNC chose a kind of security that was not offered.");
                Step_ = Type_ == 2    ? Step::Challenge
                        : Minor_ == 8 ? Step::Security_Result
                                      : Step::Viewer_Init;
                break;
            case Step::Challenge:
                if (!Take(Server_, 16, m)) return;
                To_Viewer_ += m;
                Step_ = Step::Viewer_Response;
                break;
            case Step::Viewer_Response:
                if (!Take(Viewer_, 16, m)) return;
                Step_ = Step::Security_Result;
                break;
            case Step::Security_Result:
                if (!Take(Server_, 4, m)) return;
                To_Viewer_ += m;
                if (Big_Endian_32(m, 0) == 0) {
                    Step_ = Step::Viewer_Init;
                    break;
                }
                Refused_Password_ = Type_ == 2;
                if (Minor_ == 8) {
                    Step_ = Step::Failure_Reason;
                    break;
                }
                return Fail(Refused_Password_ ? "The server refused the password."
                                              : "The server refused the connection.");
            case Step::Failure_Reason: {
                std::string reason;
                if (!Take_Reason(reason)) return;
                if (Refused_Password_) return Fail("The server refused the password.");
                return Fail("The server refused the connection" +
                            (reason.empty() ? std::string(".") : ": " + reason));
            }
            case Step::Viewer_Init:
                if (!Take(Viewer_, 1, m)) return;
                Step_ = Step::Server_Init;
                break;
            case Step::Server_Init: {
                // Size, pixel format, then the desktop name and its length.
                constexpr std::size_t Fixed = 2 + 2 + 16 + 4;
                if (Server_.size() < Fixed) return;
                const uint32_t name_length = Big_Endian_32(Server_, Fixed - 4);
                if (name_length > Text_Limit) return Fail("The remote side is not a VNC server.");
                if (!Take(Server_, Fixed + name_length, m)) return;
                To_Viewer_ += m + Server_;  // the session's first messages, if any
                Server_.clear();
                State_ = State::Established;
                return;
            }
        }
    }
}

}  // namespace adapter
