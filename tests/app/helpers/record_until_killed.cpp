// The application a crash test kills: it records through the application model until it is
// killed, or exports a note's audio, and tells its parent on standard output how far it got. The
// data directory, engine and model come from the environment as in the application.
//
//   sayloom_record_until_killed
//       Prints "recording <note id>" once the recording runs (or "failed <text>" and exits 1), then
//       "written <bytes>" each time the capture has written and synchronised more audio. A line
//       "stop" on standard input stops the recording ("stopped" once it is saved; "idle" once
//       recognition has ended too).
//   sayloom_record_until_killed --export <note id> <destination>
//       Prints "exporting", exports the note's audio to the destination, then prints "exported" (or
//       "failed <text>").
// Every warning the model shows is written to standard error.
// The program ends when it is killed or its standard input closes.
#include <unistd.h>

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QSocketNotifier>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "app/app_model.h"
#include "app/app_status.h"
#include "app/notes/note_library.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/audio_capture.h"
#include "app/recording/recording_session.h"
#include "core/chunk_files.h"
#include "platform/save_dialog.h"
#include "support/sanitizer_fork.h"

namespace {

void say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

QString warningOf(sayloom::AppModel& model, const char* otherwise) {
  return model.appStatus().warning().value_or(QString::fromUtf8(otherwise));
}

class FixedSaveDialog final : public sayloom::platform::SaveDialog {
public:
  explicit FixedSaveDialog(QString path) : m_path(std::move(path)) {}
  std::optional<QString> askSavePath(const QString&, const QString&) override { return m_path; }

private:
  QString m_path;
};

QCoro::Task<void> record(sayloom::AppModel& model) {
  co_await model.waitUntilLoaded();
  QObject::connect(&model.session(), &sayloom::RecordingSession::elapsedChanged, &model, [&model] {
    const auto bytes = std::llround(model.session().elapsed() * sayloom::chunks::bytesPerSecond);
    say(QStringLiteral("written %1").arg(bytes));
  });
  co_await model.startRecording();
  if (model.session().recording() && model.session().activeNoteID()) {
    say(QStringLiteral("recording ") + *model.session().activeNoteID());
    co_return;
  }
  say(QStringLiteral("failed ") + warningOf(model, "not recording"));
  QCoreApplication::exit(1);
}

QCoro::Task<void> stop(sayloom::AppModel& model) {
  co_await model.stopRecording();
  say(QStringLiteral("stopped"));
  if (!model.recognition().recognizing()) {
    say(QStringLiteral("idle"));
  }
}

QCoro::Task<void> exportAudio(sayloom::AppModel& model, QString noteID) {
  co_await model.waitUntilLoaded();
  model.library().setSelectedNoteID(noteID);
  say(QStringLiteral("exporting"));
  co_await model.exportAudio();
  if (model.appStatus().warning()) {
    say(QStringLiteral("failed ") + *model.appStatus().warning());
  } else {
    say(QStringLiteral("exported"));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  const bool exporting = arguments.size() == 4 && arguments[1] == QStringLiteral("--export");

  sayloom::AppServices services;
  services.makeCapture = [] { return std::make_unique<sayloom::AudioCapture>(); };
  if (exporting) {
    services.saveDialog = std::make_unique<FixedSaveDialog>(arguments[3]);
  }
  sayloom::AppModel model{std::move(services)};

  QObject::connect(&model.recognition(), &sayloom::RecognitionQueue::recognizingChanged, &model, [&model] {
    if (!model.recognition().recognizing() && !model.session().recording()) {
      say(QStringLiteral("idle"));
    }
  });
  // Warnings go to standard error, which the tests forward, so that a failed run says why.
  QObject::connect(&model.appStatus(), &sayloom::AppStatus::warningChanged, &model, [&model] {
    if (const auto& warning = model.appStatus().warning()) {
      std::fprintf(stderr, "warning: %s\n", warning->toUtf8().constData());
    }
  });
  QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&commands, &QSocketNotifier::activated, &model, [&model, &commands] {
    char line[64];
    const ssize_t got = ::read(STDIN_FILENO, line, sizeof line);
    if (got <= 0) {
      commands.setEnabled(false);
      QCoreApplication::exit(0);
      return;
    }
    if (std::string_view(line, static_cast<std::size_t>(got)).starts_with("stop")) {
      stop(model);
    }
  });

  QTimer::singleShot(0, &model, [&model, exporting, arguments] {
    if (exporting) {
      exportAudio(model, arguments[2]);
    } else {
      record(model);
    }
  });
  return QCoreApplication::exec();
}
