#pragma once
// Runs blocking work off the main thread and lets main-thread coroutines await its result:
// `runInBackground` on Qt's shared pool, `SerialWorker` on one private thread one piece at a time
// in the order submitted (disk I/O of a store), `BackgroundJob` for a result several await. An
// exception thrown by the work is caught on the pool thread and rethrown to the awaiting coroutine.
//
// Threads: jobs are started and awaited on the main thread; the work runs on a pool thread. A
// job's state outlives an awaiting coroutine destroyed early. `SerialWorker`'s destructor waits
// for work already submitted.
//
// Name the work before awaiting it (`auto work = [...] {...}; co_await run(std::move(work));`):
// GCC 12 destroys a capturing lambda written inside a co_await expression twice.
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QFutureInterface>
#include <QRunnable>
#include <QThreadPool>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "app/concurrency/thread_handoff.h"

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

}  // namespace detail

// Work handed to a pool thread, and its outcome once it has run. Any number of main-thread
// coroutines may await one job. Both hand-offs (the work to the pool thread, the outcome back)
// are named for ThreadSanitizer, which cannot see the pool's locks.
template <typename R>
class BackgroundJob {
public:
  // Waits for the work; rethrows what it threw.
  QCoro::Task<void> finished() {
    co_await m_finished.future();
    takeOver(this);
    if (m_outcome.error) {
      std::rethrow_exception(m_outcome.error);
    }
  }

  // What the work returned; only after `finished` completed without throwing. (A const reference:
  // QCoro moves from a non-const lvalue given to co_return.)
  const auto& value() const requires(!std::is_void_v<R>) { return *m_outcome.value; }

  // Moves the value out, for the job's only awaiter.
  R takeValue() requires(!std::is_void_v<R>) { return std::move(*m_outcome.value); }

  // Starts `work` on `pool`. `work` runs on a pool thread and may block.
  template <typename F>
  static std::shared_ptr<BackgroundJob> start(QThreadPool& pool, F work) {
    auto job = std::make_shared<BackgroundJob>();
    job->m_finished.reportStarted();
    auto* runnable = new Runnable<F>(job, std::move(work), pool);
    handOver(runnable);
    pool.start(runnable);
    return job;
  }

private:
  template <typename F>
  class Runnable final : public QRunnable {
  public:
    Runnable(std::shared_ptr<BackgroundJob> job, F work, const QThreadPool& pool)
        : m_job(std::move(job)), m_work(std::move(work)), m_pool(&pool) {}

    // The pool thread lets go of the job before the awaiters wake, so its outcome (an exception
    // they read) ends on their thread, not here behind the exception's own uninstrumented count.
    // The work (and what it captured) ends here too, before the pool's waitForDone returns.
    void run() override {
      takeOver(this);
      std::shared_ptr<BackgroundJob> job = std::exchange(m_job, nullptr);
      job->m_outcome = detail::runCaught(*m_work);
      m_work.reset();
      QFutureInterface<void> finished = job->m_finished;
      handOver(job.get());
      job.reset();
      finished.reportFinished();
      handOver(m_pool);
    }

  private:
    std::shared_ptr<BackgroundJob> m_job;
    std::optional<F> m_work;
    const QThreadPool* m_pool;
  };

  detail::WorkOutcome<R> m_outcome;
  QFutureInterface<void> m_finished;
};

namespace detail {

template <typename R>
QCoro::Task<R> takeOutcome(std::shared_ptr<BackgroundJob<R>> job) {
  co_await job->finished();
  if constexpr (!std::is_void_v<R>) {
    co_return job->takeValue();
  }
}

}  // namespace detail

// Runs `work` on Qt's shared thread pool (for blocking work that needs no ordering).
template <typename F, typename R = std::invoke_result_t<F>>
QCoro::Task<R> runInBackground(F work) {
  return detail::takeOutcome(BackgroundJob<R>::start(*QThreadPool::globalInstance(), std::move(work)));
}

class SerialWorker {
public:
  SerialWorker() { m_pool.setMaxThreadCount(1); }
  ~SerialWorker() {
    m_pool.waitForDone();
    takeOver(&m_pool);
  }
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  template <typename F, typename R = std::invoke_result_t<F>>
  QCoro::Task<R> run(F work) {
    return detail::takeOutcome(BackgroundJob<R>::start(m_pool, std::move(work)));
  }

private:
  QThreadPool m_pool;
};

}  // namespace sayloom
