// Waking the user-interface thread when a Windows event needs attention.
//
// Every wait of the program is a polling loop that lets events run. The
// forms runtime blocks inside Do_Events in Wait_For_Activity for a short
// slice: MsgWaitForMultipleObjectsEx over the thread's message queue and the
// event handles registered here. Services that finish work in the
// background register their event (a connecting socket's WSAEventSelect
// event; a resolver thread calls Wake), so that the slice ends as soon as
// that work needs a look and not when the slice runs out.
//
// A registration is one-shot: it is dropped when its event is seen
// signalled, so an event that stays signalled cannot turn the wait into a
// busy loop; the owner registers again when it still waits for more. The
// owner must call Unregister before it closes the handle. Register and
// Unregister come from the waiting (user-interface) thread; Wake is safe
// from any thread.
#pragma once

namespace nrvnc::Event_Wait {

// event_handle is a Windows HANDLE (an event or another waitable object).
// Registering a handle again is harmless.
void Register(void* event_handle);
void Unregister(void* event_handle);

// Ends a wait from another thread. A wake that comes while nobody waits
// ends the next wait at once.
void Wake();

// Blocks until a registered handle is signalled, input arrives in the
// calling thread's message queue (QS_ALLINPUT; input already there counts
// too), Wake was called, an APC ran, or timeout_ms passed (-1 waits without
// limit). Returns true when it ended for activity, false on the time-out.
bool Wait_For_Activity(int timeout_ms);

// The user-interface thread's wait for a worker thread: blocks until
// event_handle is signalled or limit_ms passed (true when signalled).
// Meanwhile the window system's own messages run: messages sent to this
// thread's windows by other threads and programs (the system's "is it
// alive" probes among them) and paint. Nothing else is taken from the
// queue, so no input and none of the program's handlers run, and the
// program's event points stay where they are. Windows counts a window whose
// thread waits like this as responding, however long the wait.
bool Wait_For_Worker(void* event_handle, unsigned long limit_ms);

}  // namespace nrvnc::Event_Wait
