#include "platform/save_dialog.h"

#include <QDir>
#include <QFileDialog>

namespace sayloom::platform {

std::optional<QString> FileSaveDialog::askSavePath(const QString& suggestedName, const QString& filter) {
  const QString start = QDir::home().filePath(suggestedName);
  const QString chosen = QFileDialog::getSaveFileName(nullptr, QString(), start, filter);
  if (chosen.isEmpty()) {
    return std::nullopt;
  }
  return chosen;
}

}  // namespace sayloom::platform
