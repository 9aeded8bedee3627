#pragma once
// A private D-Bus daemon with the logind stand-in (tests/fakes/logind-standin) on it, made the
// system bus of this process (DBUS_SYSTEM_BUS_ADDRESS) for the scope of a test. Both processes are
// stopped by the destructor. Needs a Qt event loop on the calling thread.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>
#include <QUuid>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "support/temp_dir.h"

namespace sayloom::test {

class LogindStandIn {
public:
  explicit LogindStandIn(const std::filesystem::path& folder) {
    const std::string address = "unix:path=" + (folder / "system-bus").string();
    m_bus.setProgram(QStringLiteral("dbus-daemon"));
    m_bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                        QString::fromStdString("--address=" + address)});
    m_bus.start();
    if (!m_bus.waitForReadyRead(10'000)) {
      throw std::runtime_error("the private bus did not start");
    }
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();

    m_standIn.setProgram(QString::fromStdString(std::string(SAYLOOM_TEST_FAKES_DIR) + "/logind-standin"));
    m_standIn.setArguments({m_address});
    m_standIn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_standIn.start();
    if (!m_standIn.waitForReadyRead(20'000) || !m_standIn.readLine().startsWith("ready")) {
      throw std::runtime_error("the logind stand-in did not start");
    }
    m_env.emplace("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8().constData());
    m_control = QDBusConnection::connectToBus(m_address, m_controlName);
  }

  ~LogindStandIn() {
    QDBusConnection::disconnectFromBus(m_controlName);
    for (QProcess* process : {&m_standIn, &m_bus}) {
      process->terminate();
      if (!process->waitForFinished(5'000)) {
        process->kill();
        process->waitForFinished(5'000);
      }
    }
  }

  LogindStandIn(const LogindStandIn&) = delete;
  LogindStandIn& operator=(const LogindStandIn&) = delete;

  void emitPrepareForSleep(bool start) { call(QStringLiteral("EmitPrepareForSleep"), {start}); }

  unsigned heldInhibitors() { return call(QStringLiteral("HeldInhibitors")).arguments().value(0).toUInt(); }

  QStringList inhibitCalls() {
    return call(QStringLiteral("InhibitCalls")).arguments().value(0).toStringList();
  }

private:
  QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.sayloom.test.LogindStandIn"), method);
    message.setArguments(arguments);
    QDBusMessage reply = m_control.call(message, QDBus::Block, 10'000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
      throw std::runtime_error("the logind stand-in did not answer " + method.toStdString() + ": " +
                               reply.errorMessage().toStdString());
    }
    return reply;
  }

  QProcess m_bus;
  QProcess m_standIn;
  QString m_address;
  std::optional<ScopedEnv> m_env;
  QString m_controlName =
      QStringLiteral("logind-standin-control-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
  QDBusConnection m_control{QString()};
};

}  // namespace sayloom::test
