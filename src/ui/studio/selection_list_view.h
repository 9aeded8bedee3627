#pragma once
// A list of rows whose selection is a part's selected item (the selected note, the selected
// preset): the view shows the part's choice and reports the user's choice, never one as the other.
// Main thread only.
#include <QListView>

namespace sayloom::ui {

class SelectionListView : public QListView {
  Q_OBJECT

public:
  // Single selection, rows as wide as the list and laid out again at a new width.
  explicit SelectionListView(const QString& accessibleName, QWidget* parent = nullptr);

protected:
  // Selects `row` (nothing when it is -1) and scrolls to it, without calling `chosen`.
  void showRow(int row);
  // The user made `current` the current row.
  virtual void chosen(const QModelIndex& current) = 0;

  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
  bool m_showingRow = false;
};

}  // namespace sayloom::ui
