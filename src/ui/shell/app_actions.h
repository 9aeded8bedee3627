#pragma once
// The application's commands, one QAction each, made once per application and shared by the views
// that offer them: the studio's menu bar, toolbar and buttons and the tray menu. Each command's
// text, shortcut, icon, enabled rule and what it runs are written here, bound to the model; a view
// only places the action (a menu or toolbar adds it, a push button follows it through
// `driveButton`). Main thread only.
#include <QObject>
#include <functional>

class QAction;

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions : public QObject {
  Q_OBJECT
public:
  // What the commands ask of the application around them.
  struct Shell {
    std::function<void()> openSettings;
    // Quit through the orderly shutdown.
    std::function<void()> quit;
  };

  AppActions(AppModel& model, Shell shell, QObject* parent = nullptr);

  // "녹음 시작" / "녹음 중지": starts or stops a recording. A stop is possible unless other work
  // runs; a start waits until nothing is recording, working or recognising.
  QAction* record() const { return m_record; }
  // "모든 오버레이 숨기기" / "모든 오버레이 표시" (Ctrl+Shift+O), in a toolbar the shorter
  // "오버레이 숨기기" / "오버레이 표시": flips whether the overlays are hidden.
  QAction* hideOverlays() const { return m_hideOverlays; }
  // The same command as the tray's check box: "모든 오버레이 숨기기", checked while hidden.
  QAction* hideOverlaysToggle() const { return m_hideOverlaysToggle; }
  // "오버레이 편집" / "오버레이 편집 종료": flips the overlays' edit mode.
  QAction* editOverlays() const { return m_editOverlays; }
  // The same command as the tray's check box: "오버레이 편집", checked while editing.
  QAction* editOverlaysToggle() const { return m_editOverlaysToggle; }
  // "모든 오버레이 화면 안으로 이동": brings every overlay window back onto a screen.
  QAction* recoverOverlays() const { return m_recoverOverlays; }
  // "저장 폴더 열기": the data folder in the file manager.
  QAction* openDataFolder() const { return m_openDataFolder; }
  // "계정 연결" / "로그인 취소" while a pairing runs: starts or cancels the sign-in. Hidden from
  // menus while signed in.
  QAction* signIn() const { return m_signIn; }
  // "설정…" (the standard preferences key), "설정" in a toolbar: opens the settings window.
  QAction* settings() const { return m_settings; }
  // "종료" (Ctrl+Q): quits through the orderly shutdown.
  QAction* quit() const { return m_quit; }

private:
  QAction* m_record;
  QAction* m_hideOverlays;
  QAction* m_hideOverlaysToggle;
  QAction* m_editOverlays;
  QAction* m_editOverlaysToggle;
  QAction* m_recoverOverlays;
  QAction* m_openDataFolder;
  QAction* m_signIn;
  QAction* m_settings;
  QAction* m_quit;
};

}  // namespace sayloom::ui
