// Waking the user-interface thread when a file descriptor needs attention.
//
// Every wait of the program is a polling loop that lets events run. The X11
// forms runtime blocks inside Do_Events in Wait_For_Activity for a short
// slice, with the X connection as the extra descriptor. Services that finish
// work in the background register their descriptor here, so that the slice
// ends as soon as that work needs a look (a socket that connects, a resolver
// thread that is done) and not when the slice runs out.
//
// The registry is process-wide and safe to use from any thread.
#pragma once

namespace nrvnc::Event_Wait {

enum Interest : unsigned { Readable = 1, Writable = 2 };

// Wakes the next (or current) Wait_For_Activity once the descriptor becomes
// ready for one of the interests. A registration is one-shot: it is dropped
// when it fires, so a descriptor that stays ready (a connected socket is
// always writable) cannot turn the wait into a busy loop. Registering a
// descriptor again replaces its interests. The owner must call Unregister
// before it closes the descriptor. A wait that is already blocked keeps the
// set it started with, so a thread other than the waiting one registers and
// then calls Wake.
void Register(int fd, unsigned interest);
void Unregister(int fd);

// Ends a wait from another thread (for instance a resolver that finished).
// A wake that comes while nobody waits ends the next wait at once.
void Wake();

// Blocks until a registered descriptor is ready, extra_fd (when not -1) is
// readable, Wake was called, or timeout_ms passed (-1 waits without limit).
// Returns true when it ended for activity, false on the time-out.
bool Wait_For_Activity(int timeout_ms, int extra_fd = -1);

}  // namespace nrvnc::Event_Wait
