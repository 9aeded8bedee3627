// The program entry: the headless self-test with "--self-test", the windowed application otherwise.
#include <QApplication>

#include "ui/studio_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("kr.tovik"));
  QApplication::setApplicationName(QStringLiteral("sayloom"));
  sayloom::ui::StudioWindow window;
  window.show();
  return QApplication::exec();
}
