#include "app/sender_notice.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace {

// Often enough that a stop is seen at once; reading it costs a lock.
constexpr int kPollMs = 500;

}  // namespace

void show_sender_notices(QObject* owner, const cli::CfxSenderWhileOpen& sender,
                         std::function<void(const platform::OperatorText&)> show) {
  auto shown = std::make_shared<platform::OperatorText>(sender.notice());
  show(*shown);
  auto* timer = new QTimer(owner);
  QObject::connect(timer, &QTimer::timeout, owner, [&sender, show, shown] {
    platform::OperatorText now = sender.notice();
    if (now == *shown) return;
    *shown = std::move(now);
    show(*shown);
  });
  timer->start(kPollMs);
}
