#pragma once
// The studio window: the main window of the application.
#include <QMainWindow>

namespace sayloom::ui {

class StudioWindow : public QMainWindow {
  Q_OBJECT
public:
  explicit StudioWindow(QWidget* parent = nullptr);
};

}  // namespace sayloom::ui
