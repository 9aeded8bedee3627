#include "ui/dialogs/file_save_dialog.h"

#include <QDir>
#include <QFileDialog>

namespace sayloom::ui {

std::optional<QString> FileSaveDialog::askSavePath(const QString& suggestedName, const QString& filter) {
  const QString start = QDir::home().filePath(suggestedName);
  const QString chosen = QFileDialog::getSaveFileName(nullptr, QString(), start, filter);
  if (chosen.isEmpty()) {
    return std::nullopt;
  }
  return chosen;
}

}  // namespace sayloom::ui
