// The notes of the sidebar, bound to the note library.
#include "ui/studio/note_list.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QResizeEvent>

#include "app/export/note_exporter.h"
#include "app/notes/note_library.h"
#include "core/native_note.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"

namespace sayloom::ui {

namespace {
const char* const titleName = "noteTitle";
const char* const detailName = "noteDetail";
const char* const badgeName = "badge";
}  // namespace

NoteList::NoteList(NoteLibrary& library, QWidget* parent) : QListWidget(parent), m_library(library) {
  setAccessibleName(QStringLiteral("내 노트"));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  follow(this, &library, &NoteLibrary::notesChanged, [this] { refresh(); });
  follow(this, &library, &NoteLibrary::selectedNoteIDChanged, [this] { showSelection(); });
  connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item != nullptr) {
      m_library.setSelectedNoteID(item->data(Qt::UserRole).toString());
    }
  });
}

QString NoteList::detailLine(const NativeNote& note) {
  const auto seconds = note.createdAt.time_since_epoch().count();
  const QString created =
      QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds)).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  return created + QStringLiteral(" · ") + NoteExporter::duration(note.durationSeconds);
}

QWidget* NoteList::makeRow() {
  // The title (wrapped when long) beside the badge, and the time and duration under both.
  auto* row = new QWidget;
  auto* layout = new QGridLayout(row);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setHorizontalSpacing(6);
  layout->setVerticalSpacing(1);
  auto* title = new QLabel(row);
  title->setObjectName(QLatin1String(titleName));
  title->setWordWrap(true);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title, 0, 0);
  auto* badge = new QFrame(row);
  badge->setObjectName(QLatin1String(badgeName));
  auto* badgeLayout = new QHBoxLayout(badge);
  badgeLayout->setContentsMargins(6, 1, 7, 1);
  badgeLayout->setSpacing(3);
  auto* icon = new QLabel(badge);
  icon->setPixmap(Icons::icon(QStringLiteral("arrow.clockwise")).pixmap(11, 11));
  badgeLayout->addWidget(icon);
  badgeLayout->addWidget(new QLabel(recoverableBadge, badge));
  layout->addWidget(badge, 0, 1, Qt::AlignTop);
  auto* detail = new QLabel(row);
  detail->setObjectName(QLatin1String(detailName));
  detail->setStyleSheet(QStringLiteral("color: palette(placeholder-text);"));
  layout->addWidget(detail, 1, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  return row;
}

void NoteList::fillRow(QListWidgetItem* item, const NativeNote& note) {
  const QString title = QString::fromStdString(note.title);
  const QString detail = detailLine(note);
  item->setData(Qt::UserRole, QString::fromStdString(note.id));
  item->setData(Qt::AccessibleTextRole, title + QLatin1Char('\n') + detail +
                                            (note.completed ? QString() : QLatin1Char('\n') + recoverableBadge));
  QWidget* row = itemWidget(item);
  row->findChild<QLabel*>(QLatin1String(titleName))->setText(title);
  row->findChild<QLabel*>(QLatin1String(detailName))->setText(detail);
  row->findChild<QFrame*>(QLatin1String(badgeName))->setVisible(!note.completed);
  fitHeight(item);
}

void NoteList::fitHeight(QListWidgetItem* item) {
  // As wide as the list whatever the row would like, so that nothing hides under the scroll bar,
  // and as high as its wrapped title needs at that width.
  QWidget* row = itemWidget(item);
  const int width = viewport()->width();
  item->setSizeHint(QSize(0, row->hasHeightForWidth() ? row->heightForWidth(width) : row->sizeHint().height()));
}

void NoteList::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  if (event->size().width() != event->oldSize().width()) {
    for (int i = 0; i < count(); ++i) {
      fitHeight(item(i));
    }
  }
}

void NoteList::refresh() {
  const std::vector<NativeNote>& notes = m_library.notes();
  bool sameNotes = count() == static_cast<int>(notes.size());
  for (int i = 0; sameNotes && i < count(); ++i) {
    sameNotes = item(i)->data(Qt::UserRole).toString().toStdString() == notes[static_cast<std::size_t>(i)].id;
  }
  if (!sameNotes) {
    const QSignalBlocker quiet(this);
    clear();
    for (std::size_t i = 0; i < notes.size(); ++i) {
      auto* item = new QListWidgetItem(this);
      setItemWidget(item, makeRow());
    }
  }
  for (int i = 0; i < count(); ++i) {
    fillRow(item(i), notes[static_cast<std::size_t>(i)]);
  }
  showSelection();
}

void NoteList::showSelection() {
  const std::optional<QString>& selected = m_library.selectedNoteID();
  const QSignalBlocker quiet(this);
  setCurrentItem(nullptr);
  for (int i = 0; selected && i < count(); ++i) {
    if (item(i)->data(Qt::UserRole).toString() == *selected) {
      setCurrentItem(item(i));
      break;
    }
  }
}

}  // namespace sayloom::ui
