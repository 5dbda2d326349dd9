#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/Event.h"

namespace tev {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Something that handles WM_APP+n messages: a panel, or an engine object a panel delegates to.
class MessageReceiver {
  public:
    virtual ~MessageReceiver() = default;
    // [UI thread] Handles one message; the result goes back to a synchronous sender.
    virtual LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) = 0;
};

// A window handle: the slot through which every thread addresses a receiver. A queued message
// names the slot, not the receiver, and is resolved on the UI thread when it is delivered, so a
// receiver that detaches before its messages arrive simply misses them and is never reached
// after it is gone.
class WindowHandle {
  public:
    // [UI thread]
    void Attach(MessageReceiver* receiver) noexcept { receiver_.store(receiver); }
    // [UI thread] Detaches only if `receiver` is the one attached.
    void Detach(MessageReceiver* receiver) noexcept;
    // [any thread]
    MessageReceiver* Get() const noexcept { return receiver_.load(); }
    explicit operator bool() const noexcept { return Get() != nullptr; }

  private:
    std::atomic<MessageReceiver*> receiver_{nullptr};
};

struct AppMessage {
    WindowHandle* to = nullptr;
    uint32_t msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// The answer a synchronous sender waits for. Completed exactly once: by the delivery, or with 0
// when the message is discarded, so that a sender is never left waiting. It lives on the
// sender's stack and is destroyed as soon as Wait returns, so completion signals under the lock
// (an Event could still be touching its memory after the waiter has gone).
class SendReply {
  public:
    void Complete(LRESULT result) {
        std::lock_guard lock(mutex_);
        result_ = result;
        done_ = true;
        cv_.notify_all();
    }
    LRESULT Wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return done_; });
        return result_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    LRESULT result_ = 0;
};

// The queue of the UI thread. One pump runs the process; panels and workers reach it through
// PostAppMessage and SendAppMessage.
class MessagePump {
  public:
    virtual ~MessagePump() = default;

    // [any thread] True on the thread that delivers this pump's messages.
    virtual bool IsPumpThread() const noexcept = 0;
    // [any thread] Queues a message; a non-null reply is completed when it has been handled or
    // discarded. False when the pump takes no more messages (the reply is then untouched).
    virtual bool Enqueue(const AppMessage& message, SendReply* reply) = 0;
    // [pump thread] One step of a pumping wait: dispatches what is pending.
    virtual void DispatchPending() = 0;

    // [pump thread] Hands one message to the receiver its handle names now; 0 when none.
    static LRESULT Deliver(const AppMessage& message);
};

// A pump of its own, without any toolkit: the thread that creates it is its UI thread. Used by
// engine tests and by tools that run the engine without windows.
class QueueMessagePump final : public MessagePump {
  public:
    QueueMessagePump();
    ~QueueMessagePump() override;

    bool IsPumpThread() const noexcept override;
    bool Enqueue(const AppMessage& message, SendReply* reply) override;
    // Dispatches one pending message, if there is one.
    void DispatchPending() override;

    // [pump thread] Dispatches every message that is pending; returns how many.
    int DispatchAll();
    // [pump thread] Dispatches messages as they come until `done` returns true or the timeout
    // passes; true when `done` was reached.
    template <class Predicate>
    bool PumpUntil(Predicate done, std::chrono::milliseconds timeout);

    // [any thread] Takes no more messages; pending sends are answered with 0.
    void Close();

  private:
    struct Pending {
        AppMessage message;
        SendReply* reply;
    };
    bool PopOne(Pending& out);
    bool DispatchOne();
    bool WaitForMessage(std::chrono::steady_clock::time_point deadline);

    const std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Pending> queue_;
    bool closed_ = false;
};

template <class Predicate>
bool QueueMessagePump::PumpUntil(Predicate done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        DispatchAll();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            DispatchAll();
            return done();
        }
        // The condition may change without a message: look again at least every millisecond.
        WaitForMessage(
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(1)));
    }
}

// [pump thread] Installs the process's pump (nullptr: none). The pump must outlive every thread
// that may still post or send.
void SetMessagePump(MessagePump* pump) noexcept;
MessagePump* CurrentMessagePump() noexcept;

// [any thread] Queues a message for the handle's receiver; false when there is no pump.
bool PostAppMessage(WindowHandle& to, uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);

// [any thread] Delivers a message and returns its result. On the UI thread the receiver is called
// directly; from any other thread the caller blocks until the UI thread has handled the message
// (or discarded it: result 0). Without a pump nothing is delivered and the result is 0.
LRESULT SendAppMessage(WindowHandle& to, uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);

inline constexpr std::chrono::milliseconds kWaitForever{-1};

// Waits for an event. On the UI thread it waits in steps of 1 ms and dispatches pending messages
// between the steps, because workers send to the UI thread synchronously and a plain wait there
// would deadlock; on other threads it is a plain wait. True when the event was set in time.
bool WaitPumping(Event& event, std::chrono::milliseconds timeout = kWaitForever);

// [UI thread] Dispatches pending messages for about `steps` milliseconds: one dispatch, then a
// 1 ms sleep, `steps` times. Lets workers blocked in a send finish, for example at shutdown.
void PumpMessages(int steps);

}  // namespace tev
