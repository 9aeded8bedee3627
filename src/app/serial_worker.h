#pragma once
// Runs blocking work (disk I/O of a store) on one private thread, one piece at a time in the
// order submitted, and lets a main-thread coroutine await the result. An exception thrown by the
// work is caught on the worker thread and rethrown to the awaiting coroutine.
//
// Thread contract: `run` is called and awaited on the main thread; the work runs on the worker's
// thread. The destructor waits for work already submitted.
//
// Name the work before awaiting it (`auto work = [...] {...}; co_await run(std::move(work));`):
// GCC 12 destroys a capturing lambda written inside a co_await expression twice.
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace sayloom {

namespace detail {

template <typename R>
struct WorkOutcome {
  std::optional<R> value;
  std::exception_ptr error;
};

template <>
struct WorkOutcome<void> {
  std::exception_ptr error;
};

template <typename F, typename R = std::invoke_result_t<F>>
WorkOutcome<R> runCaught(F& work) {
  WorkOutcome<R> outcome;
  try {
    if constexpr (std::is_void_v<R>) {
      work();
    } else {
      outcome.value.emplace(work());
    }
  } catch (...) {
    outcome.error = std::current_exception();
  }
  return outcome;
}

template <typename R>
QCoro::Task<R> awaitOutcome(QFuture<WorkOutcome<R>> future) {
  WorkOutcome<R> outcome = co_await future;
  if (outcome.error) {
    std::rethrow_exception(outcome.error);
  }
  if constexpr (!std::is_void_v<R>) {
    co_return std::move(*outcome.value);
  }
}

}  // namespace detail

// Runs `work` on Qt's shared thread pool (for blocking work that needs no ordering).
template <typename F, typename R = std::invoke_result_t<F>>
QCoro::Task<R> runInBackground(F work) {
  return detail::awaitOutcome<R>(
      QtConcurrent::run([work = std::move(work)]() mutable { return detail::runCaught(work); }));
}

class SerialWorker {
public:
  SerialWorker() { m_pool.setMaxThreadCount(1); }
  ~SerialWorker() { m_pool.waitForDone(); }
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  template <typename F, typename R = std::invoke_result_t<F>>
  QCoro::Task<R> run(F work) {
    return detail::awaitOutcome<R>(
        QtConcurrent::run(&m_pool, [work = std::move(work)]() mutable { return detail::runCaught(work); }));
  }

private:
  QThreadPool m_pool;
};

}  // namespace sayloom
