#pragma once
// The desktop's own open dialog (QFileDialog). Main thread only.
#include "platform/open_dialog.h"

namespace sayloom::ui {

class FileOpenDialog final : public platform::OpenDialog {
public:
  std::optional<QString> askOpenPath(const QString& filter) override;
};

}  // namespace sayloom::ui
