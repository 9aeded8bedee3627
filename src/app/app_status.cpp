// The application model's status line, warning and working flag.
#include "app/app_status.h"

#include <QCoro/QCoroSignal>

namespace sayloom {

namespace {
const QString readyStatus = QStringLiteral("녹음을 시작할 준비가 되었습니다");
}  // namespace

AppStatus::WorkScope::WorkScope(AppStatus& status) : m_status(&status) {
  if (m_status->m_workCount++ == 0) {
    emit m_status->workingChanged();
  }
}

AppStatus::WorkScope::~WorkScope() {
  if (--m_status->m_workCount == 0) {
    emit m_status->workingChanged();
  }
}

AppStatus::AppStatus(QObject* parent) : QObject(parent), m_status(readyStatus) {}

void AppStatus::setStatus(const QString& status) {
  if (m_status != status) {
    m_status = status;
    emit statusChanged();
  }
}

void AppStatus::setWarning(const std::optional<QString>& warning) {
  if (!warning) {
    m_warningKept = false;
  } else if (m_warningKept && m_warning) {
    if (!m_warning->split(QLatin1Char('\n')).contains(*warning)) {
      m_warning = *m_warning + QLatin1Char('\n') + *warning;
    }
    emit warningChanged();
    return;
  }
  m_warning = warning;
  emit warningChanged();
}

void AppStatus::warnFirst(const QString& text) {
  setWarning(text);
  m_warningKept = true;
}

void AppStatus::warnCurrentException() {
  try {
    throw;
  } catch (const Cancelled&) {
  } catch (...) {
    warn(currentExceptionText());
  }
}

QCoro::Task<void> AppStatus::idle() {
  while (working()) {
    co_await qCoro(this, &AppStatus::workingChanged);
  }
}

QCoro::Task<bool> AppStatus::attempt(QCoro::Task<void> task) {
  try {
    co_await task;
    co_return true;
  } catch (...) {
    warnCurrentException();
  }
  co_return false;
}

}  // namespace sayloom
