// The user's settings, published and stored.
#include "app/settings/user_settings.h"

namespace sayloom {

UserSettings::UserSettings(platform::SettingsStore& store, QObject* parent)
    : QObject(parent), m_store(store), m_cpuOnly(store.cpuOnly()), m_shortcut(store.overlayShortcut()) {}

void UserSettings::setCpuOnly(bool cpuOnly) {
  m_store.setCpuOnly(cpuOnly);
  if (m_cpuOnly != cpuOnly) {
    m_cpuOnly = cpuOnly;
    emit cpuOnlyChanged();
  }
}

void UserSettings::setShortcut(int index) {
  m_store.setOverlayShortcut(index);
  if (m_shortcut != index) {
    m_shortcut = index;
    emit shortcutChanged();
  }
}

}  // namespace sayloom
