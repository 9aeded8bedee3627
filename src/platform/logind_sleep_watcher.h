#pragma once
// The sleep notification from systemd-logind on the system bus: the Manager's
// PrepareForSleep(true) signal, and a "delay" sleep inhibitor (a file descriptor that holds back
// sleep while it is open). Without a system bus or logind the watcher stays silent and holds
// nothing. The bus address is read when the watcher is made ($DBUS_SYSTEM_BUS_ADDRESS, else the
// system's own).
//
// Thread contract: main thread only.
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <cstdint>

#include "platform/sleep_watcher.h"

class QDBusPendingCallWatcher;

namespace sayloom::platform {

class LogindSleepWatcher final : public SleepWatcher {
  Q_OBJECT
public:
  explicit LogindSleepWatcher(QObject* parent = nullptr);
  ~LogindSleepWatcher() override;

  void holdDelay() override;
  void releaseDelay() override;
  bool delayHeld() const override;

  // Whether the system bus could be reached.
  bool connected() const;

private slots:
  void onPrepareForSleep(bool start);

private:
  void onInhibitReply(QDBusPendingCallWatcher* call, std::uint64_t request);

  QString m_connectionName;
  QDBusConnection m_bus;
  QDBusUnixFileDescriptor m_inhibitor;
  // Incremented by every hold and release, so a late reply to an abandoned request is dropped.
  std::uint64_t m_request = 0;
  bool m_wanted = false;
};

}  // namespace sayloom::platform
