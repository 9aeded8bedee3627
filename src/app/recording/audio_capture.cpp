#include "app/recording/audio_capture.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <future>
#include <numbers>
#include <stdexcept>

#include "app/concurrency/serial_worker.h"
#include "audioring/sl_ring.h"
#include "core/data_paths.h"
#include "core/native_error.h"
#include "platform/pulse_source.h"
#include "platform/soxr_resampler.h"

namespace sayloom {

namespace {

using namespace std::chrono_literals;

constexpr auto kTickInterval = 100ms;
constexpr std::size_t kFlushRounds = 8;
constexpr std::size_t kFlushFrames = 1024;
constexpr float kLevelScale = 1.0f / 32768.0f;

// Pending source events, by source: whatever happened to its stream, each source has one text.
constexpr unsigned kMicrophoneInterrupted = 1U << 0;
constexpr unsigned kSystemAudioInterrupted = 1U << 1;

// Callbacks belong to the owner; an exception thrown by one must not end the worker.
template <typename Callback, typename... Args>
void notify(const Callback& callback, Args&&... args) {
  if (callback) {
    try {
      callback(std::forward<Args>(args)...);
    } catch (...) {
    }
  }
}

}  // namespace

AudioCapture::AudioCapture()
    : AudioCapture([](platform::SourceKind kind) { return std::make_unique<platform::PulseSource>(kind); },
                   [](double inputRate, double outputRate) {
                     return std::make_unique<platform::SoxrResampler>(inputRate, outputRate);
                   }) {}

AudioCapture::AudioCapture(SourceFactory sources, ResamplerFactory resamplers)
    : m_sources(std::move(sources)), m_resamplers(std::move(resamplers)) {
  m_worker = std::thread([this] {
    pthread_setname_np(pthread_self(), "sayloom-capture");
    workerLoop();
  });
  m_workerId = m_worker.get_id();
}

AudioCapture::~AudioCapture() {
  // The owner is going away: keep the audio safe on disk, but report nothing more.
  runOnWorker([this] {
    onProgress = nullptr;
    onChunk = nullptr;
    onError = nullptr;
  });
  stopBlocking();
  {
    const MutexLock lock(m_mutex);
    m_quit = true;
  }
  m_wake.notify_one();
  m_worker.join();
}

// --- the capture worker ---------------------------------------------------------------------

void AudioCapture::workerLoop() {
  MutexLock lock(m_mutex);
  for (;;) {
    if (!m_tasks.empty()) {
      std::function<void()> work = std::move(m_tasks.front());
      m_tasks.pop_front();
      lock.unlock();
      work();
      lock.lock();
      continue;
    }
    if (m_quit) {
      return;
    }
    if (!m_timerRunning) {
      lock.wait(m_wake);
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextTick) {
      lock.waitUntil(m_wake, m_nextTick);
      continue;
    }
    m_nextTick += kTickInterval;
    if (m_nextTick <= now) {
      m_nextTick = now + kTickInterval;  // after a stall, tick on from now rather than in a burst
    }
    lock.unlock();
    try {
      deliverSourceEvents();
      if (!m_drainPaused.load()) {
        drain();
      }
    } catch (...) {
    }
    lock.lock();
  }
}

void AudioCapture::runOnWorker(const std::function<void()>& work) {
  if (std::this_thread::get_id() == m_workerId) {
    work();
    return;
  }
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  {
    const MutexLock lock(m_mutex);
    m_tasks.emplace_back([&work, &done] {
      try {
        work();
        done.set_value();
      } catch (...) {
        done.set_exception(std::current_exception());
      }
    });
  }
  m_wake.notify_one();
  finished.get();
}

void AudioCapture::tick() {
  deliverSourceEvents();
  drain();
}

void AudioCapture::deliverSourceEvents() {
  const unsigned events = m_pendingEvents.exchange(0);
  if ((events & kMicrophoneInterrupted) != 0) {
    notify(onError, std::string(messages::inputConfigurationChanged));
  }
  if ((events & kSystemAudioInterrupted) != 0) {
    notify(onError, std::string(messages::systemRecordingStopped));
  }
}

void AudioCapture::pushToRing(void* ring, const float* const* channels, std::uint32_t channelCount,
                              std::uint32_t frames) {
  sl_ring_push(static_cast<sl_ring*>(ring), channels, channelCount, frames);
}

// --- start and stop (owner thread) ----------------------------------------------------------

sl_ring* AudioCapture::prepare(const std::filesystem::path& directory, std::uint32_t rate) {
  sl_ring* prepared = nullptr;
  runOnWorker([&] {
    if (m_ring != nullptr) {
      throw std::logic_error("the capture is already recording");
    }
    m_errorReported = false;
    m_pendingEvents.store(0);
    DataPaths::createFolders(directory);

    sl_ring* ring = sl_ring_create(static_cast<std::uint64_t>(rate) * 4);
    std::unique_ptr<platform::Resampler> converter;
    if (ring != nullptr && rate > 0) {
      try {
        converter = m_resamplers(rate, static_cast<double>(chunks::sampleRate));
      } catch (...) {
      }
    }
    if (ring == nullptr || !converter) {
      sl_ring_destroy(ring);
      throw NativeError::message(messages::converterUnavailable);
    }
    m_writer.emplace(directory, [this](const std::filesystem::path& file, std::int64_t index) {
      notify(onChunk, file, index);
    });
    m_ring = ring;
    m_inputRate = rate;
    m_converter = std::move(converter);
    m_input.assign(drainBlockFrames, 0.0f);
    m_output.reserve(static_cast<std::size_t>(
                         std::ceil(static_cast<double>(drainBlockFrames * chunks::sampleRate) / rate)) +
                     64);
    prepared = ring;
    const MutexLock lock(m_mutex);
    m_timerRunning = true;
    m_nextTick = std::chrono::steady_clock::now();  // the first tick at once
  });
  return prepared;
}

void AudioCapture::startMicrophoneBlocking(const std::filesystem::path& directory) {
  if (m_source) {
    throw std::logic_error("the capture is already recording");
  }
  std::unique_ptr<platform::AudioSource> source = m_sources(platform::SourceKind::defaultSource);
  platform::SourceFormat format;
  try {
    format = source->open();
  } catch (const platform::SourceError& error) {
    throw NativeError::message(error.kind() == platform::SourceError::Kind::format
                                   ? messages::microphoneFormat
                                   : messages::microphoneDenied);
  }
  if (format.rate == 0 || format.channels == 0) {
    throw NativeError::message(messages::microphoneFormat);
  }
  sl_ring* ring = prepare(directory, format.rate);
  m_source = std::move(source);
  try {
    // A moved, suspended or failed microphone stream all mean the input device changed under us.
    m_source->start(format, &AudioCapture::pushToRing, ring,
                    [this](platform::SourceEvent) { m_pendingEvents.fetch_or(kMicrophoneInterrupted); });
  } catch (const platform::SourceError& error) {
    stopBlocking();
    throw NativeError::message(error.kind() == platform::SourceError::Kind::format
                                   ? messages::microphoneFormat
                                   : messages::microphoneDenied);
  } catch (...) {
    stopBlocking();
    throw;
  }
}

void AudioCapture::startSystemBlocking(const std::filesystem::path& directory, const Display&) {
  if (m_source) {
    throw std::logic_error("the capture is already recording");
  }
  sl_ring* ring = prepare(directory, systemAudioRate);
  try {
    m_source = m_sources(platform::SourceKind::defaultSinkMonitor);
    const platform::SourceFormat native = m_source->open();
    // Whatever happens to the monitor stream, the system recording the user chose has stopped.
    m_source->start(platform::SourceFormat{systemAudioRate, native.channels}, &AudioCapture::pushToRing, ring,
                    [this](platform::SourceEvent) { m_pendingEvents.fetch_or(kSystemAudioInterrupted); });
  } catch (...) {
    stopBlocking();
    throw NativeError::message(messages::systemAudioStartFailed);
  }
}

void AudioCapture::stopBlocking() noexcept {
  // The source first: once it has stopped, nothing pushes into the ring any more.
  if (m_source) {
    m_source->stop();
    m_source.reset();
  }
  try {
    runOnWorker([this] { stopOnWorker(); });
  } catch (...) {
  }
}

void AudioCapture::stopOnWorker() {
  {
    const MutexLock lock(m_mutex);
    m_timerRunning = false;
  }
  m_pendingEvents.store(0);
  if (m_ring == nullptr && !m_converter && !m_writer) {
    return;
  }
  drain();
  try {
    flushConverter();
    if (m_writer) {
      m_writer->finish();
    }
  } catch (...) {
    notify(onError, std::string(messages::lastChunkFailed));
  }
  // After a failure the open chunk keeps what reached it; only its descriptor is released.
  m_writer.reset();
  sl_ring_destroy(m_ring);
  m_ring = nullptr;
  m_converter.reset();
}

void AudioCapture::runDiagnosticBlocking(const std::filesystem::path& directory) {
  sl_ring* ring = prepare(directory, systemAudioRate);
  try {
    runOnWorker([&] {
      std::array<float, 1000> block{};
      const float* channels[] = {block.data()};
      for (int b = 0; b < 480; ++b) {
        for (int j = 0; j < 1000; ++j) {
          const double n = 1000.0 * b + j;
          block[j] = static_cast<float>(std::sin(2.0 * n * std::numbers::pi * 440.0 / 48000.0) * 0.2);
        }
        sl_ring_push(ring, channels, 1, 1000);
        drain();
      }
    });
  } catch (...) {
    stopBlocking();
    throw;
  }
  stopBlocking();

  const std::vector<chunks::ChunkFile> files = chunks::list(directory);
  const std::uint64_t total = chunks::totalBytes(files);
  const auto expected = static_cast<std::uint64_t>(10 * chunks::bytesPerSecond);
  const std::uint64_t difference = total > expected ? total - expected : expected - total;
  if (files.size() != 2 || difference > 64) {
    throw NativeError::message(std::string(messages::diagnosticMismatchPrefix) + std::to_string(total) +
                               " bytes");
  }
}

// The arguments travel inside the work; the returned task only awaits its outcome.
QCoro::Task<void> AudioCapture::startMicrophone(std::filesystem::path directory) {
  return runInBackground([this, directory = std::move(directory)] { startMicrophoneBlocking(directory); });
}

QCoro::Task<void> AudioCapture::startSystem(std::filesystem::path directory, Display display) {
  return runInBackground([this, directory = std::move(directory), display = std::move(display)] {
    startSystemBlocking(directory, display);
  });
}

QCoro::Task<void> AudioCapture::stop() {
  return runInBackground([this] { stopBlocking(); });
}

QCoro::Task<void> AudioCapture::runDiagnostic(std::filesystem::path directory) {
  return runInBackground([this, directory = std::move(directory)] { runDiagnosticBlocking(directory); });
}

// --- test seams -----------------------------------------------------------------------------

void AudioCapture::setDrainPaused(bool paused) { m_drainPaused.store(paused); }

void AudioCapture::drainNow() {
  runOnWorker([this] { tick(); });
}

std::uint64_t AudioCapture::droppedFrames() {
  std::uint64_t dropped = 0;
  runOnWorker([&] { dropped = m_ring != nullptr ? sl_ring_dropped(m_ring) : 0; });
  return dropped;
}

// --- conversion and chunk files (worker only) -------------------------------------------------

void AudioCapture::latchError(const char* message) {
  m_errorReported = true;
  notify(onError, std::string(message));
}

void AudioCapture::drain() {
  if (m_ring == nullptr || !m_converter || m_errorReported) {
    return;
  }
  if (sl_ring_dropped(m_ring) != 0) {
    // Audio was lost; what is still in the ring is left unconverted.
    latchError(messages::captureOverrun);
    return;
  }
  for (;;) {
    const std::uint64_t frames = sl_ring_pop(m_ring, m_input.data(), m_input.size());
    if (frames == 0) {
      return;
    }
    m_output.clear();
    try {
      m_converter->process(m_input.data(), static_cast<std::size_t>(frames), m_output);
    } catch (...) {
      latchError(messages::conversionFailed);
      return;
    }
    float level = 0.0f;
    for (const std::int16_t sample : m_output) {
      level = std::max(level, std::fabs(static_cast<float>(sample)) * kLevelScale);
    }
    try {
      writeBlock(m_output);
    } catch (...) {
      latchError(messages::chunkWriteFailed);
      return;
    }
    notify(onProgress, chunks::seconds(m_writer->totalBytes()), level);
  }
}

void AudioCapture::writeBlock(const std::vector<std::int16_t>& samples) {
  const auto bytes = [](const std::vector<std::int16_t>& little) {
    return std::string_view(reinterpret_cast<const char*>(little.data()),
                            little.size() * sizeof(std::int16_t));
  };
  if constexpr (std::endian::native == std::endian::big) {
    std::vector<std::int16_t> little(samples.size());
    std::transform(samples.begin(), samples.end(), little.begin(), [](std::int16_t s) {
      const auto u = static_cast<std::uint16_t>(s);
      return static_cast<std::int16_t>(static_cast<std::uint16_t>((u >> 8) | (u << 8)));
    });
    m_writer->write(bytes(little));
  } else {
    m_writer->write(bytes(samples));
  }
}

void AudioCapture::flushConverter() {
  if (!m_converter || m_errorReported) {
    return;
  }
  std::array<std::int16_t, kFlushFrames> buffer{};
  for (std::size_t round = 0; round < kFlushRounds; ++round) {
    const std::size_t frames = m_converter->flush(buffer.data(), buffer.size());
    if (frames == 0) {
      return;
    }
    writeBlock(
        std::vector<std::int16_t>(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(frames)));
  }
}

}  // namespace sayloom
