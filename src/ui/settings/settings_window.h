#pragma once
// The settings window, 520 × 430, in three sections: "로컬 인식" (processor-only recognition, the
// model download, the data folder), "오버레이" (the global shortcut, showing and hiding all
// captions, recovery of windows off screen, the reduce-transparency choice) and "계정" (linking,
// reloading the workspaces, signing out). Main thread only.
#include <QWidget>

class QTabWidget;

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class SettingsWindow : public QWidget {
  Q_OBJECT
public:
  explicit SettingsWindow(AppModel& model, QWidget* parent = nullptr);

  QTabWidget* sections() const { return m_sections; }

  static inline const QString cpuHelp =
      QStringLiteral("인식은 CPU에서 실행됩니다. 이 빌드에는 GPU 가속이 없습니다.");
  static inline const QString editTip = QStringLiteral(
      "Alt+Super를 누르면 위치·크기를 편집할 수 있습니다. 메뉴 막대에서도 편집 모드를 켤 수 있습니다.");

private:
  QTabWidget* m_sections;
};

}  // namespace sayloom::ui
