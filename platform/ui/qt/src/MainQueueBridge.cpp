#include "ui/qt/MainQueueBridge.h"

#include <foundation/DispatchQueue.h>
#include <foundation/MainThread.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <atomic>

namespace ui::qt {
namespace {

std::atomic<bool> wakePending{false};

void drainAndRearm();

void scheduleDrain() {
  if (wakePending.exchange(true)) return;
  // Thread-safe: the call is queued to the application object's (main) thread.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { drainAndRearm(); }, Qt::QueuedConnection);
}

void drainAndRearm() {
  wakePending = false;
  auto& queue = foundation::DispatchQueue::main();
  queue.drain();
  if (auto wait = queue.timeUntilNextDeadline()) {
    static QPointer<QTimer> timer;
    if (!timer) {
      timer = new QTimer(QCoreApplication::instance());
      timer->setSingleShot(true);
      timer->setTimerType(Qt::PreciseTimer);
      QObject::connect(timer, &QTimer::timeout, [] { drainAndRearm(); });
    }
    timer->start(int(std::max<long long>(0, wait->count())));
  }
}

}  // namespace

void installMainQueueBridge() {
  foundation::assertMainThread();
  static bool installed = false;
  if (installed || !QCoreApplication::instance()) return;
  installed = true;
  foundation::DispatchQueue::main().setWakeUpHandler([] { scheduleDrain(); });
  scheduleDrain();  // blocks posted before the bridge
}

}  // namespace ui::qt
