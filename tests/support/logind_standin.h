#pragma once
// A private D-Bus daemon with the logind stand-in (tests/fakes/logind-standin) on it, made the
// system bus of this process (DBUS_SYSTEM_BUS_ADDRESS) for the scope of a test. Both processes are
// stopped by the destructor. Needs a Qt event loop on the calling thread.
#include <QDBusReply>
#include <filesystem>

#include "support/standin_bus.h"
#include "support/temp_dir.h"

namespace sayloom::test {

class LogindStandIn {
public:
  explicit LogindStandIn(const std::filesystem::path& folder)
      : m_bus(folder, "logind-standin"),
        m_env("DBUS_SYSTEM_BUS_ADDRESS", m_bus.address().toUtf8().constData()) {}

  void emitPrepareForSleep(bool start) { call(QStringLiteral("EmitPrepareForSleep"), {start}); }

  unsigned heldInhibitors() { return call(QStringLiteral("HeldInhibitors")).arguments().value(0).toUInt(); }

  QStringList inhibitCalls() {
    return call(QStringLiteral("InhibitCalls")).arguments().value(0).toStringList();
  }

private:
  QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
    return m_bus.call(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                      QStringLiteral("org.sayloom.test.LogindStandIn"), method, arguments);
  }

  StandInBus m_bus;
  ScopedEnv m_env;
};

}  // namespace sayloom::test
