#pragma once
// The overlay presets in the sidebar: the built-in ones under "기본 프리셋", the user's under
// "사용자 프리셋" with their count; each row with its kind's icon, a swatch of its background and
// "표시 중" when its overlay window is shown. The selection is the editor's `selectedPresetID`.
// Main thread only.
#include <QListWidget>

namespace sayloom {
class PresetEditor;
struct OverlayPreset;
}

namespace sayloom::ui {

class PresetList : public QListWidget {
  Q_OBJECT
public:
  explicit PresetList(PresetEditor& editor, QWidget* parent = nullptr);

  static inline const QString builtInHeading = QStringLiteral("기본 프리셋");
  static inline const QString userHeading = QStringLiteral("사용자 프리셋");
  static inline const QString shownTag = QStringLiteral("표시 중");

private:
  void refresh();
  void showSelection();
  QListWidgetItem* addHeading(const QString& text);
  void fillRow(QListWidgetItem* item, const OverlayPreset& preset);

  PresetEditor& m_editor;
};

}  // namespace sayloom::ui
