// Carries posted work to the main thread as events of its own type.
#include "app/concurrency/main_thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <utility>

#include "app/concurrency/thread_handoff.h"

namespace sayloom {
namespace {

const auto mainThreadCallType = static_cast<QEvent::Type>(QEvent::registerEventType());

class MainThreadCall final : public QEvent {
public:
  explicit MainThreadCall(std::function<void()> work) : QEvent(mainThreadCallType), work(std::move(work)) {}
  std::function<void()> work;
};

// The event is built on the posting thread and read on the main thread after Qt's event queue,
// whose lock ThreadSanitizer cannot see, has passed it over.
class Courier final : public QObject {
public:
  bool event(QEvent* event) override {
    takeOver(event);  // before the first read of it, its type included
    if (event->type() != mainThreadCallType) {
      return QObject::event(event);
    }
    static_cast<MainThreadCall*>(event)->work();
    return true;
  }
};

Courier& courier() {
  static Courier* const instance = [] {
    auto* created = new Courier;  // lives as long as the process
    created->moveToThread(QCoreApplication::instance()->thread());
    return created;
  }();
  return *instance;
}

}  // namespace

void postToMainThread(std::function<void()> work) {
  Courier& receiver = courier();
  auto* call = new MainThreadCall(std::move(work));
  handOver(call);
  QCoreApplication::postEvent(&receiver, call);
}

}  // namespace sayloom
