#include "platform/MessageLayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "thread/TestRig.h"

using namespace std::chrono_literals;
using namespace tev;
using tev::test::Recorder;

namespace {

class MessageLayer : public ::testing::Test {
  protected:
    MessageLayer() {
        SetMessagePump(&pump);
        target.Attach(&receiver);
    }
    ~MessageLayer() override {
        target.Detach(&receiver);
        pump.Close();
        SetMessagePump(nullptr);
    }

    QueueMessagePump pump;
    Recorder receiver;
    WindowHandle target;
};

}  // namespace

TEST_F(MessageLayer, PostsArriveInOrderOnlyWhenTheUiThreadDispatches) {
    EXPECT_TRUE(PostAppMessage(target, 0x8001, 1, 10));
    EXPECT_TRUE(PostAppMessage(target, 0x8002, 2, 20));
    EXPECT_TRUE(receiver.Messages().empty());
    EXPECT_EQ(pump.DispatchAll(), 2);
    const auto got = receiver.Messages();
    ASSERT_EQ(got.size(), 2U);
    EXPECT_EQ(got[0].msg, 0x8001U);
    EXPECT_EQ(got[1].lParam, 20);
}

TEST_F(MessageLayer, SendFromAWorkerBlocksUntilTheUiThreadHandledIt) {
    std::atomic<bool> handled{false};
    receiver.onMessage = [&](uint32_t, WPARAM, LPARAM) {
        handled = true;
        return LRESULT{42};
    };
    std::atomic<LRESULT> result{0};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        result = SendAppMessage(target, 0x8015, 1, 0);
        EXPECT_TRUE(handled.load());  // never returns before the handler ran
        returned = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned.load());
    EXPECT_TRUE(pump.PumpUntil([&] { return returned.load(); }, 5s));
    worker.join();
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(receiver.offUiThread.load(), 0);
}

TEST_F(MessageLayer, WorkerSendsCompleteWhileTheUiThreadWaitsPumping) {
    // The UI thread waits for a worker that sends to it synchronously on the way: a plain wait
    // would deadlock, the pumping wait must not.
    Event workerDone(Event::Manual, false);
    constexpr int kSends = 200;
    std::thread worker([&] {
        for (int i = 0; i < kSends; ++i) {
            SendAppMessage(target, 0x8006, static_cast<WPARAM>(i));
        }
        workerDone.Set();
    });
    EXPECT_TRUE(WaitPumping(workerDone, 20s));
    worker.join();
    const auto got = receiver.Messages();
    ASSERT_EQ(got.size(), static_cast<size_t>(kSends));
    for (int i = 0; i < kSends; ++i) {
        EXPECT_EQ(got[static_cast<size_t>(i)].wParam, static_cast<WPARAM>(i));
    }
    EXPECT_EQ(receiver.offUiThread.load(), 0);
}

TEST_F(MessageLayer, PumpingWaitTimesOutAndPlainWaitOffTheUiThread) {
    Event never(Event::Manual, false);
    EXPECT_FALSE(WaitPumping(never, 10ms));
    std::thread other([&] { EXPECT_FALSE(WaitPumping(never, 10ms)); });
    other.join();
}

TEST_F(MessageLayer, AMessageForADetachedReceiverIsDroppedAndAnswersZero) {
    PostAppMessage(target, 0x8001);
    target.Detach(&receiver);
    EXPECT_EQ(pump.DispatchAll(), 1);
    EXPECT_TRUE(receiver.Messages().empty());

    std::atomic<LRESULT> result{-1};
    std::thread worker([&] { result = SendAppMessage(target, 0x8002); });
    EXPECT_TRUE(pump.PumpUntil([&] { return result.load() != -1; }, 5s));
    worker.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_TRUE(receiver.Messages().empty());
}

TEST_F(MessageLayer, ClosingThePumpReleasesBlockedSenders) {
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        EXPECT_EQ(SendAppMessage(target, 0x8021), 0);
        returned = true;
    });
    std::this_thread::sleep_for(20ms);
    pump.Close();
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_FALSE(PostAppMessage(target, 0x8001));
}

TEST(MessageLayerWithoutPump, NothingIsDeliveredAndNobodyBlocks) {
    SetMessagePump(nullptr);
    Recorder receiver;
    WindowHandle target;
    target.Attach(&receiver);
    EXPECT_FALSE(PostAppMessage(target, 0x8001));
    EXPECT_EQ(SendAppMessage(target, 0x8001), 0);
    EXPECT_TRUE(receiver.Messages().empty());
}
