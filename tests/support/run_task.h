#pragma once
// Drives a QCoro task to its end from a test, in a nested event loop, and hands back its value or
// rethrows its exception (QCoro::waitFor alone never returns when the task throws).
#include <QCoroTask>
#include <exception>
#include <optional>
#include <type_traits>

namespace sayloom::test {

namespace detail {

template <typename T>
QCoro::Task<std::optional<T>> capture(QCoro::Task<T> task, std::exception_ptr* error) {
  try {
    co_return co_await std::move(task);
  } catch (...) {
    *error = std::current_exception();
    co_return std::nullopt;
  }
}

inline QCoro::Task<bool> captureVoid(QCoro::Task<void> task, std::exception_ptr* error) {
  try {
    co_await std::move(task);
  } catch (...) {
    *error = std::current_exception();
  }
  co_return true;
}

}  // namespace detail

template <typename T>
T runTask(QCoro::Task<T> task) {
  std::exception_ptr error;
  if constexpr (std::is_void_v<T>) {
    QCoro::waitFor(detail::captureVoid(std::move(task), &error));
    if (error) {
      std::rethrow_exception(error);
    }
  } else {
    std::optional<T> result = QCoro::waitFor(detail::capture(std::move(task), &error));
    if (error) {
      std::rethrow_exception(error);
    }
    return std::move(*result);
  }
}

}  // namespace sayloom::test
