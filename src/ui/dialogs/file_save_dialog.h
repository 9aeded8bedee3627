#pragma once
// The desktop's own save dialog (QFileDialog), starting in the home folder. Main thread only.
#include "platform/save_dialog.h"

namespace sayloom::ui {

class FileSaveDialog final : public platform::SaveDialog {
public:
  std::optional<QString> askSavePath(const QString& suggestedName, const QString& filter) override;
};

}  // namespace sayloom::ui
