#include "platform/x11/clock.h"

#include <time.h>

#include <cerrno>

namespace nrvnc {

uint32_t Linux_Clock::Tick_Count() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(milliseconds) + Tick_Offset;
}

void Linux_Clock::Sleep_Ex(uint32_t milliseconds, bool alertable) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        if (alertable) return;
    }
}

int Linux_Clock::Weekday() {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return local.tm_wday + 1;
}

}  // namespace nrvnc
