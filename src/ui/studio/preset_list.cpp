// The presets of the sidebar: a model over the preset editor, a delegate that paints its rows, and
// the view bound to the editor's selection.
#include "ui/studio/preset_list.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

#include "app/presets/preset_editor.h"
#include "platform/accessibility_settings.h"
#include "ui/captions/preset_swatch.h"
#include "ui/icons/icons.h"

namespace sayloom::ui {

namespace {
// The row's padding and gaps, and the sizes of its icon and swatch.
constexpr int rowMarginX = 6;
constexpr int rowMarginY = 3;
constexpr int partGap = 7;
constexpr int iconSize = 16;
constexpr QSize swatchSize(30, 20);
constexpr int headingMarginY = 2;

QFont headingFont(QFont font) {
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 0.9);
  return font;
}
}  // namespace

// ---- model

PresetListModel::PresetListModel(PresetEditor& editor, QObject* parent)
    : QAbstractListModel(parent), m_editor(editor) {
  connect(&editor, &PresetEditor::presetsChanged, this, &PresetListModel::update);
  // The swatches follow the desktop's contrast and transparency settings.
  connect(&platform::AccessibilitySettings::shared(), &platform::AccessibilitySettings::changed, this,
          [this] {
            if (!m_rows.empty()) {
              emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
            }
          });
  update();
}

int PresetListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

const OverlayPreset* PresetListModel::presetAt(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size() || !m_rows[static_cast<std::size_t>(row)]) {
    return nullptr;
  }
  return &*m_rows[static_cast<std::size_t>(row)];
}

int PresetListModel::rowOf(const QString& id) const {
  const std::string wanted = id.toStdString();
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    if (m_rows[i] && m_rows[i]->Id == wanted) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

Qt::ItemFlags PresetListModel::flags(const QModelIndex& index) const {
  return presetAt(index.row()) != nullptr
             ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
             : Qt::NoItemFlags;
}

QVariant PresetListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  const OverlayPreset* preset = presetAt(index.row());
  if (preset == nullptr) {
    const QString heading = index.row() == 0
                                ? PresetList::builtInHeading
                                : QStringLiteral("%1 %2").arg(PresetList::userHeading).arg(m_userCount);
    switch (role) {
      case Qt::DisplayRole:
      case Qt::AccessibleTextRole:
        return heading;
      case HeadingRole:
        return true;
      default:
        return {};
    }
  }
  const QString name = QString::fromStdString(preset->Name);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return name;
    case Qt::AccessibleTextRole:
      return preset->IsEnabled ? name + QLatin1Char('\n') + PresetList::shownTag : name;
    case Qt::DecorationRole:
      return Icons::icon(Icons::presetKindSymbol(QString::fromStdString(preset->Kind)));
    case IdRole:
      return QString::fromStdString(preset->Id);
    case HeadingRole:
      return false;
    case ShownRole:
      return preset->IsEnabled;
    default:
      return {};
  }
}

void PresetListModel::update() {
  const std::vector<OverlayPreset>& presets = m_editor.presets();
  // The rows in order: the headings as none, the built-in presets under the first.
  std::vector<const OverlayPreset*> rows{nullptr};
  for (const OverlayPreset& preset : presets) {
    if (preset.IsBuiltIn) {
      rows.push_back(&preset);
    }
  }
  rows.push_back(nullptr);
  for (const OverlayPreset& preset : presets) {
    if (!preset.IsBuiltIn) {
      rows.push_back(&preset);
    }
  }

  bool sameRows = rows.size() == m_rows.size();
  for (std::size_t i = 0; sameRows && i < rows.size(); ++i) {
    sameRows = (rows[i] == nullptr) == !m_rows[i] && (rows[i] == nullptr || rows[i]->Id == m_rows[i]->Id);
  }
  if (!sameRows) {
    beginResetModel();
    m_rows.clear();
    m_userCount = 0;
    for (const OverlayPreset* preset : rows) {
      m_rows.push_back(preset != nullptr ? std::optional<OverlayPreset>(*preset) : std::nullopt);
      m_userCount += preset != nullptr && !preset->IsBuiltIn ? 1 : 0;
    }
    endResetModel();
    return;
  }
  // The same presets in the same order: only the rows whose preset changed are told.
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] != nullptr && *rows[i] != *m_rows[i]) {
      m_rows[i] = *rows[i];
      emit dataChanged(index(static_cast<int>(i)), index(static_cast<int>(i)));
    }
  }
}

// ---- delegate

PresetRowDelegate::PresetRowDelegate(PresetListModel& model, QListView* view)
    : QStyledItemDelegate(view), m_model(model), m_view(view) {}

QSize PresetRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // As wide as the list, so that nothing hides under the scroll bar.
  const int width = m_view->viewport()->width();
  if (index.data(PresetListModel::HeadingRole).toBool()) {
    return {width, QFontMetrics(headingFont(option.font)).height() + 2 * headingMarginY + 2};
  }
  const int content = std::max({QFontMetrics(option.font).height() + 4, swatchSize.height(), iconSize});
  return {width, content + 2 * rowMarginY};
}

void PresetRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  QStyleOptionViewItem styled = option;
  initStyleOption(&styled, index);
  const QPalette::ColorGroup group =
      (option.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled;
  painter->save();
  if (index.data(PresetListModel::HeadingRole).toBool()) {
    painter->setFont(headingFont(option.font));
    painter->setPen(option.palette.color(QPalette::Normal, QPalette::PlaceholderText));
    painter->drawText(option.rect.adjusted(rowMarginX, headingMarginY, -rowMarginX, -headingMarginY),
                      Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
    painter->restore();
    return;
  }

  // The selection and hover background as the style draws it, without the item's own text and icon.
  styled.text.clear();
  styled.icon = QIcon();
  styled.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &styled, painter, widget);

  const bool selected = (option.state & QStyle::State_Selected) != 0;
  const QColor text = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
  const QRect inner = option.rect.adjusted(rowMarginX, rowMarginY, -rowMarginX, -rowMarginY);
  int x = inner.left();
  const auto centred = [&inner](int left, QSize size) {
    return QRect(QPoint(left, inner.top() + (inner.height() - size.height()) / 2), size);
  };

  index.data(Qt::DecorationRole)
      .value<QIcon>()
      .paint(painter, centred(x, QSize(iconSize, iconSize)), Qt::AlignCenter,
             selected ? QIcon::Selected : QIcon::Normal);
  x += iconSize + partGap;

  if (const OverlayPreset* preset = m_model.presetAt(index.row())) {
    const platform::AccessibilitySettings& accessibility = platform::AccessibilitySettings::shared();
    const RenderOptions options{.increasedContrast = accessibility.increasedContrast(),
                                .reduceTransparency = accessibility.reduceTransparency(),
                                .forceOpaque = false};
    painter->setRenderHint(QPainter::Antialiasing);
    PresetSwatch::paint(*painter, QRectF(centred(x, swatchSize)), *preset, options);
  }
  x += swatchSize.width() + partGap;

  // The tag at the right end; the name takes what is left.
  int right = inner.right() + 1;
  if (index.data(PresetListModel::ShownRole).toBool()) {
    const int tagWidth = QFontMetrics(option.font).horizontalAdvance(PresetList::shownTag);
    right -= tagWidth;
    painter->setFont(option.font);
    painter->setPen(text);
    painter->drawText(QRect(right, inner.top(), tagWidth, inner.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      PresetList::shownTag);
    right -= partGap;
  }
  const QRect nameRect(x, inner.top(), std::max(0, right - x), inner.height());
  painter->setFont(option.font);
  painter->setPen(text);
  painter->drawText(
      nameRect, Qt::AlignLeft | Qt::AlignVCenter,
      QFontMetrics(option.font)
          .elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, nameRect.width()));
  painter->restore();
}

// ---- view

PresetList::PresetList(PresetEditor& editor, QWidget* parent)
    : SelectionListView(QStringLiteral("오버레이 프리셋"), parent),
      m_editor(editor),
      m_model(new PresetListModel(editor, this)) {
  setItemDelegate(new PresetRowDelegate(*m_model, this));
  setModel(m_model);
  connect(m_model, &QAbstractItemModel::modelReset, this, &PresetList::showSelection);
  connect(&editor, &PresetEditor::selectedPresetIDChanged, this, &PresetList::showSelection);
  showSelection();
}

void PresetList::chosen(const QModelIndex& current) {
  const QString id = current.data(PresetListModel::IdRole).toString();
  if (!id.isEmpty()) {
    m_editor.setSelectedPresetID(id);
  }
}

void PresetList::showSelection() {
  // The editor names the selected preset, or the first one when its Id is not (yet) a preset's.
  showRow(m_model->rowOf(QString::fromStdString(m_editor.selectedPreset().Id)));
}

}  // namespace sayloom::ui
