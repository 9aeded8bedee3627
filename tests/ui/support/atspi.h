#pragma once
// Reading and driving another program's widgets through its accessibility tree, as assistive
// technology does: AT-SPI on the accessibility bus that the session bus hands out (org.a11y.Bus).
// Qt programs publish their tree there when QT_LINUX_ACCESSIBILITY_ALWAYS_ON is set.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QRect>
#include <functional>
#include <optional>

namespace sayloom::test {

// One accessible object: the program's bus name and the object's path.
struct AtspiNode {
  QString service;
  QDBusObjectPath path;
};

inline QDBusArgument& operator<<(QDBusArgument& out, const AtspiNode& node) {
  out.beginStructure();
  out << node.service << node.path;
  out.endStructure();
  return out;
}
inline const QDBusArgument& operator>>(const QDBusArgument& in, AtspiNode& node) {
  in.beginStructure();
  in >> node.service >> node.path;
  in.endStructure();
  return in;
}

}  // namespace sayloom::test

Q_DECLARE_METATYPE(sayloom::test::AtspiNode)

namespace sayloom::test {

class Atspi {
public:
  Atspi() {
    qDBusRegisterMetaType<AtspiNode>();
    qDBusRegisterMetaType<QList<AtspiNode>>();
    QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                            QStringLiteral("org.a11y.Bus"));
    const QDBusReply<QString> address = launcher.call(QStringLiteral("GetAddress"));
    if (address.isValid()) {
      m_bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("sayloom-test-atspi"));
    }
  }
  ~Atspi() { QDBusConnection::disconnectFromBus(QStringLiteral("sayloom-test-atspi")); }

  bool connected() const { return m_bus.isConnected(); }

  // The root of the program with process id `pid`, once it has registered. Programs are told apart
  // by the bus, never by asking them: this test program may be one of them, and it would not answer
  // while it waits.
  std::optional<AtspiNode> application(qint64 pid) const {
    for (const AtspiNode& app :
         children({QStringLiteral("org.a11y.atspi.Registry"),
                   QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))})) {
      const QDBusReply<uint> owner = m_bus.interface()->servicePid(app.service);
      if (owner.isValid() && owner.value() == pid) {
        return app;
      }
    }
    return std::nullopt;
  }

  std::vector<AtspiNode> children(const AtspiNode& node) const {
    const QDBusReply<QList<AtspiNode>> reply = call(node, accessible, QStringLiteral("GetChildren"));
    if (!reply.isValid()) {
      return {};
    }
    const QList<AtspiNode> nodes = reply.value();
    return {nodes.begin(), nodes.end()};
  }

  // The first object under `from` (depth first, `from` included) that `matches`.
  std::optional<AtspiNode> find(const AtspiNode& from,
                                const std::function<bool(const AtspiNode&)>& matches) const {
    if (matches(from)) {
      return from;
    }
    for (const AtspiNode& child : children(from)) {
      if (std::optional<AtspiNode> found = find(child, matches)) {
        return found;
      }
    }
    return std::nullopt;
  }
  // The first object on screen under `from` whose name is `text`, optionally of `role`.
  std::optional<AtspiNode> showing(const AtspiNode& from, const QString& text,
                                   const QString& role = {}) const {
    return find(from, [&](const AtspiNode& node) {
      return name(node) == text && (role.isEmpty() || this->role(node) == role) && isShowing(node);
    });
  }

  QString name(const AtspiNode& node) const {
    return property(node, accessible, QStringLiteral("Name")).toString();
  }
  QString description(const AtspiNode& node) const {
    return property(node, accessible, QStringLiteral("Description")).toString();
  }
  QString role(const AtspiNode& node) const {
    const QDBusReply<QString> reply = call(node, accessible, QStringLiteral("GetRoleName"));
    return reply.isValid() ? reply.value() : QString();
  }
  bool isShowing(const AtspiNode& node) const {
    const QDBusReply<QList<uint>> reply = call(node, accessible, QStringLiteral("GetState"));
    constexpr uint showingState = 25;
    return reply.isValid() && !reply.value().isEmpty() && (reply.value().front() & (1U << showingState)) != 0;
  }
  double value(const AtspiNode& node) const {
    return property(node, QStringLiteral("org.a11y.atspi.Value"), QStringLiteral("CurrentValue")).toDouble();
  }
  // The object's frame in screen coordinates.
  QRect extents(const AtspiNode& node) const {
    const QDBusMessage reply =
        call(node, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GetExtents"), 0U);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
      return {};
    }
    int x = 0, y = 0, width = 0, height = 0;
    const auto argument = reply.arguments().front().value<QDBusArgument>();
    argument.beginStructure();
    argument >> x >> y >> width >> height;
    argument.endStructure();
    return {x, y, width, height};
  }
  // Runs the object's first action (a button's press).
  bool press(const AtspiNode& node) const {
    const QDBusReply<bool> reply =
        call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), 0);
    return reply.isValid() && reply.value();
  }

private:
  static inline const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");

  template <typename... Args>
  QDBusMessage call(const AtspiNode& node, const QString& interface, const QString& method,
                    Args... args) const {
    QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path.path(), interface, method);
    message.setArguments({QVariant::fromValue(args)...});
    return m_bus.call(message, QDBus::Block, 10'000);
  }
  QVariant property(const AtspiNode& node, const QString& interface, const QString& name) const {
    const QDBusMessage reply =
        call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), interface, name);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
      return {};
    }
    return reply.arguments().front().value<QDBusVariant>().variant();
  }

  QDBusConnection m_bus{QStringLiteral("sayloom-test-atspi-none")};
};

}  // namespace sayloom::test
