#pragma once
// Turns the session's termination signals (SIGTERM, SIGINT) into a Qt signal on the main thread:
// the handler only writes the signal's number into a pipe, whose read end a socket notifier
// watches. One instance per process; it restores the previous handlers when destroyed.
//
// Thread contract: made, used and destroyed on the main thread; the signal handler may run on any
// thread and touches nothing but the pipe's write end.
#include <QObject>
#include <csignal>
#include <vector>

class QSocketNotifier;

namespace sayloom::ui {

class UnixSignals : public QObject {
  Q_OBJECT
public:
  explicit UnixSignals(std::vector<int> signalNumbers, QObject* parent = nullptr);
  ~UnixSignals() override;

signals:
  // One emission for every signal delivered.
  void received(int signalNumber);

private:
  void drain();

  std::vector<int> m_signals;
  std::vector<struct sigaction> m_previous;
  int m_pipe[2] = {-1, -1};
  QSocketNotifier* m_notifier = nullptr;
};

}  // namespace sayloom::ui
