#pragma once
// The per-user settings of the application ("cpuOnly", "overlayShortcut", "reduceTransparency"),
// kept in QSettings under organisation "kr.tovik", application "sayloom". Main thread only.
#include <QSettings>

namespace sayloom::platform {

class SettingsStore {
public:
  SettingsStore();

  bool cpuOnly() const;
  void setCpuOnly(bool value);

  int overlayShortcut() const;
  void setOverlayShortcut(int value);

  // Captions drawn on their flat, opaque background (see AccessibilitySettings).
  bool reduceTransparency() const;
  void setReduceTransparency(bool value);

private:
  mutable QSettings m_settings;
};

}  // namespace sayloom::platform
