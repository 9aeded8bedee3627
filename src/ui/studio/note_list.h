#pragma once
// The list of notes in the sidebar, newest first: each row shows the title (bold, wrapped), the
// badge "복구 가능" on a note that was never completed, and the creation time and recorded duration
// under both. The rows are an item model over the note library painted by a delegate, so a row is
// only measured or drawn once its note is in the model. A change of one note repaints that row; the
// model is reset only when the set or order of notes changes. The selection is the library's
// `selectedNoteID`, both ways. Main thread only.
#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <vector>

#include "ui/studio/selection_list_view.h"

namespace sayloom {
class NoteLibrary;
struct NativeNote;
}  // namespace sayloom

namespace sayloom::ui {

// The library's notes as rows; it reads the library's notes and keeps only their ids and titles.
class NoteListModel : public QAbstractListModel {
  Q_OBJECT
public:
  enum Role {
    IdRole = Qt::UserRole,  // QString
    DetailRole,             // QString: creation time · duration
    RecoverableRole,        // bool: never completed, shows the badge
  };
  // Qt::DisplayRole is the title; Qt::AccessibleTextRole the title, detail line and badge, one a line.

  explicit NoteListModel(NoteLibrary& library, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The row of note `id`, or -1.
  int rowOf(const QString& id) const;

private:
  void resetWhenReordered();
  void noteChanged(const QString& id);

  NoteLibrary& m_library;
  struct Row {
    QString id;
    QString title;
  };
  std::vector<Row> m_rows;
};

// Paints a row: the wrapped bold title with the badge beside it, the muted detail line under both.
class NoteRowDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit NoteRowDelegate(QListView* view);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
  struct Layout {
    QRect title;
    QRect badge;  // empty without a badge
    QRect detail;
    int height = 0;
  };
  // Where the parts of a row go in a row `width` wide starting at `top`.
  Layout layout(const QStyleOptionViewItem& option, const QModelIndex& index, int left, int top,
                int width) const;

  QListView* m_view;
};

class NoteList : public SelectionListView {
  Q_OBJECT
public:
  explicit NoteList(NoteLibrary& library, QWidget* parent = nullptr);

  NoteListModel* notes() const { return m_model; }

  // The second line of a note's row: creation time, " · ", duration.
  static QString detailLine(const NativeNote& note);
  static inline const QString recoverableBadge = QStringLiteral("복구 가능");

protected:
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles) override;
  void chosen(const QModelIndex& current) override;

private:
  void showSelection();

  NoteLibrary& m_library;
  NoteListModel* m_model;
};

}  // namespace sayloom::ui
