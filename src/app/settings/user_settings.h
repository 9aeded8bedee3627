#pragma once
// The user's own settings as the model publishes them: `cpuOnly` (recognition without the graphics
// processor) and `shortcut` (index of the overlay shortcut), each stored at once when changed.
//
// Thread contract: main thread only.
#include <QObject>

#include "platform/settings_store.h"

namespace sayloom {

class UserSettings : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool cpuOnly READ cpuOnly WRITE setCpuOnly NOTIFY cpuOnlyChanged)
  Q_PROPERTY(int shortcut READ shortcut WRITE setShortcut NOTIFY shortcutChanged)

public:
  // Reads both settings from `store`, which must outlive this object.
  explicit UserSettings(platform::SettingsStore& store, QObject* parent = nullptr);

  bool cpuOnly() const { return m_cpuOnly; }
  void setCpuOnly(bool cpuOnly);
  int shortcut() const { return m_shortcut; }
  void setShortcut(int index);

  platform::SettingsStore& store() { return m_store; }

signals:
  void cpuOnlyChanged();
  void shortcutChanged();

private:
  platform::SettingsStore& m_store;
  bool m_cpuOnly;
  int m_shortcut;
};

}  // namespace sayloom
