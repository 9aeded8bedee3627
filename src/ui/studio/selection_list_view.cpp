// A list view bound to a part's selection.
#include "ui/studio/selection_list_view.h"

namespace sayloom::ui {

SelectionListView::SelectionListView(const QString& accessibleName, QWidget* parent) : QListView(parent) {
  setAccessibleName(accessibleName);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Rows are as wide as the list: at a new width their text wraps or elides differently.
  setResizeMode(QListView::Adjust);
}

void SelectionListView::showRow(int row) {
  const QModelIndex target = row >= 0 ? model()->index(row, 0) : QModelIndex();
  if (target == currentIndex() && (!target.isValid() || selectionModel()->isSelected(target))) {
    return;
  }
  m_showingRow = true;
  if (target.isValid()) {
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
  } else {
    selectionModel()->clear();
  }
  m_showingRow = false;
}

void SelectionListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QListView::currentChanged(current, previous);
  if (!m_showingRow) {
    chosen(current);
  }
}

}  // namespace sayloom::ui
