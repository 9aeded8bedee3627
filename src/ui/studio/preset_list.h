#pragma once
// The overlay presets in the sidebar: the built-in ones under "기본 프리셋", the user's under
// "사용자 프리셋" with their count; each row with its kind's icon, a swatch of its background and
// "표시 중" when its overlay window is shown. The rows are an item model over the preset editor
// painted by a delegate: a change of one preset repaints its row, and the model is reset only when
// the set or order of presets changes. The selection is the editor's `selectedPresetID`, both
// ways. Main thread only.
#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <optional>
#include <vector>

#include "core/overlay_preset.h"
#include "ui/studio/selection_list_view.h"

namespace sayloom {
class PresetEditor;
}

namespace sayloom::ui {

// The headings and the editor's presets as rows: "기본 프리셋", the built-in presets, "사용자 프리셋
// N", the user's. It keeps a copy of each preset shown, to tell which rows a change touched.
class PresetListModel : public QAbstractListModel {
  Q_OBJECT
public:
  enum Role {
    IdRole = Qt::UserRole,  // QString; empty on a heading
    HeadingRole,            // bool
    ShownRole,              // bool: enabled, its overlay window is shown ("표시 중")
  };
  // Qt::DisplayRole is the name or heading, Qt::DecorationRole the kind's icon, Qt::ToolTipRole the
  // name, Qt::AccessibleTextRole the name with "표시 중" on a second line when shown.

  explicit PresetListModel(PresetEditor& editor, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The preset of `row`, or null on a heading or outside the rows.
  const OverlayPreset* presetAt(int row) const;
  // The row of preset `id`, or -1.
  int rowOf(const QString& id) const;

private:
  void update();

  PresetEditor& m_editor;
  // A heading has no preset.
  std::vector<std::optional<OverlayPreset>> m_rows;
  int m_userCount = 0;
};

// Paints a row: the kind's icon, the swatch, the name elided to the room left and the "표시 중" tag;
// a heading as a small bold muted line.
class PresetRowDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  PresetRowDelegate(PresetListModel& model, QListView* view);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
  PresetListModel& m_model;
  QListView* m_view;
};

class PresetList : public SelectionListView {
  Q_OBJECT
public:
  explicit PresetList(PresetEditor& editor, QWidget* parent = nullptr);

  PresetListModel* presets() const { return m_model; }

  static inline const QString builtInHeading = QStringLiteral("기본 프리셋");
  static inline const QString userHeading = QStringLiteral("사용자 프리셋");
  static inline const QString shownTag = QStringLiteral("표시 중");

protected:
  void chosen(const QModelIndex& current) override;

private:
  void showSelection();

  PresetEditor& m_editor;
  PresetListModel* m_model;
};

}  // namespace sayloom::ui
