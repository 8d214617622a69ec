// The clock on Windows: the system's millisecond tick count and the local
// calendar.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace nrvnc {

class Win32_Clock : public Clock {
  public:
    // tick_offset is added to every tick count; tests pass a value that puts
    // the count just before the 32-bit wrap.
    explicit Win32_Clock(uint32_t tick_offset = 0) : Tick_Offset(tick_offset) {}

    // GetTickCount: 32 bits, wraps after about 49.7 days.
    uint32_t Tick_Count() override;
    // SleepEx: an alertable sleep ends early when an APC is queued to the
    // thread.
    void Sleep_Ex(uint32_t milliseconds, bool alertable) override;
    int Weekday() override;

  private:
    uint32_t Tick_Offset;
};

}  // namespace nrvnc
