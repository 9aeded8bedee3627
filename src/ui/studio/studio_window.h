#pragma once
// The studio window ("studio", "Sayloom · Studio"): the sidebar and the detail column side by
// side, the toolbar (overlay toggle, settings), the menu bar with the application commands (undo
// and redo of preset edits, recording, the overlay menu, the data folder, signing in, settings and
// quit), the status line, and the alert for the model's warnings. The commands other than undo and
// redo are the application's shared actions. Main thread only.
#include <QMainWindow>
#include <QSize>
#include <functional>

class QMessageBox;
class QSplitter;

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions;
class DetailColumn;
class Sidebar;

class StudioWindow : public QMainWindow {
  Q_OBJECT
public:
  // What the window asks of the application around it.
  // Closing the window leaves the application running (a tray icon is the way back in); without
  // it, closing quits.
  StudioWindow(AppModel& model, AppActions& actions, std::function<bool()> keepsRunningWhenClosed,
               QWidget* parent = nullptr);

  Sidebar* sidebar() const { return m_sidebar; }
  DetailColumn* detail() const { return m_detail; }
  QSplitter* splitter() const { return m_splitter; }
  // The alert showing the current warning, or null.
  QMessageBox* warningBox() const { return m_warningBox; }

  static inline const QString warningTitle = QStringLiteral("확인이 필요합니다");
  static constexpr QSize defaultSize{1320, 860};
  static constexpr QSize minimumContentSize{1060, 690};
  // The first size on a screen whose free area is `available`: the default size, made smaller to
  // leave room for the window frame on a smaller screen, but never below the minimum.
  static QSize fittedSize(const QSize& available);

protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void buildMenus();
  void buildToolBar();
  void showWarning();

  AppModel& m_model;
  AppActions& m_actions;
  std::function<bool()> m_keepsRunningWhenClosed;
  Sidebar* m_sidebar;
  DetailColumn* m_detail;
  QSplitter* m_splitter;
  QAction* m_undo = nullptr;
  QAction* m_redo = nullptr;
  QMessageBox* m_warningBox = nullptr;
};

}  // namespace sayloom::ui
