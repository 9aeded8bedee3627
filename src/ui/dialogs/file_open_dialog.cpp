#include "ui/dialogs/file_open_dialog.h"

#include <QDir>
#include <QFileDialog>

namespace sayloom::ui {

std::optional<QString> FileOpenDialog::askOpenPath(const QString& filter) {
  const QString chosen = QFileDialog::getOpenFileName(nullptr, QString(), QDir::homePath(), filter);
  if (chosen.isEmpty()) {
    return std::nullopt;
  }
  return chosen;
}

}  // namespace sayloom::ui
