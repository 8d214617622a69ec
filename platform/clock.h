// Time as the program sees it.
#pragma once

#include <cstdint>

namespace nrvnc {

class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since some fixed moment, truncated to 32 bits: it wraps
    // after about 49.7 days. Callers measure elapsed time as the unsigned
    // difference of two readings, which stays right across the wrap.
    virtual uint32_t Tick_Count() = 0;

    // Sleeps for the given time. An alertable sleep may end early when the
    // thread has queued work; callers never rely on the full time passing.
    virtual void Sleep_Ex(uint32_t milliseconds, bool alertable) = 0;

    // Weekday of the current local date: 1 = Sunday ... 7 = Saturday.
    virtual int Weekday() = 0;
};

}  // namespace nrvnc
