#include "core/QtMessagePump.h"

#include <QCoreApplication>

namespace tev {

QEvent::Type AppMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

AppMessageEvent::~AppMessageEvent() {
    if (reply_ != nullptr) {
        reply_->Complete(0);
    }
}

void AppMessageEvent::Deliver() {
    const LRESULT result = MessagePump::Deliver(message_);
    if (reply_ != nullptr) {
        reply_->Complete(result);
        reply_ = nullptr;
    }
}

QtMessagePump::QtMessagePump() : owner_(std::this_thread::get_id()) {}

bool QtMessagePump::IsPumpThread() const noexcept {
    return std::this_thread::get_id() == owner_;
}

bool QtMessagePump::Enqueue(const AppMessage& message, SendReply* reply) {
    QCoreApplication::postEvent(this, new AppMessageEvent(message, reply));
    return true;
}

void QtMessagePump::DispatchPending() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtMessagePump::customEvent(QEvent* event) {
    if (event->type() == AppMessageEvent::EventType()) {
        static_cast<AppMessageEvent*>(event)->Deliver();
    }
}

}  // namespace tev
