#pragma once
// A handle on a running main-thread coroutine: asks it to stop through a std::stop_source and lets
// other coroutines wait until it has ended. Copies share one state, so a copy taken before the
// owner's field is cleared still sees the end.
//
// Thread contract: main thread only; the stop token handed to the task may be read on any thread.
#include <QCoro/QCoroTask>
#include <QObject>
#include <memory>
#include <stop_token>

namespace sayloom {

// Emits `ended` once, when the watched coroutine has finished.
class TaskEndNotifier : public QObject {
  Q_OBJECT
signals:
  void ended();
};

class TaskHandle {
public:
  // A fresh handle: not cancelled, nothing attached yet.
  TaskHandle();

  // The token to hand to the coroutine before attaching it.
  std::stop_token token() const;
  // Asks the task to stop; it sees the request at its next check or through a stop callback.
  void cancel() const;
  bool cancelled() const;
  bool ended() const;

  // Watches `task` (usually already running, possibly already finished) and marks the handle
  // ended when it finishes. An exception escaping the task is swallowed here: top-level tasks
  // report their failures themselves.
  void attach(QCoro::Task<void> task) const;

  // Completes when the attached task has ended (at once when it already has).
  QCoro::Task<void> waitForEnd() const;

private:
  struct State {
    std::stop_source source;
    bool ended = false;
    std::unique_ptr<TaskEndNotifier> notifier = std::make_unique<TaskEndNotifier>();
  };

  static QCoro::Task<void> watch(std::shared_ptr<State> state, QCoro::Task<void> task);
  static QCoro::Task<void> waitFor(std::shared_ptr<State> state);

  std::shared_ptr<State> m_state;
};

}  // namespace sayloom
