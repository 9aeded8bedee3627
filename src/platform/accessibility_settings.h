#pragma once
// The two accessibility settings that change how captions are drawn, as this desktop offers them:
//   - increased contrast: the XDG desktop portal's appearance setting "contrast" (1 = higher) on
//     the session bus; where no portal answers for it, GNOME's org.gnome.desktop.a11y.interface
//     "high-contrast"; otherwise off. Both are followed while the program runs.
//   - reduce transparency: Linux desktops have no such setting, so it is the user's own choice
//     ("reduceTransparency" in the settings file), or on when the portal reports an appearance
//     setting "reduced-transparency" of 1.
// Values start as "off" and arrive asynchronously from the bus; `changed` announces every change
// of either effective value. The session bus address is read when the object is made
// ($DBUS_SESSION_BUS_ADDRESS).
//
// Thread contract: main thread only (D-Bus and GSettings notifications arrive on its event loop).
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <memory>
#include <optional>

#include "platform/settings_store.h"

class QDBusPendingCallWatcher;

namespace sayloom::platform {

class AccessibilitySettings : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool increasedContrast READ increasedContrast NOTIFY changed)
  Q_PROPERTY(bool reduceTransparency READ reduceTransparency NOTIFY changed)
public:
  explicit AccessibilitySettings(QObject* parent = nullptr);
  ~AccessibilitySettings() override;

  // The instance the views share, made on first use and owned by the application object.
  static AccessibilitySettings& shared();

  bool increasedContrast() const;
  bool reduceTransparency() const;

  // The user's own reduce-transparency choice (the settings window's checkbox), stored at once.
  bool userReduceTransparency() const { return m_userReduceTransparency; }
  void setUserReduceTransparency(bool reduce);

signals:
  void changed();

private slots:
  void onPortalSettingChanged(const QDBusMessage& message);

private:
  class GnomeHighContrast;

  void readPortal(const QString& key, const QString& method);
  void onPortalReply(QDBusPendingCallWatcher* call, const QString& key, const QString& method);
  void setPortalValue(const QString& key, std::optional<bool> value);
  void onGnomeHighContrast(bool value);
  // Runs `change`, then announces a change of the effective values, if any.
  template <typename Change>
  void update(Change change);

  QString m_connectionName;
  QDBusConnection m_bus;
  DesktopSettingsStore m_settings;
  std::unique_ptr<GnomeHighContrast> m_gnome;
  std::optional<bool> m_portalContrast;
  std::optional<bool> m_portalReduceTransparency;
  std::optional<bool> m_gnomeHighContrast;
  bool m_userReduceTransparency = false;
};

}  // namespace sayloom::platform
