// model download, model check: the Whisper model in the data folder.
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/concurrency/serial_worker.h"
#include "app/recognition/whisper_recognition_service.h"
#include "app/speech_model/model_file_check.h"
#include "app/speech_model/model_installer.h"
#include "cli/cli_support.h"
#include "cli/command_line_parts.h"
#include "cli/commands.h"
#include "cli/progress_bar.h"
#include "core/native_error.h"
#include "core/whisper_output.h"

namespace sayloom::cli {

namespace {
const char* const modelVerified = "Whisper 모델을 확인했습니다.";
}  // namespace

// The application's own install: the download into a staging file, the size and SHA-256 check,
// the engine's check of the model, then the rename into place.
QCoro::Task<void> modelDownload(const Invocation& invocation) {
  CommandLineParts command({});
  ModelInstaller& installer = command.parts().modelInstaller();
  ProgressBar bar("모델 다운로드");
  bar.update(0);
  const QObject receiver;
  QObject::connect(&installer, &ModelInstaller::downloadProgressChanged, &receiver, [&bar, &installer] {
    if (const std::optional<double>& fraction = installer.downloadProgress()) {
      bar.update(*fraction);
    }
  });
  command.onInterrupt(invocation.stop, [&installer] { installer.cancel(); });
  installer.download();
  if (const std::optional<TaskHandle> download = installer.downloadTask()) {
    co_await download->waitForEnd();
  }
  command.finish(invocation.stop);
  bar.finish();
  printOut(std::string(messages::modelReady) + "\n");
}

QCoro::Task<void> modelCheck(const Invocation&) {
  const WhisperRecognitionService::Settings settings = WhisperRecognitionService::Settings::fromEnvironment();
  std::error_code error;
  if (!std::filesystem::exists(settings.modelFile, error)) {
    throw NativeError::message(messages::downloadModelFirst);
  }
  ProgressBar bar("모델 검증");
  bar.update(0);
  // The hashing runs on a pool thread and only stores how far it got; the main thread draws that
  // every 100 ms while it waits (relaxed order: nothing else depends on the value).
  const auto hashed = std::make_shared<std::atomic<double>>(0.0);
  QTimer redraw;
  QObject::connect(&redraw, &QTimer::timeout,
                   [&bar, hashed] { bar.update(hashed->load(std::memory_order_relaxed)); });
  redraw.start(100);
  auto check = [settings, hashed] {
    return modelFileMatches(settings.modelFile, settings.model, [hashed](double fraction) {
      hashed->store(fraction, std::memory_order_relaxed);
    });
  };
  const bool matches = co_await runInBackground(std::move(check));
  redraw.stop();
  bar.update(hashed->load(std::memory_order_relaxed));
  if (!matches) {
    throw NativeError::message(messages::whisperModelInvalid);
  }
  bar.update(1);
  bar.finish();
  printOut(std::string(modelVerified) + "\n");
}

}  // namespace sayloom::cli
