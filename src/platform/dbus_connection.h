#pragma once
// A private connection to the session or system bus at the address the environment names when it
// is made ($DBUS_SESSION_BUS_ADDRESS, $DBUS_SYSTEM_BUS_ADDRESS), falling back to the bus's usual
// place. (libdbus would keep the first address it saw for the whole process.) The caller
// disconnects it by `name` when done. Main thread only.
#include <QDBusConnection>
#include <QString>

namespace sayloom::platform {

QDBusConnection connectToBusNamedByEnvironment(QDBusConnection::BusType type, const QString& name);

}  // namespace sayloom::platform
