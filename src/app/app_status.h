#pragma once
// What every part of the application model reports to the user: the one-line `status`, the
// `warning` shown in an alert, and `working`, true while any start, stop or export runs. Parts
// report failures here instead of throwing towards the views.
//
// Thread contract: main thread only, like every part of the model.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <optional>

#include "app/error_text.h"
#include "core/native_error.h"

namespace sayloom {

class AppStatus : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString status READ status NOTIFY statusChanged)
  Q_PROPERTY(std::optional<QString> warning READ warning WRITE setWarning NOTIFY warningChanged)
  Q_PROPERTY(bool working READ working NOTIFY workingChanged)

public:
  // Keeps `working` true for its lifetime; several may be alive at once.
  class WorkScope {
  public:
    explicit WorkScope(AppStatus& status);
    ~WorkScope();
    WorkScope(const WorkScope&) = delete;
    WorkScope& operator=(const WorkScope&) = delete;

  private:
    AppStatus* m_status;
  };

  explicit AppStatus(QObject* parent = nullptr);

  const QString& status() const { return m_status; }
  void setStatus(const QString& status);

  const std::optional<QString>& warning() const { return m_warning; }
  // Views clear the warning (nullopt) once they have shown it. Every warning is announced, even
  // one equal to the last, so that views show it again.
  void setWarning(const std::optional<QString>& warning);
  void warn(const QString& text) { setWarning(text); }
  // A warning the user must see even when more follow before it is shown: until the views clear
  // it, later warnings are added below it (each text once) instead of replacing it.
  void warnFirst(const QString& text);
  // In a catch block: warns with the text of the exception in flight, unless it is a cancellation.
  void warnCurrentException();

  bool working() const { return m_workCount > 0; }
  // Completes once no start, stop or export runs (at once when none does).
  QCoro::Task<void> idle();

  // Awaits `task`; a failure becomes the warning (a cancellation stays silent) and gives nothing.
  template <typename T>
  QCoro::Task<std::optional<T>> attempt(QCoro::Task<T> task) {
    try {
      co_return co_await task;
    } catch (...) {
      warnCurrentException();
    }
    co_return std::nullopt;
  }
  // The same for a task without a result: true when it succeeded.
  QCoro::Task<bool> attempt(QCoro::Task<void> task);

signals:
  void statusChanged();
  void warningChanged();
  void workingChanged();

private:
  QString m_status;
  std::optional<QString> m_warning;
  bool m_warningKept = false;  // the warning on hand came from warnFirst and is not cleared yet
  int m_workCount = 0;
};

}  // namespace sayloom
