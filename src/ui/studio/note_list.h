#pragma once
// The list of notes in the sidebar, newest first: each row shows the title, the creation time and
// the recorded duration, and the badge "복구 가능" on a note that was never completed. The
// selection is the library's `selectedNoteID`. Rows are updated in place while a recording runs.
// Main thread only.
#include <QListWidget>

namespace sayloom {
class NoteLibrary;
struct NativeNote;
}

namespace sayloom::ui {

class NoteList : public QListWidget {
  Q_OBJECT
public:
  explicit NoteList(NoteLibrary& library, QWidget* parent = nullptr);

  // The second line of a note's row: creation time, " · ", duration.
  static QString detailLine(const NativeNote& note);
  static inline const QString recoverableBadge = QStringLiteral("복구 가능");

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void refresh();
  void fitHeight(QListWidgetItem* item);
  void showSelection();
  QWidget* makeRow();
  void fillRow(QListWidgetItem* item, const NativeNote& note);

  NoteLibrary& m_library;
};

}  // namespace sayloom::ui
