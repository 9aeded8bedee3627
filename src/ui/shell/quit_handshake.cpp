// The quit handshake: shutdown first, then the end of the process.
#include "ui/shell/quit_handshake.h"

namespace sayloom::ui {

QuitHandshake::QuitHandshake(std::function<void()> finish, std::function<void()> abort, QObject* parent)
    : QObject(parent), m_finish(std::move(finish)), m_abort(std::move(abort)) {}

void QuitHandshake::attach(Shutdown shutdown) { m_shutdown = std::move(shutdown); }

QuitHandshake::Reply QuitHandshake::request() {
  if (m_started) {
    m_abort();
    return Reply::now;
  }
  if (!m_shutdown) {
    m_finish();
    return Reply::now;
  }
  m_started = true;
  emit shutdownStarted();
  (void)run();
  return Reply::later;
}

QCoro::Task<void> QuitHandshake::run() {
  try {
    co_await m_shutdown();
  } catch (...) {
    // A shutdown that failed still ends the process: nothing else would.
  }
  m_finish();
}

}  // namespace sayloom::ui
