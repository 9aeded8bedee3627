// sayloom-cli: the notes, exports, recognition, model and presets of Sayloom from a terminal, on
// the same libraries and data folder as the application, without a window.
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QSocketNotifier>
#include <cstdio>
#include <stop_token>
#include <string>
#include <vector>

#include "app/error_text.h"
#include "cli/command_line.h"
#include "core/native_error.h"
#include "platform/process_guard.h"

namespace {

using namespace sayloom;

const char* const programName = "sayloom-cli";
const char* const interruptedText = "중단했습니다.";

// The write end of the pipe the signal handler wakes the main thread through.
int interruptPipe = -1;

// Whether a signal came, and when the first came (CLOCK_MONOTONIC). Only the handler touches them,
// and it blocks both signals while it runs.
bool signalled = false;
timespec firstSignal{};

// Signals this soon after the first are copies of the same request: `timeout`, for one, signals
// its child and then the child's process group, and a terminal's Ctrl+C can come with a copy too.
constexpr long sameRequestNanoseconds = 1'000'000'000;

// The first signal asks the command to stop; a later one (either of them) ends the program at once,
// by the signal's default action. Async-signal-safe calls only.
void onSignal(int signal) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  if (!signalled) {
    signalled = true;
    firstSignal = now;
    const char byte = 1;
    (void)!::write(interruptPipe, &byte, 1);
    return;
  }
  const long long elapsed = static_cast<long long>(now.tv_sec - firstSignal.tv_sec) * 1'000'000'000LL +
                            (now.tv_nsec - firstSignal.tv_nsec);
  if (elapsed < sameRequestNanoseconds) {
    return;
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);  // delivered once this handler returns
}

// Installs onSignal for `signal`, with SIGINT and SIGTERM blocked while it runs.
void handle(int signal) {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

// Empties the non-blocking pipe: the notifier reports a readable pipe for as long as it holds bytes.
void drain(int fd) {
  char bytes[64];
  while (::read(fd, bytes, sizeof bytes) > 0) {
  }
}

void printError(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", programName, text.c_str());
  std::fflush(stderr);
}

QCoro::Task<int> runCommand(const cli::Command& command, const cli::Invocation& invocation) {
  try {
    co_await command.handler(invocation);
    co_return cli::exitOk;
  } catch (const cli::UsageError& error) {
    printError(error.what());
    std::fprintf(stderr, "%s\n", cli::helpHint(error.helpFor()).c_str());
    co_return cli::exitUsage;
  } catch (const cli::AlreadyReported&) {
  } catch (const Cancelled&) {
    printError(interruptedText);
  } catch (...) {
    printError(currentExceptionText().toStdString());
  }
  co_return cli::exitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  sayloom::platform::keepMemoryOutOfCoreDumps();
  QCoreApplication app(argc, argv);
  // Named as the application, whose settings and data it shares.
  QCoreApplication::setOrganizationName(QStringLiteral("kr.tovik"));
  QCoreApplication::setApplicationName(QStringLiteral("sayloom"));

  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.emplace_back(argv[i]);
  }
  cli::Parsed parsed;
  try {
    parsed = cli::parse(arguments);
  } catch (const cli::UsageError& error) {
    printError(error.what());
    std::fprintf(stderr, "%s\n", cli::helpHint(error.helpFor()).c_str());
    return cli::exitUsage;
  }
  if (parsed.output) {
    std::fputs(parsed.output->c_str(), stdout);
    return cli::exitOk;
  }

  // Ctrl+C and termination stop the command the way the application stops its work: the engine
  // is terminated, a download leaves the installed model as it was, and a note keeps what was saved.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    printError("cannot create a pipe");
    return cli::exitFailure;
  }
  interruptPipe = fds[1];
  std::stop_source stop;
  QSocketNotifier interrupt(fds[0], QSocketNotifier::Read);
  QObject::connect(&interrupt, &QSocketNotifier::activated, [&stop, fd = fds[0]] {
    drain(fd);
    stop.request_stop();
  });
  handle(SIGINT);
  handle(SIGTERM);

  parsed.invocation.stop = stop.get_token();
  return QCoro::waitFor(runCommand(*parsed.command, parsed.invocation));
}
