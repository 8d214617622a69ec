// Bounded polling for the tests on every platform; it needs no system
// header, so the X11 and the Windows tests share it.
#pragma once

#include <chrono>
#include <thread>

namespace nrvnc::test {

// Polls until done() holds; false when the limit is up. The limit is only a
// safety net against hanging: real waits end long before.
template <typename Done>
bool Eventually(Done done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    for (auto end = std::chrono::steady_clock::now() + limit; !done();
         std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() >= end) return false;
    return true;
}

}  // namespace nrvnc::test
