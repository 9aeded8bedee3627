// One application per data folder: the folder's lock file and its name on the session bus.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QThread>
#include <cerrno>
#include <system_error>

namespace sayloom::platform {

namespace {

const QString objectPath = QStringLiteral("/kr/tovik/Sayloom");
const QString interfaceName = QStringLiteral("kr.tovik.Sayloom.Instance");
// How long a later start waits for a first one that holds the lock but has not yet put its name on
// the bus (it takes the lock first).
constexpr int nameWaitMs = 5'000;
constexpr int callTimeoutMs = 10'000;

}  // namespace

SingleInstance::SingleInstance(std::filesystem::path root, QObject* parent)
    : QObject(parent), m_root(std::move(root)) {}

std::filesystem::path SingleInstance::lockFile(const std::filesystem::path& root) {
  return root / "Locks" / "app.lock";
}

QString SingleInstance::busName(const std::filesystem::path& root) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::canonical(root, error);
  if (error) {
    canonical = std::filesystem::absolute(root, error).lexically_normal();
  }
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray::fromStdString(canonical.string()), QCryptographicHash::Sha256);
  return QStringLiteral("kr.tovik.Sayloom.d") + QString::fromLatin1(digest.toHex().left(16));
}

SingleInstance::Claim SingleInstance::claim(std::function<void()> activate) {
  m_activate = std::move(activate);
  switch (takeLock()) {
    case Lock::taken:
      ownBusName();
      return Claim::first;
    case Lock::heldElsewhere:
      return askFirstToActivate() ? Claim::activated : Claim::unreachable;
    case Lock::unavailable:
      break;
  }
  // No lock file (a read-only or foreign folder): the bus name alone decides.
  if (ownBusName() || !QDBusConnection::sessionBus().isConnected()) {
    return Claim::first;
  }
  return askFirstToActivate() ? Claim::activated : Claim::first;
}

void SingleInstance::Activate() {
  if (m_activate) {
    m_activate();
  }
}

SingleInstance::Lock SingleInstance::takeLock() {
  const std::filesystem::path file = lockFile(m_root);
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  // Close-on-exec, so the speech engine never inherits and prolongs the lock.
  posix::Descriptor fd(::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644));
  if (fd.get() < 0) {
    return Lock::unavailable;
  }
  int result = 0;
  do {
    result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    m_lock = std::move(fd);
    return Lock::taken;
  }
  return errno == EWOULDBLOCK ? Lock::heldElsewhere : Lock::unavailable;
}

bool SingleInstance::ownBusName() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) {
    return false;
  }
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
      bus.interface()->registerService(busName(m_root), QDBusConnectionInterface::DontQueueService,
                                       QDBusConnectionInterface::DontAllowReplacement);
  if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
    return false;
  }
  bus.registerObject(objectPath, interfaceName, this, QDBusConnection::ExportScriptableSlots);
  return true;
}

bool SingleInstance::askFirstToActivate() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    return false;
  }
  const QString name = busName(m_root);
  const QDeadlineTimer deadline(nameWaitMs);
  for (;;) {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(name, objectPath, interfaceName, QStringLiteral("Activate"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
      return true;
    }
    if (reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
        deadline.hasExpired()) {
      return false;
    }
    QThread::msleep(100);
  }
}

}  // namespace sayloom::platform
