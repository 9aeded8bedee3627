#pragma once
// The per-user settings of the application ("cpuOnly", "overlayShortcut"), kept in QSettings under
// organisation "kr.tovik", application "sayloom". Main thread only.
#include <QSettings>

namespace sayloom::platform {

class SettingsStore {
public:
  SettingsStore();

  bool cpuOnly() const;
  void setCpuOnly(bool value);

  int overlayShortcut() const;
  void setOverlayShortcut(int value);

private:
  mutable QSettings m_settings;
};

}  // namespace sayloom::platform
