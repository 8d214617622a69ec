// The clock on Linux: the monotonic clock, which never jumps with the wall
// clock, and the local calendar.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace nrvnc {

class Linux_Clock : public Clock {
  public:
    // tick_offset is added to every tick count; tests pass a value that puts
    // the count just before the 32-bit wrap.
    explicit Linux_Clock(uint32_t tick_offset = 0) : Tick_Offset(tick_offset) {}

    uint32_t Tick_Count() override;
    // Sleeps the full time unless alertable, when a signal delivered to the
    // thread ends the sleep early.
    void Sleep_Ex(uint32_t milliseconds, bool alertable) override;
    int Weekday() override;

  private:
    uint32_t Tick_Offset;
};

}  // namespace nrvnc
