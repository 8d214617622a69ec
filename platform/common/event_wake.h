// The one thing the shared backend code asks of a backend's event wait:
// ending the user-interface thread's current or next wait, from any thread
// and at any time (a lookup thread may finish after its socket is gone).
// platform/x11/event_wait.cpp and platform/win32/event_wait.cpp define it,
// so this folder includes neither backend.
#pragma once

namespace nrvnc::Event_Wait {

void Wake();

}  // namespace nrvnc::Event_Wait
