// Termination signals through a self-pipe.
#include "ui/shell/unix_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace sayloom::ui {

namespace {

// The write end of the pipe of the one instance; read by the handler only.
volatile std::sig_atomic_t writeEnd = -1;

void onSignal(int number) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(number);
  // A full pipe drops the byte: that many signals are already waiting.
  [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
  errno = savedErrno;
}

}  // namespace

UnixSignals::UnixSignals(std::vector<int> signalNumbers, QObject* parent)
    : QObject(parent), m_signals(std::move(signalNumbers)) {
  if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }
  writeEnd = m_pipe[1];
  m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignals::drain);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  m_previous.resize(m_signals.size());
  for (std::size_t i = 0; i < m_signals.size(); ++i) {
    ::sigaction(m_signals[i], &action, &m_previous[i]);
  }
}

UnixSignals::~UnixSignals() {
  for (std::size_t i = 0; i < m_previous.size(); ++i) {
    ::sigaction(m_signals[i], &m_previous[i], nullptr);
  }
  writeEnd = -1;
  for (int fd : m_pipe) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

void UnixSignals::drain() {
  unsigned char bytes[16];
  for (;;) {
    const ssize_t count = ::read(m_pipe[0], bytes, sizeof bytes);
    if (count <= 0) {
      return;
    }
    for (ssize_t i = 0; i < count; ++i) {
      emit received(bytes[i]);
    }
  }
}

}  // namespace sayloom::ui
