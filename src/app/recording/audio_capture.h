#pragma once
// Records one recording's audio into the numbered PCM chunk files of core/chunk_files.h in the
// given folder; only the chunk closed by `stop` may be shorter than a full one. Every write is
// synchronised to storage; no failure deletes a file.
//
// Threads: the sound server's thread only pushes into the ring; one capture worker per object (the
// capture queue) drains the ring every 100 ms, converts, writes and calls onProgress, onChunk and
// onError, always on that worker. Start, stop and runDiagnostic are called by one owner thread at
// a time, never from the callbacks; set the callbacks before starting. The coroutine forms run the
// blocking work on Qt's thread pool; keep the object alive until the awaited task has ended.
#include <QCoroTask>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/chunk_files.h"
#include "core/display.h"
#include "core/thread_annotations.h"
#include "platform/audio_source.h"
#include "platform/resampler.h"

struct sl_ring;

namespace sayloom {

namespace messages {
inline constexpr const char* microphoneDenied =
    "마이크 접근이 거부되었습니다. 시스템 설정 → 개인정보 보호 및 보안 → 마이크에서 허용해 주세요.";
inline constexpr const char* microphoneFormat =
    "마이크 형식을 읽지 못했습니다. 입력 장치를 다시 선택해 주세요.";
inline constexpr const char* converterUnavailable = "오디오 변환기를 준비하지 못했습니다.";
inline constexpr const char* systemAudioStartFailed =
    "시스템 오디오를 시작하지 못했습니다. 화면 및 시스템 오디오 녹음 권한을 확인해 주세요.";
inline constexpr const char* inputConfigurationChanged =
    "입력 장치 구성이 변경되었습니다. 녹음을 저장한 뒤 장치를 확인하고 다시 시작해 주세요.";
inline constexpr const char* systemRecordingStopped =
    "시스템 녹음이 중단되었습니다. 저장된 오디오는 보존됩니다.";
inline constexpr const char* systemAudioFormatChanged = "시스템 오디오 형식이 변경되어 녹음을 중단합니다.";
inline constexpr const char* captureOverrun =
    "오디오 처리 속도가 입력을 따라가지 못했습니다. 누락을 감지해 녹음을 중단합니다. 저장된 부분을 확인해 "
    "주세요.";
inline constexpr const char* conversionFailed = "오디오 변환에 실패했습니다. 원본 저장을 확인해 주세요.";
inline constexpr const char* chunkWriteFailed =
    "녹음 파일을 저장하지 못했습니다. 디스크 공간과 폴더 권한을 확인해 주세요.";
inline constexpr const char* lastChunkFailed = "마지막 녹음 파일 저장에 실패했습니다.";
inline constexpr const char* diagnosticMismatchPrefix = "Capture conversion/chunk duration mismatch: ";
}  // namespace messages

class AudioCapture {
public:
  static constexpr std::uint32_t systemAudioRate = 48'000;
  static constexpr std::uint64_t drainBlockFrames = 32'768;

  using SourceFactory = std::function<std::unique_ptr<platform::AudioSource>(platform::SourceKind)>;
  using ResamplerFactory =
      std::function<std::unique_ptr<platform::Resampler>(double inputRate, double outputRate)>;

  // Records through PulseAudio and converts with soxr.
  AudioCapture();
  // Records through `sources` and converts with `resamplers` (tests and benchmarks).
  AudioCapture(SourceFactory sources, ResamplerFactory resamplers);
  // Stops a running recording (closing and syncing the open chunk) without calling the callbacks.
  ~AudioCapture();
  AudioCapture(const AudioCapture&) = delete;
  AudioCapture& operator=(const AudioCapture&) = delete;

  // Called on the capture worker. `seconds` is everything written so far; `level` the peak of the
  // block just written (0...1).
  std::function<void(double seconds, float level)> onProgress;
  // A chunk file is complete and synchronised; the last, shorter one is reported during `stop`.
  std::function<void(const std::filesystem::path& file, std::int64_t index)> onChunk;
  // A failure to show; the recording keeps its files and the source keeps running until `stop`.
  // Whatever happens to the running stream (moved, suspended, failed, ended by the server) is
  // messages::inputConfigurationChanged for the microphone and messages::systemRecordingStopped
  // for system audio.
  std::function<void(const std::string& message)> onError;

  // Records the default source into `directory` (created with its parents). Fails with
  // NativeError messages::microphoneDenied when the sound server or source cannot be reached,
  // messages::microphoneFormat for an unusable format, messages::converterUnavailable, or the
  // file system's error for the folder.
  QCoro::Task<void> startMicrophone(std::filesystem::path directory);
  // Records what the default output sink plays (its monitor, at 48 kHz). All displays share the
  // sound server's output, so `display` only names what the user chose. Fails with
  // messages::systemAudioStartFailed, messages::converterUnavailable or the folder's error.
  QCoro::Task<void> startSystem(std::filesystem::path directory, Display display);
  // Stops the source, drains and flushes, closes the open chunk and reports it through onChunk
  // before returning. Never fails; harmless when repeated or after a failed start.
  QCoro::Task<void> stop();
  // Converts 10 s of a generated 440 Hz tone into `directory` and checks that two chunk files of
  // 320,000 ± 64 bytes in total come out; fails with NativeError otherwise.
  QCoro::Task<void> runDiagnostic(std::filesystem::path directory);

  // The same operations, blocking the calling thread (not the main thread of a GUI).
  void startMicrophoneBlocking(const std::filesystem::path& directory);
  void startSystemBlocking(const std::filesystem::path& directory, const Display& display);
  void stopBlocking() noexcept;
  void runDiagnosticBlocking(const std::filesystem::path& directory);

  // Test seams. While paused, the 100 ms ticks still report source events but leave the ring
  // alone, so the producer can overrun it. drainNow runs one tick on the worker and waits.
  void setDrainPaused(bool paused);
  void drainNow();
  // Frames the ring has dropped so far (0 without a ring).
  std::uint64_t droppedFrames();

private:
  void workerLoop() SL_EXCLUDES(m_mutex);
  void runOnWorker(const std::function<void()>& work) SL_EXCLUDES(m_mutex);
  void tick();
  void deliverSourceEvents();

  // On the worker.
  sl_ring* prepare(const std::filesystem::path& directory, std::uint32_t rate);
  void drain();
  void writeBlock(const std::vector<std::int16_t>& samples);
  void flushConverter();
  void stopOnWorker();
  void latchError(const char* message);

  static void pushToRing(void* ring, const float* const* channels, std::uint32_t channelCount,
                         std::uint32_t frames);

  SourceFactory m_sources;
  ResamplerFactory m_resamplers;

  // Owner thread only.
  std::unique_ptr<platform::AudioSource> m_source;

  // The worker and its queue; the guarded fields only with m_mutex held (clang checks it).
  Mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_tasks SL_GUARDED_BY(m_mutex);
  bool m_quit SL_GUARDED_BY(m_mutex) = false;
  bool m_timerRunning SL_GUARDED_BY(m_mutex) = false;
  std::chrono::steady_clock::time_point m_nextTick SL_GUARDED_BY(m_mutex);
  std::thread::id m_workerId;
  std::thread m_worker;

  // Set by the sound server's thread, reported by the worker.
  std::atomic<unsigned> m_pendingEvents{0};
  std::atomic<bool> m_drainPaused{false};

  // Worker only.
  sl_ring* m_ring = nullptr;
  std::uint32_t m_inputRate = 0;
  std::unique_ptr<platform::Resampler> m_converter;
  std::vector<float> m_input;
  std::vector<std::int16_t> m_output;
  std::optional<chunks::Writer> m_writer;  // from prepare to the end of stop
  bool m_errorReported = false;
};

}  // namespace sayloom
