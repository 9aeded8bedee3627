// Download of the Whisper model from the application model.
#include <algorithm>

#include "app/app_model.h"
#include "app/error_text.h"
#include "app/model_downloader.h"
#include "app/whisper_recognition_service.h"
#include "core/native_error.h"

namespace sayloom {

namespace {
const QString modelReadyStatus =
    QStringLiteral("Whisper 모델을 준비했습니다. 이제 오프라인 인식이 가능합니다.");
}  // namespace

void AppModel::downloadModel() {
  if (m_downloadTask) {
    return;
  }
  setDownloadProgress(0.0);
  const TaskHandle download;
  m_downloadTask = download;
  download.attach(runDownload(download.token()));
}

QCoro::Task<void> AppModel::runDownload(std::stop_token stop) {
  // A new downloader for every download; its progress arrives on the main thread.
  ModelDownloader downloader;
  downloader.onProgress = [this](double fraction) { setDownloadProgress(std::min(fraction, 1.0)); };

  bool installed = false;
  std::optional<QString> failure;
  try {
    co_await downloader.download(stop);
    co_await m_recognizer->verifyModel();
    installed = true;
  } catch (const Cancelled&) {
  } catch (...) {
    // A transfer aborted by cancellation is not reported either.
    if (!stop.stop_requested()) {
      failure = currentExceptionText();
    }
  }
  if (installed) {
    setModelReady(true);
    setStatus(modelReadyStatus);
  } else if (failure) {
    setWarningText(*failure);
  }
  setDownloadProgress(std::nullopt);
  m_downloadTask.reset();
}

}  // namespace sayloom
