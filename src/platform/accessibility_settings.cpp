// GLib's headers name a struct member `signals`, which Qt defines as a keyword: include them first.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUuid>
#include <functional>

#include "platform/accessibility_settings.h"
#include "platform/dbus_connection.h"

namespace sayloom::platform {

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString contrastKey = QStringLiteral("contrast");
const QString reducedTransparencyKey = QStringLiteral("reduced-transparency");

// A portal value as a switch: 1 is on, anything else (unknown values included) is off. The
// deprecated Read wraps the value in one more variant.
bool portalSwitch(QVariant value) {
  while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
    value = value.value<QDBusVariant>().variant();
  }
  bool ok = false;
  const uint number = value.toUInt(&ok);
  return ok && number == 1;
}
}  // namespace

// GNOME's high-contrast switch through GSettings, when its schema is installed.
class AccessibilitySettings::GnomeHighContrast {
public:
  static std::unique_ptr<GnomeHighContrast> open(std::function<void(bool)> onChange) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) {
      return nullptr;
    }
    GSettingsSchema* schema =
        g_settings_schema_source_lookup(source, "org.gnome.desktop.a11y.interface", TRUE);
    if (schema == nullptr) {
      return nullptr;
    }
    const bool hasKey = g_settings_schema_has_key(schema, "high-contrast");
    GSettings* settings = hasKey ? g_settings_new_full(schema, nullptr, nullptr) : nullptr;
    g_settings_schema_unref(schema);
    if (settings == nullptr) {
      return nullptr;
    }
    return std::unique_ptr<GnomeHighContrast>(new GnomeHighContrast(settings, std::move(onChange)));
  }

  ~GnomeHighContrast() {
    g_signal_handler_disconnect(m_settings, m_handler);
    g_object_unref(m_settings);
  }

  GnomeHighContrast(const GnomeHighContrast&) = delete;
  GnomeHighContrast& operator=(const GnomeHighContrast&) = delete;

  bool value() const { return g_settings_get_boolean(m_settings, "high-contrast") != FALSE; }

private:
  GnomeHighContrast(GSettings* settings, std::function<void(bool)> onChange)
      : m_settings(settings), m_onChange(std::move(onChange)) {
    m_handler =
        g_signal_connect(m_settings, "changed::high-contrast", G_CALLBACK(&GnomeHighContrast::changed), this);
  }

  static void changed(GSettings*, const char*, gpointer self) {
    auto* watcher = static_cast<GnomeHighContrast*>(self);
    watcher->m_onChange(watcher->value());
  }

  GSettings* m_settings;
  gulong m_handler = 0;
  std::function<void(bool)> m_onChange;
};

AccessibilitySettings::AccessibilitySettings(QObject* parent)
    : QObject(parent),
      m_connectionName(QStringLiteral("sayloom-accessibility-") +
                       QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_bus(connectToBusNamedByEnvironment(QDBusConnection::SessionBus, m_connectionName)),
      m_userReduceTransparency(m_settings.reduceTransparency()) {
  m_gnome = GnomeHighContrast::open([this](bool value) { onGnomeHighContrast(value); });
  if (m_gnome) {
    m_gnomeHighContrast = m_gnome->value();
  }
  if (m_bus.isConnected()) {
    // The whole message rather than typed arguments: QtDBus may not know QDBusVariant yet when the
    // first connection is made.
    m_bus.connect(portalService, portalPath, portalSettings, QStringLiteral("SettingChanged"), this,
                  SLOT(onPortalSettingChanged(QDBusMessage)));
    readPortal(contrastKey, QStringLiteral("ReadOne"));
    readPortal(reducedTransparencyKey, QStringLiteral("ReadOne"));
  }
}

AccessibilitySettings::~AccessibilitySettings() { QDBusConnection::disconnectFromBus(m_connectionName); }

AccessibilitySettings& AccessibilitySettings::shared() {
  static AccessibilitySettings* instance = new AccessibilitySettings(QCoreApplication::instance());
  return *instance;
}

bool AccessibilitySettings::increasedContrast() const {
  return m_portalContrast.value_or(m_gnomeHighContrast.value_or(false));
}

bool AccessibilitySettings::reduceTransparency() const {
  return m_userReduceTransparency || m_portalReduceTransparency.value_or(false);
}

void AccessibilitySettings::setUserReduceTransparency(bool reduce) {
  m_settings.setReduceTransparency(reduce);
  update([&] { m_userReduceTransparency = reduce; });
}

template <typename Change>
void AccessibilitySettings::update(Change change) {
  const bool contrast = increasedContrast();
  const bool transparency = reduceTransparency();
  change();
  if (contrast != increasedContrast() || transparency != reduceTransparency()) {
    emit changed();
  }
}

void AccessibilitySettings::readPortal(const QString& key, const QString& method) {
  QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, portalSettings, method);
  call << appearance << key;
  auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, key, method](QDBusPendingCallWatcher* finished) { onPortalReply(finished, key, method); });
}

void AccessibilitySettings::onPortalReply(QDBusPendingCallWatcher* call, const QString& key,
                                          const QString& method) {
  call->deleteLater();
  const QDBusPendingReply<QDBusVariant> reply = *call;
  if (reply.isError()) {
    // Portals before version 2 have only the deprecated Read.
    if (method == QStringLiteral("ReadOne") && reply.error().type() == QDBusError::UnknownMethod) {
      readPortal(key, QStringLiteral("Read"));
    }
    return;
  }
  setPortalValue(key, portalSwitch(QVariant::fromValue(reply.value())));
}

void AccessibilitySettings::onPortalSettingChanged(const QDBusMessage& message) {
  const QVariantList arguments = message.arguments();
  if (arguments.size() == 3 && arguments[0].toString() == appearance) {
    setPortalValue(arguments[1].toString(), portalSwitch(arguments[2]));
  }
}

void AccessibilitySettings::setPortalValue(const QString& key, std::optional<bool> value) {
  if (key == contrastKey) {
    update([&] { m_portalContrast = value; });
  } else if (key == reducedTransparencyKey) {
    update([&] { m_portalReduceTransparency = value; });
  }
}

void AccessibilitySettings::onGnomeHighContrast(bool value) {
  update([&] { m_gnomeHighContrast = value; });
}

}  // namespace sayloom::platform
