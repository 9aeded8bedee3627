// Starts a microphone recording through the application model and keeps recording until the
// process is killed. Prints "recording <note id>" once the recording runs (or "failed <text>" and
// exits 1). The data directory, engine and model come from the environment as in the application.
#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QTimer>
#include <cstdio>

#include "app/app_model.h"
#include "app/app_status.h"
#include "app/audio_capture.h"
#include "app/recording/recording_session.h"

namespace {

QCoro::Task<void> start(sayloom::AppModel& model) {
  co_await model.waitUntilLoaded();
  co_await model.startRecording();
  if (model.session().recording() && model.session().activeNoteID()) {
    std::printf("recording %s\n", model.session().activeNoteID()->toUtf8().constData());
    std::fflush(stdout);
    co_return;
  }
  std::printf("failed %s\n", model.appStatus().warning().value_or(QStringLiteral("not recording")).toUtf8().constData());
  std::fflush(stdout);
  QCoreApplication::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  sayloom::AppServices services;
  services.makeCapture = [] { return std::make_unique<sayloom::AudioCapture>(); };
  sayloom::AppModel model{std::move(services)};
  QTimer::singleShot(0, &model, [&model] { start(model); });
  return QCoreApplication::exec();
}
