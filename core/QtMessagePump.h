#pragma once

#include <QEvent>
#include <QObject>
#include <thread>

#include "platform/MessageLayer.h"

namespace tev {

// A message travelling through Qt's event queue: its number, wParam and lParam, the handle it is
// addressed to, and the reply a synchronous sender waits for. An event that Qt discards undelivered
// (its pump is destroyed) still answers the sender, with 0.
class AppMessageEvent final : public QEvent {
  public:
    static QEvent::Type EventType();

    AppMessageEvent(const AppMessage& message, SendReply* reply)
        : QEvent(EventType()), message_(message), reply_(reply) {}
    ~AppMessageEvent() override;
    AppMessageEvent(const AppMessageEvent&) = delete;
    AppMessageEvent& operator=(const AppMessageEvent&) = delete;

    const AppMessage& message() const { return message_; }
    // [UI thread] Hands the message to its receiver and answers the sender.
    void Deliver();

  private:
    AppMessage message_;
    SendReply* reply_;
};

// The pump of the running application: messages become events of Qt's queue on the UI thread,
// and a pumping wait lets Qt process what is pending. Create it on the UI thread once the
// application object exists.
class QtMessagePump final : public QObject, public MessagePump {
  public:
    QtMessagePump();

    bool IsPumpThread() const noexcept override;
    bool Enqueue(const AppMessage& message, SendReply* reply) override;
    void DispatchPending() override;

  protected:
    void customEvent(QEvent* event) override;

  private:
    const std::thread::id owner_;
};

}  // namespace tev
