// What the adapter reads of the RFB protocol: the server's greeting, and
// the handshake up to the server's init message, which it follows while it
// passes the bytes between the server and TigerVNC. The outcome of a
// connection is decided here, from the protocol itself, so it does not
// depend on TigerVNC's windows, messages or locale.
//
// Pure logic, no sockets: the caller feeds what each side sent and
// forwards what it gets back.
#pragma once

#include <string>

namespace adapter {

// The first 12 bytes of the remote side.
enum class Greeting_Kind {
    Repeater_Hello,  // "RFB 000.000\n": a repeater's own greeting; the server's follows
    Rfb,             // "RFB 003.00x\n"
    Other_Rfb,       // an RFB version this viewer cannot speak
    Text,            // readable text: some other kind of server
    Encrypted,       // unreadable bytes: the encryption plug-in's
};

// `bytes` may be shorter than 12 when the remote side said no more before
// it stopped or closed; nothing at all counts as Text (no protocol seen).
Greeting_Kind Classify_Greeting(const std::string& bytes);

// The one-line reason for a greeting that is not Rfb.
std::string Greeting_Failure(Greeting_Kind kind, const std::string& bytes);

// Follows RFB 3.3, 3.7 and 3.8 from the server's greeting to its init
// message. The server's list of security types is cut down to None and
// VNC authentication, the two this follower understands, before TigerVNC
// sees it; bytes from TigerVNC are passed on unchanged.
class Handshake {
  public:
    enum class State { Running, Established, Failed };

    // `greeting` is the server's 12-byte "RFB 003.00x\n", which the caller
    // has already passed on to TigerVNC.
    explicit Handshake(const std::string& greeting);

    // Bytes from the server; returns what to pass on to TigerVNC now.
    std::string From_Server(const std::string& bytes);
    // Bytes from TigerVNC (passed on to the server unchanged by the caller).
    void From_Viewer(const std::string& bytes);

    State Outcome() const { return State_; }
    const std::string& Failure() const { return Failure_; }

  private:
    void Advance();
    void Fail(const std::string& why);
    // Takes `count` bytes off the front of `from` into `out`; false when
    // they have not all arrived yet.
    static bool Take(std::string& from, std::size_t count, std::string& out);
    bool Take_Reason(std::string& text);

    enum class Step {
        Viewer_Version,
        Security_Types,  // 3.7 and 3.8: the list; 3.3: the server's choice
        Viewer_Choice,
        Challenge,
        Viewer_Response,
        Security_Result,
        Failure_Reason,  // after a failed result (3.8) or an empty list
        Viewer_Init,
        Server_Init,
    };
    Step Step_ = Step::Viewer_Version;
    State State_ = State::Running;
    int Server_Minor_, Minor_ = 3;
    int Type_ = 0;         // the security type in use
    std::string Offered_;  // the types TigerVNC was offered
    bool Refused_Password_ = false;
    std::string Server_, Viewer_;  // bytes read but not yet understood
    std::string To_Viewer_;        // understood, to be passed on
    std::string Failure_;
};

}  // namespace adapter
