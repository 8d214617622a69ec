#include "platform/x11/event_wait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace nrvnc::Event_Wait {

namespace {

struct Registry {
    std::mutex Lock;
    std::map<int, unsigned> Interests;
    int Wake_Fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
};

// Never destroyed: a resolver thread may still call Wake while the program
// ends, after static destructors have run.
Registry& The_Registry() {
    static Registry* registry = new Registry;
    return *registry;
}

short Poll_Events(unsigned interest) {
    short events = 0;
    if (interest & Readable) events |= POLLIN;
    if (interest & Writable) events |= POLLOUT;
    return events;
}

}  // namespace

void Register(int fd, unsigned interest) {
    if (fd < 0) return;
    Registry& registry = The_Registry();
    std::lock_guard<std::mutex> hold(registry.Lock);
    registry.Interests[fd] = interest;
}

void Unregister(int fd) {
    Registry& registry = The_Registry();
    std::lock_guard<std::mutex> hold(registry.Lock);
    registry.Interests.erase(fd);
}

void Wake() {
    Registry& registry = The_Registry();
    if (registry.Wake_Fd < 0) return;
    uint64_t one = 1;
    // The counter only saturates; a failed write means a wake is pending.
    [[maybe_unused]] ssize_t written = write(registry.Wake_Fd, &one, sizeof one);
}

bool Wait_For_Activity(int timeout_ms, int extra_fd) {
    Registry& registry = The_Registry();
    std::vector<pollfd> fds;
    {
        std::lock_guard<std::mutex> hold(registry.Lock);
        fds.reserve(registry.Interests.size() + 2);
        if (registry.Wake_Fd >= 0) fds.push_back({registry.Wake_Fd, POLLIN, 0});
        if (extra_fd >= 0) fds.push_back({extra_fd, POLLIN, 0});
        for (const auto& [fd, interest] : registry.Interests) {
            fds.push_back({fd, Poll_Events(interest), 0});
        }
    }

    int ready;
    do {
        ready = poll(fds.data(), fds.size(), timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;

    std::lock_guard<std::mutex> hold(registry.Lock);
    for (const pollfd& entry : fds) {
        if (entry.revents == 0) continue;
        if (entry.fd == registry.Wake_Fd) {
            uint64_t count;
            [[maybe_unused]] ssize_t got = read(registry.Wake_Fd, &count, sizeof count);
        } else if (entry.fd != extra_fd) {
            auto found = registry.Interests.find(entry.fd);
            if (found != registry.Interests.end()) registry.Interests.erase(found);
        }
    }
    return true;
}

}  // namespace nrvnc::Event_Wait
