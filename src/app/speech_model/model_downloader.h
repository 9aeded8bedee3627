#pragma once
// Fetches the Whisper model, proves it is the expected file by its exact size and SHA-256 digest,
// and only then puts it in place of the installed model with one atomic rename, so a failed,
// cancelled or corrupt download never harms a model that is already there.
//
// Thread contract: lives on the main thread; `download` is called there and `onProgress` is called
// there. The `stop` token may be signalled from any thread. One object serves any number of
// downloads one after another; it must outlive a running download.
#include <QCoroTask>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <stop_token>

#include "app/recognition/engine_config.h"

class QNetworkAccessManager;

namespace sayloom {

namespace messages {
inline constexpr const char* modelServerUnreachable = "모델 다운로드 서버에 연결하지 못했습니다.";
inline constexpr const char* modelDigestMismatch =
    "모델 SHA-256 검증에 실패했습니다. 기존 모델은 보존됩니다.";
inline constexpr const char* modelReady = "Whisper 모델을 준비했습니다. 이제 오프라인 인식이 가능합니다.";
inline constexpr const char* downloadModelFirst = "먼저 Whisper 모델을 다운로드해 주세요.";
}  // namespace messages

class ModelDownloader {
public:
  struct Settings {
    QUrl url;
    std::filesystem::path modelFile;
    engine::ModelIdentity model;

    // The address, model file and identity of engine_config.h, read now.
    static Settings fromEnvironment();
  };

  // A transfer that receives nothing for this long fails.
  static constexpr int transferTimeoutMs = 45'000;

  ModelDownloader();
  explicit ModelDownloader(Settings settings);
  ~ModelDownloader();
  ModelDownloader(const ModelDownloader&) = delete;
  ModelDownloader& operator=(const ModelDownloader&) = delete;

  const Settings& settings() const { return m_settings; }

  // Called as bytes arrive with the received share of the model size, from 0 up to at most 1.
  std::function<void(double fraction)> onProgress;

  // Downloads, verifies and installs the model. Throws NativeError modelServerUnreachable for an
  // answer other than HTTP 200, NativeError modelDigestMismatch for a file of the wrong size or
  // digest, Cancelled when `stop` is signalled before the model is replaced, and the platform's
  // error for a transport or file system failure. Only a successful call changes the model file;
  // no staging or scratch file outlives the call.
  QCoro::Task<void> download(std::stop_token stop = {});

  // The name of a staging file beside `modelFile`: "<name>.<UUID>.download".
  static std::filesystem::path stagingFile(const std::filesystem::path& modelFile);

private:
  Settings m_settings;
  std::unique_ptr<QNetworkAccessManager> m_network;
};

}  // namespace sayloom
