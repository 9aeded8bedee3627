// The program entry: the headless self-test with "--self-test", the windowed application otherwise.
#include <QCoreApplication>
#include <QStringList>

#include "app/self_test/self_test.h"
#include "platform/process_guard.h"
#include "ui/shell/application_shell.h"

namespace {

QStringList argumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) {
    arguments << QString::fromLocal8Bit(argv[i]);
  }
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  sayloom::platform::keepMemoryOutOfCoreDumps();
  QCoreApplication::setOrganizationName(QStringLiteral("kr.tovik"));
  QCoreApplication::setApplicationName(QStringLiteral("sayloom"));
  const QStringList arguments = argumentsOf(argc, argv);
  if (arguments.contains(QStringLiteral("--self-test"))) {
    QCoreApplication app(argc, argv);
    return sayloom::selfTestMain(arguments);
  }
  return sayloom::ui::ApplicationShell::run(argc, argv);
}
