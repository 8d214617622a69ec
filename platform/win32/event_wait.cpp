#include "platform/win32/event_wait.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace nrvnc::Event_Wait {

namespace {

struct Registry {
    std::mutex Lock;
    std::vector<HANDLE> Handles;
    HANDLE Wake_Event = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // auto-reset
};

// Never destroyed: a resolver thread may still call Wake while the program
// ends, after static destructors have run.
Registry& The_Registry() {
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

void Register(void* event_handle) {
    if (event_handle == nullptr) return;
    Registry& registry = The_Registry();
    std::lock_guard<std::mutex> hold(registry.Lock);
    if (std::find(registry.Handles.begin(), registry.Handles.end(), event_handle) ==
        registry.Handles.end())
        registry.Handles.push_back(event_handle);
}

void Unregister(void* event_handle) {
    Registry& registry = The_Registry();
    std::lock_guard<std::mutex> hold(registry.Lock);
    std::erase(registry.Handles, event_handle);
}

void Wake() {
    Registry& registry = The_Registry();
    if (registry.Wake_Event) SetEvent(registry.Wake_Event);
}

bool Wait_For_Activity(int timeout_ms) {
    Registry& registry = The_Registry();
    std::vector<HANDLE> handles;
    {
        std::lock_guard<std::mutex> hold(registry.Lock);
        if (registry.Wake_Event) handles.push_back(registry.Wake_Event);
        for (HANDLE handle : registry.Handles) {
            if (handles.size() >= MAXIMUM_WAIT_OBJECTS - 1) break;  // one slot is the queue's
            handles.push_back(handle);
        }
    }
    DWORD count = static_cast<DWORD>(handles.size());
    DWORD result = MsgWaitForMultipleObjectsEx(
        count, handles.data(), timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms),
        QS_ALLINPUT, MWMO_INPUTAVAILABLE | MWMO_ALERTABLE);
    if (result == WAIT_TIMEOUT) return false;
    if (result == WAIT_FAILED) {
        // A handle closed while registered: drop them all rather than fail
        // every wait at once; their owners register again on their next look.
        std::lock_guard<std::mutex> hold(registry.Lock);
        registry.Handles.clear();
        return false;
    }
    if (result < WAIT_OBJECT_0 + count) {
        HANDLE fired = handles[result - WAIT_OBJECT_0];
        if (fired != registry.Wake_Event) Unregister(fired);
    }
    return true;
}

bool Wait_For_Worker(void* event_handle, unsigned long limit_ms) {
    // Slices, so that the queue is looked at now and then even when no
    // message wakes the wait.
    constexpr DWORD Slice_Ms = 100;
    // Paint messages dispatched per look: a window that never validates
    // itself cannot hold the wait.
    constexpr int Paints_Per_Look = 16;
    HANDLE handle = static_cast<HANDLE>(event_handle);
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        DWORD slice = spent >= limit_ms ? 0 : std::min<DWORD>(Slice_Ms, limit_ms - spent);
        DWORD result = MsgWaitForMultipleObjectsEx(1, &handle, slice, QS_SENDMESSAGE | QS_PAINT, 0);
        if (result == WAIT_OBJECT_0) return true;
        if (result == WAIT_FAILED) return false;
        // PeekMessage delivers the messages sent from other threads itself;
        // of the posted ones it takes paint only.
        MSG message;
        for (int n = 0;
             n < Paints_Per_Look && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT);
             ++n)
            DispatchMessageA(&message);
        if (slice == 0) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    }
}

}  // namespace nrvnc::Event_Wait
