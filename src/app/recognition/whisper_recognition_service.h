#pragma once
// Turns one PCM chunk file into transcript entries by running the whisper.cpp engine
// (`whisper-cli`) as a child process on a temporary WAV copy of the chunk, after checking the model
// file once by its exact size and SHA-256 digest.
//
// Thread contract: lives on the main thread; every operation is called there and its coroutine
// resumes there (the model hashing runs on a pool thread and is awaited). Calls may interleave at
// their waits; each call works in its own temporary folder. The service must outlive its calls.
// Cancellation: the `stop` token may be signalled from any thread; it terminates the engine.
#include <QCoroTask>
#include <QString>
#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "app/recognition/engine_config.h"
#include "core/native_note.h"

namespace sayloom {

template <typename R>
class BackgroundJob;

class WhisperRecognitionService {
public:
  struct Settings {
    QString enginePath;
    std::filesystem::path modelFile;
    engine::ModelIdentity model;
    // How long one run may take: timeLimitBase plus timeLimitPerAudioSecond for each second of the
    // chunk's audio. A run still going then is ended and counts as a failed run.
    std::chrono::milliseconds timeLimitBase{30'000};
    std::chrono::milliseconds timeLimitPerAudioSecond{20'000};

    // The engine, model file and identity of engine_config.h, read now.
    static Settings fromEnvironment();

    // The limit of one run on `pcmBytes` bytes of chunk audio.
    std::chrono::milliseconds timeLimit(std::size_t pcmBytes) const;
  };

  // Chunks shorter than this, or whose samples all lie within ±silenceLevel, never reach the engine.
  static constexpr std::size_t minimumChunkBytes = 3'200;
  static constexpr int silenceLevel = 100;
  static constexpr int engineThreads = 4;

  WhisperRecognitionService();
  explicit WhisperRecognitionService(Settings settings);
  ~WhisperRecognitionService();
  WhisperRecognitionService(const WhisperRecognitionService&) = delete;
  WhisperRecognitionService& operator=(const WhisperRecognitionService&) = delete;

  const Settings& settings() const { return m_settings; }

  // True once the model file has passed the check; it is never checked again by this object.
  bool verified() const { return m_verified; }

  // Checks the model file's size and then its SHA-256 (read in 1 MiB pieces off the main thread).
  // Throws the file system error for a missing or unreadable model and NativeError
  // "Whisper 모델 검증에 실패했습니다. 모델을 다시 다운로드해 주세요." for a wrong one. Concurrent
  // calls share one check.
  QCoro::Task<void> verifyModel();

  // The entries of chunk `index` read from `pcm`, in segment order; empty for a silent chunk. The
  // engine runs on its default device first and once more with "-ng" when that exits non-zero or
  // outlives its time limit (only once, with "-ng", when cpuOnly). It runs in a process group of
  // its own, so that a terminal's Ctrl+C meant for this program never reaches it, and it is killed
  // when the thread that started it ends. Throws Cancelled when `stop` is signalled, NativeError
  // for an engine failure or a result of the wrong shape, the platform's error otherwise.
  QCoro::Task<std::vector<TranscriptEntry>> transcribe(std::filesystem::path pcm, std::int64_t index,
                                                       std::string language, bool cpuOnly,
                                                       std::stop_token stop = {});

  // The engine's argument list for one run.
  static QStringList engineArguments(const std::filesystem::path& model, const std::filesystem::path& input,
                                     const std::string& language, const std::filesystem::path& outputBase,
                                     bool cpuOnly);

  // True when the chunk is too short or too quiet to be worth a run of the engine.
  static bool isSilent(std::string_view pcm);

private:
  Settings m_settings;
  bool m_verified = false;
  std::shared_ptr<BackgroundJob<bool>> m_check;  // the check in progress, shared by concurrent callers
};

}  // namespace sayloom
