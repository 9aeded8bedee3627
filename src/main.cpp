// The program entry: the headless self-test with "--self-test", the windowed application otherwise.
#include <QApplication>
#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QStringList>

#include "app/app_model.h"
#include "app/self_test.h"
#include "ui/desktop_services.h"
#include "ui/studio_window.h"

namespace {

QStringList argumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) {
    arguments << QString::fromLocal8Bit(argv[i]);
  }
  return arguments;
}

void nameApplication() {
  QCoreApplication::setOrganizationName(QStringLiteral("kr.tovik"));
  QCoreApplication::setApplicationName(QStringLiteral("sayloom"));
}

}  // namespace

int main(int argc, char** argv) {
  const QStringList arguments = argumentsOf(argc, argv);
  if (arguments.contains(QStringLiteral("--self-test"))) {
    QCoreApplication app(argc, argv);
    nameApplication();
    return sayloom::selfTestMain(arguments);
  }

  QApplication app(argc, argv);
  nameApplication();
  sayloom::AppModel model(sayloom::ui::desktopServices());
  sayloom::ui::StudioWindow window;
  window.show();
  const int status = QApplication::exec();
  // Stop and save a running recording and let the recognition worker end before the process ends.
  QCoro::waitFor(model.shutdown());
  return status;
}
