#pragma once
// The speech model on this machine: whether it is there (`modelReady`), and its download with
// progress (`downloadProgress`, 0...1 while a download runs), checked before it counts as ready.
//
// Thread contract: main thread only; the download's network and file work is awaited.
#include <QCoro/QCoroTask>
#include <QObject>
#include <optional>
#include <stop_token>

#include "app/concurrency/task_handle.h"
#include "app/speech_model/model_downloader.h"

namespace sayloom {

class AppStatus;
class WhisperRecognitionService;

class ModelInstaller : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool modelReady READ modelReady NOTIFY modelReadyChanged)
  Q_PROPERTY(std::optional<double> downloadProgress READ downloadProgress NOTIFY downloadProgressChanged)

public:
  // `recognizer` checks a downloaded model; it must outlive this object.
  ModelInstaller(ModelDownloader::Settings settings, WhisperRecognitionService& recognizer, AppStatus& status,
                 QObject* parent = nullptr);

  bool modelReady() const { return m_modelReady; }
  const std::optional<double>& downloadProgress() const { return m_downloadProgress; }

  // Looks whether the model file exists (the start-up step), after removing a staging copy that a
  // download killed mid-install left beside it.
  QCoro::Task<void> check();
  // Downloads and checks the model in the background, once at a time; failures become the warning,
  // a cancelled download says nothing.
  void download();
  // The running download, if any.
  const std::optional<TaskHandle>& downloadTask() const { return m_downloadTask; }
  // Cancels a running download and waits until it has ended.
  QCoro::Task<void> cancel();

signals:
  void modelReadyChanged();
  void downloadProgressChanged();

private:
  void setModelReady(bool ready);
  void setDownloadProgress(const std::optional<double>& progress);
  QCoro::Task<void> runDownload(std::stop_token stop);

  ModelDownloader::Settings m_settings;
  WhisperRecognitionService& m_recognizer;
  AppStatus& m_status;
  bool m_modelReady = false;
  std::optional<double> m_downloadProgress;
  std::optional<TaskHandle> m_downloadTask;
};

}  // namespace sayloom
