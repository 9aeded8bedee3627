#include "app/recognition/sound_file_transcriber.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <stdexcept>

#include "app/concurrency/serial_worker.h"
#include "app/recognition/whisper_recognition_service.h"
#include "core/chunk_files.h"
#include "core/native_error.h"
#include "platform/soxr_resampler.h"

namespace sayloom {

namespace {

constexpr int outputRate = chunks::sampleRate;
constexpr auto samplesPerChunk = static_cast<std::size_t>(chunks::bytesPerChunk / chunks::bytesPerSample);
constexpr std::size_t readFrames = 16'384;

platform::SoundFileReader openReader(const std::filesystem::path& file) {
  try {
    return platform::SoundFileReader(file);
  } catch (const platform::SoundFileError& error) {
    throw NativeError::message(messages::soundFileUnreadablePrefix + std::string(error.what()));
  }
}

// The scale libsoxr converts with (x × 32,768, rounded, held within the 16-bit range), so that the
// samples of a 16-bit file come through unchanged.
std::int16_t toSample(float value) {
  return static_cast<std::int16_t>(
      std::lrint(std::clamp(static_cast<double>(value) * 32'768.0, -32'768.0, 32'767.0)));
}

}  // namespace

SoundFileChunker::SoundFileChunker(const std::filesystem::path& file) : m_reader(openReader(file)) {
  if (m_reader.sampleRate() <= 0) {
    throw NativeError::message(messages::soundFileUnreadablePrefix + std::string("no sample rate"));
  }
  if (m_reader.sampleRate() != outputRate) {
    m_resampler = std::make_unique<platform::SoxrResampler>(m_reader.sampleRate(), outputRate);
  }
}

SoundFileChunker::~SoundFileChunker() = default;

std::int64_t SoundFileChunker::expectedChunks() const {
  const double samples =
      std::ceil(static_cast<double>(m_reader.frames()) * outputRate / m_reader.sampleRate());
  return static_cast<std::int64_t>(std::ceil(samples / static_cast<double>(samplesPerChunk)));
}

void SoundFileChunker::fill() {
  while (m_pending.size() < samplesPerChunk && !m_ended) {
    m_mono.clear();
    std::size_t got = 0;
    try {
      got = m_reader.readMono(readFrames, m_mono);
    } catch (const platform::SoundFileError& error) {
      throw NativeError::message(messages::soundFileUnreadablePrefix + std::string(error.what()));
    }
    if (got == 0) {
      m_ended = true;
      if (m_resampler) {
        std::int16_t tail[4096];
        while (const std::size_t flushed = m_resampler->flush(tail, std::size(tail))) {
          m_pending.insert(m_pending.end(), tail, tail + flushed);
        }
      }
    } else if (m_resampler) {
      m_resampler->process(m_mono.data(), got, m_pending);
    } else {
      std::transform(m_mono.begin(), m_mono.end(), std::back_inserter(m_pending), toSample);
    }
  }
}

std::string SoundFileChunker::next() {
  fill();
  const std::size_t count = std::min(samplesPerChunk, m_pending.size());
  std::string bytes(count * 2, '\0');
  for (std::size_t i = 0; i < count; ++i) {
    const auto sample = static_cast<std::uint16_t>(m_pending[i]);
    bytes[2 * i] = static_cast<char>(sample & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(sample >> 8);
  }
  m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
  return bytes;
}

QCoro::Task<std::shared_ptr<SoundFileChunker>> openSoundFile(std::filesystem::path file) {
  auto open = [file = std::move(file)] { return std::make_shared<SoundFileChunker>(file); };
  co_return co_await runInBackground(std::move(open));
}

QCoro::Task<FileTranscription> transcribeSoundFile(WhisperRecognitionService& recognizer,
                                                   std::shared_ptr<SoundFileChunker> sound,
                                                   std::string language, bool cpuOnly,
                                                   std::function<void(std::int64_t, std::int64_t)> progress,
                                                   std::stop_token stop) {
  const std::int64_t expected = sound->expectedChunks();

  // Each chunk is written here for the engine and removed once it has been transcribed.
  const QTemporaryDir scratch(QDir(QDir::tempPath()).filePath(QStringLiteral("sayloom-transcribe-XXXXXX")));
  if (!scratch.isValid()) {
    throw std::runtime_error("cannot make a temporary folder: " + scratch.errorString().toStdString());
  }
  const std::filesystem::path folder = scratch.path().toStdString();

  FileTranscription result;
  for (;; ++result.chunks) {
    if (stop.stop_requested()) {
      throw Cancelled();
    }
    auto read = [sound] { return sound->next(); };
    const std::string pcm = co_await runInBackground(std::move(read));
    if (pcm.empty()) {
      break;
    }
    const std::filesystem::path chunk = chunks::writeWhole(folder, result.chunks, pcm);
    const std::vector<TranscriptEntry> entries =
        co_await recognizer.transcribe(chunk, result.chunks, language, cpuOnly, stop);
    std::filesystem::remove(chunk);
    result.entries.insert(result.entries.end(), entries.begin(), entries.end());
    result.seconds += chunks::seconds(pcm.size());
    if (progress) {
      progress(result.chunks + 1, std::max(expected, result.chunks + 1));
    }
  }
  co_return result;
}

}  // namespace sayloom
