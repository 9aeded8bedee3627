// The notes of the sidebar: a model over the note library, a delegate that paints its rows, and
// the view bound to the library's selection.
#include "ui/studio/note_list.h"

#include <QApplication>
#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "app/export/note_exporter.h"
#include "app/notes/note_library.h"
#include "core/native_note.h"
#include "ui/icons/icons.h"

namespace sayloom::ui {

namespace {
// The row's padding and gaps, and the badge's colours, padding and icon.
constexpr int rowMarginX = 6;
constexpr int rowMarginY = 4;
constexpr int titleBadgeGap = 6;
constexpr int lineGap = 1;
constexpr int badgePadLeft = 6;
constexpr int badgePadRight = 7;
constexpr int badgePadY = 1;
constexpr int badgeIconSize = 11;
constexpr int badgeIconGap = 3;
constexpr qreal badgeRadius = 7;
const QColor badgeBackground(0xff, 0xf1, 0xcc);
const QColor badgeText(0x8a, 0x5a, 0x00);

QFont boldFont(QFont font) {
  font.setBold(true);
  return font;
}

QSize badgeSize(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width = badgePadLeft + badgeIconSize + badgeIconGap +
                    metrics.horizontalAdvance(NoteList::recoverableBadge) + badgePadRight;
  return {width, std::max(metrics.height(), badgeIconSize) + 2 * badgePadY};
}
}  // namespace

// ---- model

NoteListModel::NoteListModel(NoteLibrary& library, QObject* parent)
    : QAbstractListModel(parent), m_library(library) {
  connect(&library, &NoteLibrary::notesChanged, this, &NoteListModel::resetWhenReordered);
  connect(&library, &NoteLibrary::noteChanged, this, &NoteListModel::noteChanged);
  resetWhenReordered();
}

int NoteListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant NoteListModel::data(const QModelIndex& index, int role) const {
  const std::vector<NativeNote>& notes = m_library.notes();
  const auto row = static_cast<std::size_t>(index.row());
  if (!index.isValid() || row >= m_rows.size() || row >= notes.size()) {
    return {};
  }
  const NativeNote& note = notes[row];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(note.title);
    case IdRole:
      return m_rows[row].id;
    case DetailRole:
      return NoteList::detailLine(note);
    case RecoverableRole:
      return !note.completed;
    case Qt::AccessibleTextRole:
      return QString::fromStdString(note.title) + QLatin1Char('\n') + NoteList::detailLine(note) +
             (note.completed ? QString() : QLatin1Char('\n') + NoteList::recoverableBadge);
    default:
      return {};
  }
}

int NoteListModel::rowOf(const QString& id) const {
  const int row = m_library.indexOf(id);
  return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() &&
                 m_rows[static_cast<std::size_t>(row)].id == id
             ? row
             : -1;
}

void NoteListModel::resetWhenReordered() {
  const std::vector<NativeNote>& notes = m_library.notes();
  bool sameOrder = notes.size() == m_rows.size();
  bool sameTitles = true;
  for (std::size_t i = 0; sameOrder && i < notes.size(); ++i) {
    sameOrder = m_rows[i].id.toStdString() == notes[i].id;
    sameTitles = sameTitles && m_rows[i].title.toStdString() == notes[i].title;
  }
  if (!sameOrder) {
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(notes.size());
    for (const NativeNote& note : notes) {
      m_rows.push_back({QString::fromStdString(note.id), QString::fromStdString(note.title)});
    }
    endResetModel();
    return;
  }
  if (m_rows.empty()) {
    return;
  }
  for (std::size_t i = 0; i < notes.size(); ++i) {
    m_rows[i].title = QString::fromStdString(notes[i].title);
  }
  // Without a new title no row changes its height.
  emit dataChanged(
      index(0), index(static_cast<int>(m_rows.size()) - 1),
      sameTitles ? QList<int>{DetailRole, RecoverableRole, Qt::AccessibleTextRole} : QList<int>{});
}

void NoteListModel::noteChanged(const QString& id) {
  const int row = rowOf(id);
  if (row < 0) {
    return;
  }
  const QString title = QString::fromStdString(m_library.notes()[static_cast<std::size_t>(row)].title);
  Row& shown = m_rows[static_cast<std::size_t>(row)];
  const bool retitled = shown.title != title;
  shown.title = title;
  emit dataChanged(index(row), index(row),
                   retitled ? QList<int>{} : QList<int>{DetailRole, RecoverableRole, Qt::AccessibleTextRole});
}

// ---- delegate

NoteRowDelegate::NoteRowDelegate(QListView* view) : QStyledItemDelegate(view), m_view(view) {}

NoteRowDelegate::Layout NoteRowDelegate::layout(const QStyleOptionViewItem& option, const QModelIndex& index,
                                                int left, int top, int width) const {
  const QFont bold = boldFont(option.font);
  const QFontMetrics titleMetrics(bold);
  const QFontMetrics detailMetrics(option.font);
  const bool recoverable = index.data(NoteListModel::RecoverableRole).toBool();
  const QSize badge = recoverable ? badgeSize(option.font) : QSize();
  const int inner = std::max(1, width - 2 * rowMarginX);
  const int titleWidth = std::max(1, inner - (recoverable ? badge.width() + titleBadgeGap : 0));
  const QRect titleBounds = titleMetrics.boundingRect(QRect(0, 0, titleWidth, 100'000),
                                                      Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                                                      index.data(Qt::DisplayRole).toString());
  Layout placed;
  const int x = left + rowMarginX;
  const int y = top + rowMarginY;
  const int firstLine = std::max({titleBounds.height(), badge.height(), titleMetrics.height()});
  placed.title = QRect(x, y, titleWidth, std::max(titleBounds.height(), titleMetrics.height()));
  if (recoverable) {
    placed.badge = QRect(QPoint(x + inner - badge.width(), y), badge);
  }
  placed.detail = QRect(x, y + firstLine + lineGap, inner, detailMetrics.height());
  placed.height = rowMarginY + firstLine + lineGap + detailMetrics.height() + rowMarginY;
  return placed;
}

QSize NoteRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // As wide as the list, so that nothing hides under the scroll bar, and as high as the wrapped
  // title needs at that width.
  QStyleOptionViewItem styled = option;
  initStyleOption(&styled, index);
  const int width = m_view->viewport()->width();
  return {width, layout(styled, index, 0, 0, width).height};
}

void NoteRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QStyleOptionViewItem styled = option;
  initStyleOption(&styled, index);
  // The selection and hover background as the style draws it, without the item's own text.
  styled.text.clear();
  styled.features &= ~QStyleOptionViewItem::HasDisplay;
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &styled, painter, widget);

  const Layout placed = layout(option, index, option.rect.left(), option.rect.top(), option.rect.width());
  const bool selected = (option.state & QStyle::State_Selected) != 0;
  const QPalette::ColorGroup group =
      (option.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled;
  const QColor text = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
  QColor muted = option.palette.color(group, QPalette::PlaceholderText);
  if (selected) {
    muted = text;
    muted.setAlphaF(0.75F);
  }

  painter->save();
  painter->setFont(boldFont(option.font));
  painter->setPen(text);
  painter->drawText(placed.title, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                    index.data(Qt::DisplayRole).toString());

  if (!placed.badge.isEmpty()) {
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(placed.badge), badgeRadius, badgeRadius);
    painter->fillPath(shape, badgeBackground);
    const QRect inner = placed.badge.adjusted(badgePadLeft, badgePadY, -badgePadRight, -badgePadY);
    const QRect icon(inner.left(), inner.center().y() - badgeIconSize / 2, badgeIconSize, badgeIconSize);
    Icons::icon(QStringLiteral("arrow.clockwise")).paint(painter, icon);
    painter->setFont(option.font);
    painter->setPen(badgeText);
    painter->drawText(inner.adjusted(badgeIconSize + badgeIconGap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      NoteList::recoverableBadge);
  }

  painter->setFont(option.font);
  painter->setPen(muted);
  const QString detail = index.data(NoteListModel::DetailRole).toString();
  painter->drawText(placed.detail, Qt::AlignLeft | Qt::AlignTop,
                    QFontMetrics(option.font).elidedText(detail, Qt::ElideRight, placed.detail.width()));
  painter->restore();
}

// ---- view

NoteList::NoteList(NoteLibrary& library, QWidget* parent)
    : SelectionListView(QStringLiteral("내 노트"), parent),
      m_library(library),
      m_model(new NoteListModel(library, this)) {
  setItemDelegate(new NoteRowDelegate(this));
  setModel(m_model);
  connect(m_model, &QAbstractItemModel::modelReset, this, &NoteList::showSelection);
  connect(&library, &NoteLibrary::selectedNoteIDChanged, this, &NoteList::showSelection);
  showSelection();
}

QString NoteList::detailLine(const NativeNote& note) {
  const auto seconds = note.createdAt.time_since_epoch().count();
  const QString created = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds))
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  return created + QStringLiteral(" · ") + NoteExporter::duration(note.durationSeconds);
}

void NoteList::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles) {
  QListView::dataChanged(topLeft, bottomRight, roles);
  // A new title may wrap onto another number of lines.
  if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) {
    scheduleDelayedItemsLayout();
  }
}

void NoteList::chosen(const QModelIndex& current) {
  if (current.isValid()) {
    m_library.setSelectedNoteID(current.data(NoteListModel::IdRole).toString());
  }
}

void NoteList::showSelection() {
  const std::optional<QString>& selected = m_library.selectedNoteID();
  showRow(selected ? m_model->rowOf(*selected) : -1);
}

}  // namespace sayloom::ui
