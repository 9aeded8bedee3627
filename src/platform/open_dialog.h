#pragma once
// The open dialog: asks the user for one existing file to read. The window layer supplies the desktop's own
// (QFileDialog), tests their own. Main thread only.
#include <QString>
#include <optional>

namespace sayloom::platform {

class OpenDialog {
public:
  virtual ~OpenDialog() = default;
  // The chosen path, or nothing when the user cancels. `filter` is a Qt name filter such as
  // "JSON (*.json)"; empty allows every file.
  virtual std::optional<QString> askOpenPath(const QString& filter) = 0;
};

}  // namespace sayloom::platform
