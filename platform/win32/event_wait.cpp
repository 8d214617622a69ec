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

}  // namespace nrvnc::Event_Wait
