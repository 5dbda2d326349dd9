#include "core/QtMessagePump.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/Event.h"

using namespace std::chrono_literals;
using namespace tev;

namespace {

class Counter : public MessageReceiver {
  public:
    LRESULT OnAppMessage(uint32_t, WPARAM wParam, LPARAM) override {
        ++count;
        onUiThread = onUiThread && CurrentMessagePump()->IsPumpThread();
        return static_cast<LRESULT>(wParam) * 2;
    }
    int count = 0;
    bool onUiThread = true;
};

class QtPump : public ::testing::Test {
  protected:
    QtPump() : pump(std::make_unique<QtMessagePump>()) {
        SetMessagePump(pump.get());
        target.Attach(&receiver);
    }
    ~QtPump() override {
        target.Detach(&receiver);
        SetMessagePump(nullptr);
    }

    std::unique_ptr<QtMessagePump> pump;
    Counter receiver;
    WindowHandle target;
};

}  // namespace

TEST_F(QtPump, AWorkerSendCompletesWhileTheUiThreadWaitsPumping) {
    Event done(Event::Manual, false);
    std::atomic<LRESULT> result{0};
    std::thread worker([&] {
        for (int i = 1; i <= 50; ++i) {
            result = SendAppMessage(target, 0x8021, static_cast<WPARAM>(i));
        }
        done.Set();
    });
    EXPECT_TRUE(WaitPumping(done, 20s));
    worker.join();
    EXPECT_EQ(result.load(), 100);
    EXPECT_EQ(receiver.count, 50);
    EXPECT_TRUE(receiver.onUiThread);
}

TEST_F(QtPump, DestroyingThePumpAnswersSendersStillWaiting) {
    std::atomic<bool> returned{false};
    std::atomic<LRESULT> result{-1};
    std::thread worker([&] {
        result = SendAppMessage(target, 0x8021, 5);
        returned = true;
    });
    std::this_thread::sleep_for(50ms);  // the send is queued; nothing dispatches it
    EXPECT_FALSE(returned.load());
    SetMessagePump(nullptr);
    pump.reset();  // discards the queued event
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(receiver.count, 0);
}
