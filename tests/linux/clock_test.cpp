#include "platform/x11/clock.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <ctime>
#include <thread>

namespace nrvnc {
namespace {

TEST(Linux_Clock, Tick_Count_Wraps_At_32_Bits) {
    Linux_Clock probe;
    // Start 200 ms before the wrap.
    uint32_t offset = 0xFFFFFFFFu - 200u - probe.Tick_Count();
    Linux_Clock clock(offset);
    uint32_t before = clock.Tick_Count();
    clock.Sleep_Ex(300, false);
    uint32_t after = clock.Tick_Count();
    EXPECT_GT(before, 0xFFFFFF00u);
    EXPECT_LT(after, before);  // it wrapped
    EXPECT_GE(static_cast<uint32_t>(after - before), 300u);
}

// Sakamoto's rule; 0 = Sunday.
int Day_Of_Week(int year, int month, int day) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    return (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
}

TEST(Linux_Clock, Weekday_Counts_From_Sunday_As_1) {
    Linux_Clock clock;
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    int weekday = clock.Weekday();
    // Midnight may pass between the two readings.
    time_t later = time(nullptr);
    tm local_later{};
    localtime_r(&later, &local_later);
    int expected = Day_Of_Week(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + 1;
    int expected_later =
        Day_Of_Week(local_later.tm_year + 1900, local_later.tm_mon + 1, local_later.tm_mday) + 1;
    EXPECT_TRUE(weekday == expected || weekday == expected_later) << weekday;
    EXPECT_GE(weekday, 1);
    EXPECT_LE(weekday, 7);
}

void Ignore_Signal(int) {}

// Sends SIGUSR1 to the thread until told to stop, so one lands in the sleep.
class Signal_Pelter {
  public:
    explicit Signal_Pelter(pthread_t target) {
        struct sigaction action {};
        action.sa_handler = Ignore_Signal;  // no SA_RESTART: the sleep sees EINTR
        sigaction(SIGUSR1, &action, &Saved);
        Sender = std::thread([this, target] {
            while (!Stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                pthread_kill(target, SIGUSR1);
            }
        });
    }
    ~Signal_Pelter() {
        Stop = true;
        Sender.join();
        sigaction(SIGUSR1, &Saved, nullptr);
    }

  private:
    std::atomic<bool> Stop{false};
    std::thread Sender;
    struct sigaction Saved {};
};

TEST(Linux_Clock, Sleep_That_Is_Not_Alertable_Sleeps_Through_Signals) {
    Linux_Clock clock;
    Signal_Pelter pelter(pthread_self());
    uint32_t start = clock.Tick_Count();
    clock.Sleep_Ex(200, false);
    EXPECT_GE(static_cast<uint32_t>(clock.Tick_Count() - start), 200u);
}

TEST(Linux_Clock, Alertable_Sleep_Ends_At_A_Signal) {
    Linux_Clock clock;
    Signal_Pelter pelter(pthread_self());
    uint32_t start = clock.Tick_Count();
    clock.Sleep_Ex(30000, true);
    EXPECT_LT(static_cast<uint32_t>(clock.Tick_Count() - start), 30000u);
}

}  // namespace
}  // namespace nrvnc
