#include "platform/logind_sleep_watcher.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUuid>

#include "platform/dbus_connection.h"

namespace sayloom::platform {

namespace {
const QString service = QStringLiteral("org.freedesktop.login1");
const QString path = QStringLiteral("/org/freedesktop/login1");
const QString manager = QStringLiteral("org.freedesktop.login1.Manager");
}  // namespace

LogindSleepWatcher::LogindSleepWatcher(QObject* parent)
    : SleepWatcher(parent),
      m_connectionName(QStringLiteral("sayloom-logind-") +
                       QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_bus(connectToBusNamedByEnvironment(QDBusConnection::SystemBus, m_connectionName)) {
  if (m_bus.isConnected()) {
    m_bus.connect(service, path, manager, QStringLiteral("PrepareForSleep"), this,
                  SLOT(onPrepareForSleep(bool)));
  }
}

LogindSleepWatcher::~LogindSleepWatcher() {
  m_inhibitor = QDBusUnixFileDescriptor();
  QDBusConnection::disconnectFromBus(m_connectionName);
}

bool LogindSleepWatcher::connected() const { return m_bus.isConnected(); }

void LogindSleepWatcher::holdDelay() {
  if (m_wanted) {
    return;
  }
  m_wanted = true;
  const std::uint64_t request = ++m_request;
  if (!m_bus.isConnected()) {
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(service, path, manager, QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep") << QStringLiteral("Sayloom")
       << QStringLiteral("Saving the running recording") << QStringLiteral("delay");
  auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, request](QDBusPendingCallWatcher* finished) { onInhibitReply(finished, request); });
}

void LogindSleepWatcher::onInhibitReply(QDBusPendingCallWatcher* call, std::uint64_t request) {
  call->deleteLater();
  QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
  if (request != m_request || !m_wanted || reply.isError()) {
    return;  // released meanwhile (the descriptor closes with the reply), or refused
  }
  m_inhibitor = reply.value();
}

void LogindSleepWatcher::releaseDelay() {
  m_wanted = false;
  ++m_request;
  m_inhibitor = QDBusUnixFileDescriptor();
}

bool LogindSleepWatcher::delayHeld() const { return m_inhibitor.isValid(); }

void LogindSleepWatcher::onPrepareForSleep(bool start) {
  if (start) {
    emit prepareForSleep();
  }
}

}  // namespace sayloom::platform
