#include "platform/x11/event_wait.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

namespace nrvnc {
namespace {

class Pipe {
  public:
    Pipe() { EXPECT_EQ(pipe2(Fds, O_CLOEXEC), 0); }
    ~Pipe() {
        Event_Wait::Unregister(Fds[0]);
        close(Fds[0]);
        close(Fds[1]);
    }
    int Read_End() const { return Fds[0]; }
    void Put() { ASSERT_EQ(write(Fds[1], "x", 1), 1); }

  private:
    int Fds[2];
};

TEST(Event_Wait, Times_Out_When_Nothing_Happens) {
    Pipe quiet;
    Event_Wait::Register(quiet.Read_End(), Event_Wait::Readable);
    EXPECT_FALSE(Event_Wait::Wait_For_Activity(20, -1));
}

TEST(Event_Wait, Registered_Descriptor_Ends_The_Wait_Once) {
    Pipe data;
    Event_Wait::Register(data.Read_End(), Event_Wait::Readable);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        data.Put();
    });
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(30000));
    writer.join();
    // Still readable, but the registration has fired and is gone.
    EXPECT_FALSE(Event_Wait::Wait_For_Activity(20));
    Event_Wait::Register(data.Read_End(), Event_Wait::Readable);
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(30000));
}

TEST(Event_Wait, Unregistered_Descriptor_Is_Not_Watched) {
    Pipe data;
    Event_Wait::Register(data.Read_End(), Event_Wait::Readable);
    Event_Wait::Unregister(data.Read_End());
    data.Put();
    EXPECT_FALSE(Event_Wait::Wait_For_Activity(20));
}

TEST(Event_Wait, Extra_Descriptor_Ends_The_Wait_Every_Time) {
    Pipe display;
    display.Put();
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(30000, display.Read_End()));
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(30000, display.Read_End()));
}

TEST(Event_Wait, Wake_From_Another_Thread_Ends_The_Wait) {
    std::thread waker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Event_Wait::Wake();
    });
    EXPECT_TRUE(Event_Wait::Wait_For_Activity(30000));
    waker.join();
    // The wake was used up.
    EXPECT_FALSE(Event_Wait::Wait_For_Activity(20));
}

}  // namespace
}  // namespace nrvnc
