#pragma once
// The save dialog: asks the user where to write a file. The window layer supplies the desktop's own
// (QFileDialog), tests their own. Main thread only.
#include <QString>
#include <optional>

namespace sayloom::platform {

class SaveDialog {
public:
  virtual ~SaveDialog() = default;
  // The chosen path, or nothing when the user cancels. `filter` is a Qt name filter such as
  // "WAV (*.wav)"; empty allows every file.
  virtual std::optional<QString> askSavePath(const QString& suggestedName, const QString& filter) = 0;
};

}  // namespace sayloom::platform
