#include "platform/MessageLayer.h"

namespace tev {
namespace {

std::atomic<MessagePump*> gPump{nullptr};

}  // namespace

void WindowHandle::Detach(MessageReceiver* receiver) noexcept {
    MessageReceiver* expected = receiver;
    receiver_.compare_exchange_strong(expected, nullptr);
}

LRESULT MessagePump::Deliver(const AppMessage& message) {
    MessageReceiver* receiver = message.to != nullptr ? message.to->Get() : nullptr;
    return receiver != nullptr ? receiver->OnAppMessage(message.msg, message.wParam, message.lParam)
                               : 0;
}

QueueMessagePump::QueueMessagePump() : owner_(std::this_thread::get_id()) {}

QueueMessagePump::~QueueMessagePump() {
    Close();
}

bool QueueMessagePump::IsPumpThread() const noexcept {
    return std::this_thread::get_id() == owner_;
}

bool QueueMessagePump::Enqueue(const AppMessage& message, SendReply* reply) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        queue_.push_back({message, reply});
    }
    arrived_.notify_all();
    return true;
}

bool QueueMessagePump::PopOne(Pending& out) {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
        return false;
    }
    out = queue_.front();
    queue_.pop_front();
    return true;
}

bool QueueMessagePump::DispatchOne() {
    Pending pending;
    if (!PopOne(pending)) {
        return false;
    }
    const LRESULT result = Deliver(pending.message);
    if (pending.reply != nullptr) {
        pending.reply->Complete(result);
    }
    return true;
}

void QueueMessagePump::DispatchPending() {
    DispatchOne();
}

int QueueMessagePump::DispatchAll() {
    int count = 0;
    while (DispatchOne()) {
        ++count;
    }
    return count;
}

bool QueueMessagePump::WaitForMessage(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_until(lock, deadline, [this] { return !queue_.empty() || closed_; });
}

void QueueMessagePump::Close() {
    std::deque<Pending> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(queue_);
    }
    arrived_.notify_all();
    for (const Pending& pending : dropped) {
        if (pending.reply != nullptr) {
            pending.reply->Complete(0);
        }
    }
}

void SetMessagePump(MessagePump* pump) noexcept {
    gPump.store(pump);
}

MessagePump* CurrentMessagePump() noexcept {
    return gPump.load();
}

bool PostAppMessage(WindowHandle& to, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    MessagePump* pump = CurrentMessagePump();
    return pump != nullptr && pump->Enqueue({&to, msg, wParam, lParam}, nullptr);
}

LRESULT SendAppMessage(WindowHandle& to, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    MessagePump* pump = CurrentMessagePump();
    if (pump == nullptr) {
        return 0;
    }
    const AppMessage message{&to, msg, wParam, lParam};
    if (pump->IsPumpThread()) {
        return MessagePump::Deliver(message);
    }
    SendReply reply;
    if (!pump->Enqueue(message, &reply)) {
        return 0;
    }
    return reply.Wait();
}

bool WaitPumping(Event& event, std::chrono::milliseconds timeout) {
    MessagePump* pump = CurrentMessagePump();
    const bool forever = timeout < std::chrono::milliseconds::zero();
    if (pump == nullptr || !pump->IsPumpThread()) {
        if (forever) {
            event.Wait();
            return true;
        }
        return event.WaitFor(timeout);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (event.WaitFor(std::chrono::milliseconds(1))) {
            return true;
        }
        pump->DispatchPending();
        if (!forever && std::chrono::steady_clock::now() >= deadline) {
            return event.IsSet();
        }
    }
}

void PumpMessages(int steps) {
    MessagePump* pump = CurrentMessagePump();
    for (int i = 0; i < steps; ++i) {
        if (pump != nullptr && pump->IsPumpThread()) {
            pump->DispatchPending();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace tev
