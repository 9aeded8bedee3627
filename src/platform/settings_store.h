#pragma once
// The per-user settings of the application ("cpuOnly", "overlayShortcut", "reduceTransparency"):
// an interface so that tests can keep them in memory, and the desktop's store, QSettings under
// organisation "kr.tovik", application "sayloom". Main thread only.
#include <QSettings>
#include <QString>
#include <QVariant>
#include <map>

namespace sayloom::platform {

class SettingsStore {
public:
  virtual ~SettingsStore() = default;

  // The stored value of `key`, or `fallback` when it was never set.
  virtual QVariant value(const QString& key, const QVariant& fallback) const = 0;
  // Stores `value` at once (written through before returning).
  virtual void setValue(const QString& key, const QVariant& value) = 0;

  bool cpuOnly() const { return value(QStringLiteral("cpuOnly"), false).toBool(); }
  void setCpuOnly(bool on) { setValue(QStringLiteral("cpuOnly"), on); }

  int overlayShortcut() const { return value(QStringLiteral("overlayShortcut"), 0).toInt(); }
  void setOverlayShortcut(int index) { setValue(QStringLiteral("overlayShortcut"), index); }

  // Captions drawn on their flat, opaque background (see AccessibilitySettings).
  bool reduceTransparency() const { return value(QStringLiteral("reduceTransparency"), false).toBool(); }
  void setReduceTransparency(bool on) { setValue(QStringLiteral("reduceTransparency"), on); }
};

// The user's settings file (~/.config/kr.tovik/sayloom.conf, following XDG_CONFIG_HOME).
class DesktopSettingsStore final : public SettingsStore {
public:
  DesktopSettingsStore();
  QVariant value(const QString& key, const QVariant& fallback) const override;
  void setValue(const QString& key, const QVariant& value) override;

private:
  mutable QSettings m_settings;
};

// Settings that live as long as the object: for tests and for a session without a settings file.
class MemorySettingsStore final : public SettingsStore {
public:
  QVariant value(const QString& key, const QVariant& fallback) const override {
    const auto it = m_values.find(key);
    return it == m_values.end() ? fallback : it->second;
  }
  void setValue(const QString& key, const QVariant& value) override { m_values[key] = value; }

private:
  std::map<QString, QVariant> m_values;
};

}  // namespace sayloom::platform
