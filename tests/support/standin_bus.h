#pragma once
// A private D-Bus daemon with one stand-in service (a script in tests/fakes) on it, both stopped by
// the destructor. The script gets the bus address as its first argument and prints "ready" once it
// owns its name. Tests then make the bus the process's system or session bus (ScopedEnv) and drive
// the stand-in through its test-control interface with `call`. Needs a Qt event loop.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>
#include <QUuid>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace sayloom::test {

class StandInBus {
public:
  StandInBus(const std::filesystem::path& folder, const char* script, const QStringList& arguments = {}) {
    const std::string address = "unix:path=" + (folder / (std::string(script) + "-bus")).string();
    m_bus.setProgram(QStringLiteral("dbus-daemon"));
    m_bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                        QString::fromStdString("--address=" + address)});
    m_bus.start();
    if (!m_bus.waitForReadyRead(10'000)) {
      throw std::runtime_error("the private bus did not start");
    }
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();

    m_standIn.setProgram(QString::fromStdString(std::string(SAYLOOM_TEST_FAKES_DIR) + "/" + script));
    m_standIn.setArguments(QStringList{m_address} + arguments);
    m_standIn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_standIn.start();
    if (!m_standIn.waitForReadyRead(20'000) || !m_standIn.readLine().startsWith("ready")) {
      throw std::runtime_error(std::string("the stand-in ") + script + " did not start");
    }
    m_control = QDBusConnection::connectToBus(m_address, m_controlName);
  }

  ~StandInBus() {
    QDBusConnection::disconnectFromBus(m_controlName);
    for (QProcess* process : {&m_standIn, &m_bus}) {
      process->terminate();
      if (!process->waitForFinished(5'000)) {
        process->kill();
        process->waitForFinished(5'000);
      }
    }
  }

  StandInBus(const StandInBus&) = delete;
  StandInBus& operator=(const StandInBus&) = delete;

  const QString& address() const { return m_address; }

  // Calls a method of the stand-in and returns its reply; throws when it does not answer.
  QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                    const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusMessage reply = m_control.call(message, QDBus::Block, 10'000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
      throw std::runtime_error("the stand-in did not answer " + method.toStdString() + ": " +
                               reply.errorMessage().toStdString());
    }
    return reply;
  }

private:
  QProcess m_bus;
  QProcess m_standIn;
  QString m_address;
  QString m_controlName =
      QStringLiteral("standin-control-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
  QDBusConnection m_control{QString()};
};

}  // namespace sayloom::test
