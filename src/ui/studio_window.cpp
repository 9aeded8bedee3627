#include "ui/studio_window.h"

namespace sayloom::ui {

StudioWindow::StudioWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Sayloom"));
  resize(960, 640);
}

}  // namespace sayloom::ui
