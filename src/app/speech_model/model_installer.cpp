// The speech model's presence check and download.
#include "app/speech_model/model_installer.h"

#include <algorithm>
#include <filesystem>

#include "app/app_status.h"
#include "app/concurrency/serial_worker.h"
#include "app/recognition/whisper_recognition_service.h"
#include "core/atomic_file.h"

namespace sayloom {

ModelInstaller::ModelInstaller(ModelDownloader::Settings settings, WhisperRecognitionService& recognizer,
                               AppStatus& status, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_recognizer(recognizer), m_status(status) {}

void ModelInstaller::setModelReady(bool ready) {
  if (m_modelReady != ready) {
    m_modelReady = ready;
    emit modelReadyChanged();
  }
}

void ModelInstaller::setDownloadProgress(const std::optional<double>& progress) {
  if (m_downloadProgress != progress) {
    m_downloadProgress = progress;
    emit downloadProgressChanged();
  }
}

QCoro::Task<void> ModelInstaller::check() {
  auto exists = [model = m_settings.modelFile] {
    // A staging copy left by a download killed while installing is of no further use.
    AtomicFile::removeAbandoned(model.parent_path());
    return std::filesystem::exists(model);
  };
  try {
    setModelReady(co_await runInBackground(std::move(exists)));
  } catch (...) {
    setModelReady(false);
  }
}

void ModelInstaller::download() {
  if (m_downloadTask) {
    return;
  }
  setDownloadProgress(0.0);
  const TaskHandle download;
  m_downloadTask = download;
  download.attach(runDownload(download.token()));
}

QCoro::Task<void> ModelInstaller::cancel() {
  if (m_downloadTask) {
    const TaskHandle download = *m_downloadTask;
    download.cancel();
    co_await download.waitForEnd();
  }
}

QCoro::Task<void> ModelInstaller::runDownload(std::stop_token stop) {
  // A new downloader for every download; its progress arrives on the main thread.
  ModelDownloader downloader(m_settings);
  downloader.onProgress = [this](double fraction) { setDownloadProgress(std::min(fraction, 1.0)); };

  bool installed = false;
  try {
    co_await downloader.download(stop);
    co_await m_recognizer.verifyModel();
    installed = true;
  } catch (...) {
    // A transfer aborted by cancellation is not reported either.
    if (!stop.stop_requested()) {
      m_status.warnCurrentException();
    }
  }
  if (installed) {
    setModelReady(true);
    m_status.setStatus(QString::fromUtf8(messages::modelReady));
  }
  setDownloadProgress(std::nullopt);
  m_downloadTask.reset();
}

}  // namespace sayloom
