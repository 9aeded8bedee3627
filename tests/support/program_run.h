#pragma once
// Runs a built program as a user would, for tests: arguments, standard output and error, exit
// status. It waits on the Qt event loop, so servers the test runs on that loop keep answering.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <string>

namespace sayloom::test {

struct ProgramRun {
  int status = -1;  // -1 when the program crashed or did not end in time
  std::string out;
  std::string err;
};

// The program gets this process's environment as it is at the call, and no standard input.
inline ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 300'000) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start();
  if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
    process.kill();
    process.waitForFinished();
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

}  // namespace sayloom::test
