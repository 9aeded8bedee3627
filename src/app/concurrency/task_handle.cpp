#include "app/concurrency/task_handle.h"

#include <QCoro/QCoroSignal>

namespace sayloom {

TaskHandle::TaskHandle() : m_state(std::make_shared<State>()) {}

std::stop_token TaskHandle::token() const { return m_state->source.get_token(); }

void TaskHandle::cancel() const { m_state->source.request_stop(); }

bool TaskHandle::cancelled() const { return m_state->source.stop_requested(); }

bool TaskHandle::ended() const { return m_state->ended; }

void TaskHandle::attach(QCoro::Task<void> task) const { watch(m_state, std::move(task)); }

QCoro::Task<void> TaskHandle::waitForEnd() const { return waitFor(m_state); }

QCoro::Task<void> TaskHandle::watch(std::shared_ptr<State> state, QCoro::Task<void> task) {
  try {
    co_await task;
  } catch (...) {
  }
  state->ended = true;
  emit state->notifier->ended();
}

QCoro::Task<void> TaskHandle::waitFor(std::shared_ptr<State> state) {
  if (!state->ended) {
    co_await qCoro(state->notifier.get(), &TaskEndNotifier::ended);
  }
}

}  // namespace sayloom
