// TigerVNC's viewer (xtigervncviewer) as the adapter runs it: on a private
// Unix socket, never through a shell, and never outliving the adapter.
#pragma once

#include <sys/types.h>

#include <string>

namespace adapter {

// The viewer on $PATH, or "" when it is not installed.
std::string Find_TigerVNC();

class TigerVNC {
  public:
    TigerVNC() = default;
    TigerVNC(const TigerVNC&) = delete;
    TigerVNC& operator=(const TigerVNC&) = delete;
    ~TigerVNC();  // ends the viewer and removes the socket

    // Makes a private folder (mode 0700, in $XDG_RUNTIME_DIR or /tmp) with a
    // listening socket in it and starts `program` on that socket with
    // -ReconnectOnError=0 -AlertOnFatalError=0 (so a failure ends it without
    // a window of its own) and -ViewOnly when asked. The password goes in
    // VNC_PASSWORD, never on a command line. The viewer gets a parent-death
    // signal (SIGKILL): it is forked from the calling thread, which must
    // live as long as the session (the kernel sends the signal when that
    // thread ends). An empty result means started, otherwise it says why not.
    std::string Start(const std::string& program, bool view_only, const std::string& password);

    // The listening socket, to wait on; -1 once the viewer has connected.
    int Listener() const { return Listener_; }
    // The viewer's connection (non-blocking), or -1 when the one waiting
    // is not from the started viewer. The socket and its folder are
    // removed once the viewer is connected.
    int Accept();
    // True once the viewer has ended (it is reaped then).
    bool Ended();
    // SIGTERM, up to a second's grace, then SIGKILL; returns once it ended.
    void End();

  private:
    void Remove_Socket();

    pid_t Pid_ = -1;
    int Listener_ = -1;
    std::string Folder_, Socket_;
};

}  // namespace adapter
