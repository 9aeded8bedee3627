#include "app/speech_model/model_downloader.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/concurrency/reply_finished.h"
#include "app/concurrency/serial_worker.h"
#include "app/speech_model/model_file_check.h"
#include "core/data_paths.h"
#include "core/native_error.h"
#include "core/posix_file.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

// A failure of the network or of the scratch file, with the platform's text.
[[noreturn]] void fail(const QString& text) { throw std::runtime_error(text.toStdString()); }

void throwIfStopped(const std::stop_token& stop) {
  if (stop.stop_requested()) {
    throw Cancelled();
  }
}

// Verifies the downloaded file and, when it is the expected model, puts it in place. Blocking.
void verifyAndInstall(const std::filesystem::path& downloaded, const ModelDownloader::Settings& settings,
                      const std::stop_token& stop) {
  if (!modelFileMatches(downloaded, settings.model)) {
    throw NativeError::message(messages::modelDigestMismatch);
  }
  throwIfStopped(stop);
  DataPaths::createFolders(settings.modelFile.parent_path());
  // Removed again on every path unless the rename below went through. A write error can surface
  // only when the copy is closed, so that failure is reported as one.
  posix::NewFile staged = posix::copyToNewFile(downloaded, ModelDownloader::stagingFile(settings.modelFile),
                                               modelReadPieceBytes, "cannot write file");
  throwIfStopped(stop);
  // One step: the old model (if any) is replaced, or the new one appears, never half of either.
  staged.renameTo(settings.modelFile);
  posix::syncFolder(settings.modelFile.parent_path());
}

// What arrives on the reply, shared with its signal handlers.
struct Transfer {
  QTemporaryFile scratch;
  std::uint64_t received = 0;
  bool tooLong = false;
  std::optional<std::string> writeError;  // the file system's text for a failed write
};

}  // namespace

ModelDownloader::Settings ModelDownloader::Settings::fromEnvironment() {
  return Settings{engine::modelUrl(), engine::modelFile(), engine::modelIdentity()};
}

ModelDownloader::ModelDownloader() : ModelDownloader(Settings::fromEnvironment()) {}

ModelDownloader::ModelDownloader(Settings settings) : m_settings(std::move(settings)) {}

ModelDownloader::~ModelDownloader() = default;

std::filesystem::path ModelDownloader::stagingFile(const std::filesystem::path& modelFile) {
  std::string name = modelFile.filename().string();
  name.append(".").append(uuid::generate()).append(".download");
  return modelFile.parent_path() / name;
}

QCoro::Task<void> ModelDownloader::download(std::stop_token stop) {
  throwIfStopped(stop);
  if (!m_network) {
    m_network = std::make_unique<QNetworkAccessManager>();
  }
  const auto transfer = std::make_shared<Transfer>();
  transfer->scratch.setFileTemplate(
      QDir(QDir::tempPath()).filePath(QStringLiteral("sayloom-model-XXXXXX.download")));
  if (!transfer->scratch.open()) {
    fail(QStringLiteral("cannot create a file for the download in %1: %2")
             .arg(QDir::tempPath(), transfer->scratch.errorString()));
  }

  // The scratch file goes with the call, whatever the reply's own lifetime.
  struct RemoveScratch {
    std::shared_ptr<Transfer> transfer;
    ~RemoveScratch() { transfer->scratch.remove(); }
  } const removeScratch{transfer};

  QNetworkRequest request(m_settings.url);
  request.setTransferTimeout(transferTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> reply(
      m_network->get(request), [](QNetworkReply* r) { r->deleteLater(); });

  const std::uint64_t modelSize = m_settings.model.size;
  QObject::connect(
      reply.get(), &QNetworkReply::readyRead, reply.get(), [this, transfer, r = reply.get(), modelSize] {
        const QByteArray bytes = r->readAll();
        if (r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200 || transfer->tooLong ||
            transfer->writeError) {
          return;  // an error page, or a transfer already being aborted
        }
        transfer->received += static_cast<std::uint64_t>(bytes.size());
        if (transfer->received > modelSize) {
          transfer->tooLong = true;  // cannot be the model: stop fetching
          r->abort();
          return;
        }
        // Written through the descriptor, so that a failure keeps the file system's own reason
        // (a full disk, a size limit) instead of the file object's "Unknown error".
        try {
          posix::writeAll(transfer->scratch.handle(), std::string_view(bytes.constData(), bytes.size()),
                          transfer->scratch.fileName().toStdString());
        } catch (const std::exception& error) {
          transfer->writeError = error.what();
          r->abort();
          return;
        }
        if (onProgress && modelSize > 0) {
          onProgress(std::min(1.0, static_cast<double>(transfer->received) / static_cast<double>(modelSize)));
        }
      });

  co_await replyFinished(reply.get(), stop);
  throwIfStopped(stop);

  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (status.isValid() && status.toInt() != 200) {
    throw NativeError::message(messages::modelServerUnreachable);
  }
  if (transfer->tooLong) {
    throw NativeError::message(messages::modelDigestMismatch);
  }
  if (transfer->writeError) {
    throw std::runtime_error(*transfer->writeError);
  }
  if (reply->error() == QNetworkReply::OperationCanceledError) {
    fail(QStringLiteral("the model download received nothing for %1 seconds").arg(transferTimeoutMs / 1000));
  }
  if (reply->error() != QNetworkReply::NoError) {
    fail(reply->errorString());
  }
  if (!status.isValid()) {
    throw NativeError::message(messages::modelServerUnreachable);  // an answer, but not over HTTP
  }
  const std::filesystem::path downloaded = transfer->scratch.fileName().toStdString();
  // (Named outside the co_await expression: GCC 12 mishandles temporaries with destructors there.)
  auto install = [downloaded, settings = m_settings, stop] { verifyAndInstall(downloaded, settings, stop); };
  co_await runInBackground(std::move(install));
}

}  // namespace sayloom
