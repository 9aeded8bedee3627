#pragma once
// The orderly end of the process. The first request to quit (the menus' "종료", Ctrl+Q, closing
// the studio without a tray, SIGTERM or SIGINT, the session manager) starts the model's shutdown
// and answers "later"; the process ends once the shutdown has finished. A second request while
// one is pending ends the process at once. Without a model to shut down it ends at once as well.
// Main thread only.
#include <QCoro/QCoroTask>
#include <QObject>
#include <functional>

namespace sayloom::ui {

class QuitHandshake : public QObject {
  Q_OBJECT
public:
  enum class Reply { later, now };
  using Shutdown = std::function<QCoro::Task<void>()>;

  // `finish` ends the process normally after the shutdown; `abort` ends it at once.
  QuitHandshake(std::function<void()> finish, std::function<void()> abort, QObject* parent = nullptr);

  // The shutdown to run before the process ends; until one is attached, quitting ends at once.
  void attach(Shutdown shutdown);
  bool attached() const { return static_cast<bool>(m_shutdown); }

  Reply request();
  // A request has started the shutdown (it may have finished).
  bool started() const { return m_started; }

signals:
  void shutdownStarted();

private:
  QCoro::Task<void> run();

  std::function<void()> m_finish;
  std::function<void()> m_abort;
  Shutdown m_shutdown;
  bool m_started = false;
};

}  // namespace sayloom::ui
