#include "platform/dbus_connection.h"

namespace sayloom::platform {

QDBusConnection connectToBusNamedByEnvironment(QDBusConnection::BusType type, const QString& name) {
  const QByteArray address =
      qgetenv(type == QDBusConnection::SessionBus ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS");
  if (address.isEmpty()) {
    return QDBusConnection::connectToBus(type, name);
  }
  return QDBusConnection::connectToBus(QString::fromUtf8(address), name);
}

}  // namespace sayloom::platform
