#include "platform/win32/clock.h"

#include <windows.h>

namespace nrvnc {

uint32_t Win32_Clock::Tick_Count() {
    return static_cast<uint32_t>(GetTickCount()) + Tick_Offset;
}

void Win32_Clock::Sleep_Ex(uint32_t milliseconds, bool alertable) {
    SleepEx(milliseconds, alertable ? TRUE : FALSE);
}

int Win32_Clock::Weekday() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now.wDayOfWeek + 1;  // 0 = Sunday
}

}  // namespace nrvnc
