#include "platform/settings_store.h"

namespace sayloom::platform {

namespace {
constexpr auto cpuOnlyKey = "cpuOnly";
constexpr auto overlayShortcutKey = "overlayShortcut";
constexpr auto reduceTransparencyKey = "reduceTransparency";
}  // namespace

SettingsStore::SettingsStore() : m_settings(QStringLiteral("kr.tovik"), QStringLiteral("sayloom")) {}

bool SettingsStore::cpuOnly() const { return m_settings.value(cpuOnlyKey, false).toBool(); }

void SettingsStore::setCpuOnly(bool value) {
  m_settings.setValue(cpuOnlyKey, value);
  m_settings.sync();
}

int SettingsStore::overlayShortcut() const { return m_settings.value(overlayShortcutKey, 0).toInt(); }

void SettingsStore::setOverlayShortcut(int value) {
  m_settings.setValue(overlayShortcutKey, value);
  m_settings.sync();
}

bool SettingsStore::reduceTransparency() const {
  return m_settings.value(reduceTransparencyKey, false).toBool();
}

void SettingsStore::setReduceTransparency(bool value) {
  m_settings.setValue(reduceTransparencyKey, value);
  m_settings.sync();
}

}  // namespace sayloom::platform
