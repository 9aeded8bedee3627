#pragma once
// The gradient stops of the selected preset: a strip previewing the gradient over the
// checkerboard, one row per stop (colour well, position slider in "%", remove button) and a
// button that adds a stop. Every change goes through the preset editor as one edit of the whole
// stop list; adding is offered while the preset has fewer than 8 stops, removing while it has
// more than 2. Main thread only.
#include <QWidget>
#include <functional>
#include <vector>

#include "core/overlay_preset.h"

class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace sayloom {
class PresetEditor;
}

namespace sayloom::ui {

class ColorWell;
class GradientStrip;
class ValueSlider;

class GradientEditor : public QWidget {
  Q_OBJECT
public:
  static inline const QString stripName = QStringLiteral("투명도 체크무늬 위 그라데이션");

  explicit GradientEditor(PresetEditor& editor, QWidget* parent = nullptr);

  // Shows the selected preset's stops.
  void refresh();

private:
  struct StopRow {
    QWidget* row;
    ColorWell* well;
    ValueSlider* position;
    QToolButton* remove;
  };

  StopRow makeRow(std::size_t index);
  void editStop(std::size_t index, const std::function<void(GradientStop&)>& change);

  PresetEditor& m_editor;
  GradientStrip* m_strip;
  QVBoxLayout* m_rowsLayout;
  std::vector<StopRow> m_rows;
  QPushButton* m_add;
};

}  // namespace sayloom::ui
