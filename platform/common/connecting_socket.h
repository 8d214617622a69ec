// What a TCP client socket does the same way on Linux and on Windows.
//
// Connect returns at once. A dotted address is connected to straight away;
// a host name is resolved (IPv4 only) on a detached thread while State()
// reports Resolving_Host, and the socket picks the result up in a later
// State(); the thread wakes the event wait when it is done. A socket closed
// or destroyed meanwhile just drops the late result. When a name gives
// several addresses they are tried in turn. State() looks at the attempt
// without waiting: Connecting until the connection is made (Connected) or
// every address failed (Error, which stays).
//
// A backend supplies the system calls of one attempt (Open, Look, Drop) and
// keeps a pending attempt registered with its event wait, so a Do_Events
// slice ends as soon as the attempt moves on. Its destructor calls Close().
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/network.h"

namespace nrvnc {

struct Lookup_Job;

class Connecting_Socket : public Tcp_Socket {
  public:
    Connecting_Socket() = default;
    Connecting_Socket(const Connecting_Socket&) = delete;
    Connecting_Socket& operator=(const Connecting_Socket&) = delete;

    void Close() final;
    void Set_Remote_Host(const std::string& host) final;
    // Raises 5 for a port outside 0..65535.
    void Set_Remote_Port(int32_t port) final;
    // Raises 40006 when the socket is not closed or no host is set, and the
    // system's words when no socket can be made.
    void Connect() override;
    int State() final;

    // The IPv4 addresses of host:port, each a socket address as bytes; none
    // when the lookup fails. numeric_only takes a written-out address and
    // asks no resolver. Safe from any thread.
    static std::vector<std::string> Addresses_Of(const std::string& host, int32_t port,
                                                 bool numeric_only);

  protected:
    enum class Progress { Made, Pending, Failed };
    // Makes a non-blocking socket and starts connecting it to the address.
    // When no socket can be made at all: Failed, with the system's words.
    virtual Progress Open(const std::string& address, std::string& no_socket) = 0;
    // Looks at the pending attempt without waiting.
    virtual Progress Look() = 0;
    // Closes the attempt's socket; harmless when there is none.
    virtual void Drop() = 0;

  private:
    // Starts connecting to the next address; with none left the state
    // becomes Error. Returns the words of a socket that could not be made.
    std::string Start_Next_Address();

    std::string Remote_Host;
    int32_t Remote_Port = 0;
    int Current_State = Socket_State::Closed;
    std::shared_ptr<Lookup_Job> Resolving;
    std::vector<std::string> Addresses;  // the resolved list being tried
    std::size_t Next_Address = 0;
};

}  // namespace nrvnc
