#pragma once
// The tray icon ("Sayloom"; a waveform, or a red record mark while recording) and its menu: the
// account header with the tagline and, while recording, the elapsed time; opening the studio;
// starting or stopping a recording; hiding all captions and their edit mode; bringing them back
// onto the screens; quitting. On desktops with a StatusNotifierItem host the menu is exported over
// D-Bus, elsewhere the icon sits in an XEmbed tray. Main thread only.
#include <QObject>
#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions;

class TrayMenu : public QObject {
  Q_OBJECT
public:
  // `openStudio` shows the studio window and brings it forward.
  TrayMenu(AppModel& model, AppActions& actions, std::function<void()> openStudio, QObject* parent = nullptr);
  ~TrayMenu() override;

  QSystemTrayIcon* icon() const { return m_icon; }
  QMenu* menu() const { return m_menu; }
  // The icon stands in a tray now, so the studio window may close without quitting.
  bool inTray() const;

  static inline const QString tagline = QStringLiteral("기기에서 안전하게 기록하세요");

private:
  QSystemTrayIcon* m_icon;
  QMenu* m_menu;
};

}  // namespace sayloom::ui
