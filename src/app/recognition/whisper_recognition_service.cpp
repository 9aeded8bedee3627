#include "app/recognition/whisper_recognition_service.h"

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoroProcess>
#include <QMetaObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <system_error>

#include "app/concurrency/serial_worker.h"
#include "app/speech_model/model_file_check.h"
#include "core/atomic_file.h"
#include "core/chunk_files.h"
#include "core/native_error.h"
#include "core/posix_file.h"
#include "core/uuid.h"
#include "core/wave.h"
#include "core/whisper_output.h"

namespace sayloom {

namespace {

// How long a terminated engine may take to exit before it is killed.
constexpr std::chrono::milliseconds killDelay{5'000};

QString pathText(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// Writes `bytes` to a new file (no synchronisation: the file is scratch input for the engine).
void writeScratchFile(const std::filesystem::path& path, std::string_view bytes) {
  posix::Descriptor fd = posix::createNew(path, 0600);
  posix::writeAll(fd.get(), bytes, path);
  fd.close(path, "cannot write file");
}

// A fresh folder in the system's temporary folder, readable by this user alone (the recording's
// audio passes through it), removed with everything in it when the call that made it ends, however
// it ends.
class WorkFolder {
public:
  WorkFolder() : m_path(std::filesystem::temp_directory_path() / ("sayloom-" + uuid::generate())) {
    if (::mkdir(m_path.c_str(), 0700) != 0) {
      posix::throwErrno("cannot create folder", m_path);
    }
  }
  ~WorkFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const std::filesystem::path& path() const { return m_path; }

private:
  std::filesystem::path m_path;
};

// Why the engine could not be started. QProcess only says that it failed, so the cause execve(2)
// met is found again on the file: missing (or a missing folder on the way), not executable, a
// folder. When the file looks executable the cause lies inside it (a wrong format, a missing
// interpreter) and QProcess's own text is all there is to tell.
[[noreturn]] void throwStartFailure(const QString& program, const QString& processError) {
  const std::string what = "cannot start " + program.toStdString();
  std::string path = program.toStdString();
  if (!program.contains(QLatin1Char('/'))) {
    path = QStandardPaths::findExecutable(program).toStdString();
    if (path.empty()) {
      throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory), what);
    }
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    throw std::system_error(errno, std::generic_category(), what);
  }
  if (S_ISDIR(info.st_mode)) {
    throw std::system_error(std::make_error_code(std::errc::permission_denied), what);
  }
  if (::access(path.c_str(), X_OK) != 0) {
    throw std::system_error(errno, std::generic_category(), what);
  }
  throw std::runtime_error(what + ": " + processError.toStdString());
}

struct EngineExit {
  bool succeeded = false;
};

// Runs in the child between fork and exec (system calls only). The engine gets a process group of
// its own: a terminal signals its whole foreground group on Ctrl+C, and `timeout` its own group,
// and either would end the run of a chunk the program is about to wait for. Outside that group
// nothing ends the engine with us any more, so it is killed when the thread that started it ends
// (the main thread, which is where this program ends).
void detachFromTerminalSignals() {
  const pid_t parent = ::getppid();
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) {
    ::_exit(127);  // the parent ended before the request was in place
  }
}

// Runs the engine once and waits for its exit. A signalled `stop` or the end of `timeLimit`
// terminates it (and kills it when it does not exit in time); the caller checks `stop` afterwards.
QCoro::Task<EngineExit> runEngine(QString program, QStringList arguments, std::chrono::milliseconds timeLimit,
                                  std::stop_token stop) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.setChildProcessModifier(detachFromTerminalSignals);
  process.start(QIODevice::ReadOnly);
  // Only waits for the exec of the forked child to succeed or fail: a matter of milliseconds.
  if (!process.waitForStarted(-1)) {
    throwStartFailure(program, process.errorString());
  }
  const auto stopEngine = [&process] {
    if (process.state() == QProcess::NotRunning) {
      return;
    }
    process.terminate();
    QTimer::singleShot(killDelay, &process, [&process] {
      if (process.state() != QProcess::NotRunning) {
        process.kill();
      }
    });
  };
  const std::stop_callback onStop(stop, [&process, stopEngine] {
    if (QThread::currentThread() == process.thread()) {
      stopEngine();
    } else {
      QMetaObject::invokeMethod(&process, stopEngine, Qt::QueuedConnection);
    }
  });
  // A hung engine would keep recognition busy for good.
  bool timedOut = false;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &process, [&timedOut, stopEngine] {
    timedOut = true;
    stopEngine();
  });
  deadline.start(timeLimit);
  if (process.state() != QProcess::NotRunning) {
    auto exited = qCoro(process);
    co_await exited.waitForFinished(std::chrono::milliseconds(-1));
  }
  co_return EngineExit{!timedOut && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0};
}

void throwIfStopped(const std::stop_token& stop) {
  if (stop.stop_requested()) {
    throw Cancelled();
  }
}

}  // namespace

WhisperRecognitionService::Settings WhisperRecognitionService::Settings::fromEnvironment() {
  return Settings{engine::whisperCliPath(), engine::modelFile(), engine::modelIdentity()};
}

std::chrono::milliseconds WhisperRecognitionService::Settings::timeLimit(std::size_t pcmBytes) const {
  return timeLimitBase + std::chrono::duration_cast<std::chrono::milliseconds>(chunks::seconds(pcmBytes) *
                                                                               timeLimitPerAudioSecond);
}

WhisperRecognitionService::WhisperRecognitionService()
    : WhisperRecognitionService(Settings::fromEnvironment()) {}

WhisperRecognitionService::WhisperRecognitionService(Settings settings) : m_settings(std::move(settings)) {}

WhisperRecognitionService::~WhisperRecognitionService() = default;

QCoro::Task<void> WhisperRecognitionService::verifyModel() {
  if (m_verified) {
    co_return;
  }
  if (!m_check) {
    m_check = BackgroundJob<bool>::start(*QThreadPool::globalInstance(),
                                         [file = m_settings.modelFile, identity = m_settings.model] {
                                           return modelFileMatches(file, identity);
                                         });
  }
  const std::shared_ptr<BackgroundJob<bool>> check = m_check;
  const auto forget = qScopeGuard([this, &check] {
    if (m_check == check) {
      m_check.reset();  // a failed check is repeated by the next call
    }
  });
  co_await check->finished();
  if (!check->value()) {
    throw NativeError::message(messages::whisperModelInvalid);
  }
  m_verified = true;
}

QCoro::Task<std::vector<TranscriptEntry>> WhisperRecognitionService::transcribe(
    std::filesystem::path pcm, std::int64_t index, std::string language, bool cpuOnly, std::stop_token stop) {
  throwIfStopped(stop);
  co_await verifyModel();
  throwIfStopped(stop);

  const std::string chunk = AtomicFile::readBytes(pcm);
  if (isSilent(chunk)) {
    co_return std::vector<TranscriptEntry>{};
  }

  const WorkFolder folder;
  const std::filesystem::path input = folder.path() / "audio.wav";
  const std::filesystem::path outputBase = folder.path() / "result";
  writeScratchFile(input, wave::wave(chunk));

  // The arguments are made outside the co_await expression: GCC 12 mishandles temporaries there.
  QStringList arguments = engineArguments(m_settings.modelFile, input, language, outputBase, cpuOnly);
  const EngineExit exit = co_await runEngine(m_settings.enginePath, std::move(arguments),
                                             m_settings.timeLimit(chunk.size()), stop);
  throwIfStopped(stop);
  if (!exit.succeeded) {
    if (!cpuOnly) {
      co_return co_await transcribe(std::move(pcm), index, std::move(language), true, stop);
    }
    throw NativeError::message(messages::whisperFailed);
  }

  // The engine can exit 0 without writing its result (an unknown language, for one): reading the
  // missing file then fails, so that never passes for an empty transcript.
  std::filesystem::path resultFile = outputBase;
  resultFile += ".json";
  const std::string result = AtomicFile::readBytes(resultFile);
  co_return whisper_output::parse(result, index, chunk.size());
}

QStringList WhisperRecognitionService::engineArguments(const std::filesystem::path& model,
                                                       const std::filesystem::path& input,
                                                       const std::string& language,
                                                       const std::filesystem::path& outputBase,
                                                       bool cpuOnly) {
  QStringList arguments{QStringLiteral("-m"),          pathText(model),
                        QStringLiteral("-f"),          pathText(input),
                        QStringLiteral("-l"),          QString::fromStdString(language),
                        QStringLiteral("-oj"),         QStringLiteral("-of"),
                        pathText(outputBase),          QStringLiteral("-np"),
                        QStringLiteral("-nt"),         QStringLiteral("-t"),
                        QString::number(engineThreads)};
  if (cpuOnly) {
    arguments.append(QStringLiteral("-ng"));
  }
  return arguments;
}

bool WhisperRecognitionService::isSilent(std::string_view pcm) {
  if (pcm.size() < minimumChunkBytes) {
    return true;
  }
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    const auto sample =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned char>(pcm[i])) |
                                  static_cast<std::uint16_t>(static_cast<unsigned char>(pcm[i + 1]) << 8));
    if (sample > silenceLevel || sample < -silenceLevel) {
      return false;
    }
  }
  return true;
}

}  // namespace sayloom
