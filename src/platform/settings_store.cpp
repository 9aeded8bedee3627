// The desktop's settings store on QSettings.
#include "platform/settings_store.h"

namespace sayloom::platform {

DesktopSettingsStore::DesktopSettingsStore()
    : m_settings(QStringLiteral("kr.tovik"), QStringLiteral("sayloom")) {}

QVariant DesktopSettingsStore::value(const QString& key, const QVariant& fallback) const {
  return m_settings.value(key, fallback);
}

void DesktopSettingsStore::setValue(const QString& key, const QVariant& value) {
  m_settings.setValue(key, value);
  m_settings.sync();
}

}  // namespace sayloom::platform
