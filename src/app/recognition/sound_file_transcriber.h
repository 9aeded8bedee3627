#pragma once
// Transcribes a sound file people already have, the way a recording is transcribed: any file
// libsndfile reads is down-mixed to mono, converted to 16 kHz signed 16-bit samples (libsoxr when
// its rate differs), cut into the recording's 8-second chunks and each chunk is handed to the
// recognition service in order, so the entries carry the same ids, sequences and times as those of
// a recording of the same sound. The file is read piece by piece: its length does not matter.
//
// Thread contract: `transcribeSoundFile` runs on the main thread (reading and converting run on
// Qt's thread pool and are awaited); a SoundFileChunker belongs to one thread at a time.
#include <QCoroTask>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "core/native_note.h"
#include "platform/sound_file_reader.h"

namespace sayloom {

class WhisperRecognitionService;

namespace platform {
class Resampler;
}

namespace messages {
inline constexpr const char* soundFileUnreadablePrefix = "오디오 파일을 읽지 못했습니다: ";
}  // namespace messages

// The PCM of a sound file in chunks. Blocking: call it off the main thread.
class SoundFileChunker {
public:
  // Throws NativeError(soundFileUnreadablePrefix + libsndfile's text) for a file that cannot be
  // opened or is not audio.
  explicit SoundFileChunker(const std::filesystem::path& file);
  ~SoundFileChunker();
  SoundFileChunker(const SoundFileChunker&) = delete;
  SoundFileChunker& operator=(const SoundFileChunker&) = delete;

  // The chunks the file's declared length gives.
  std::int64_t expectedChunks() const;
  // The next chunk's little-endian PCM bytes: 256,000 of them, fewer only for the last; empty at
  // the end. Throws NativeError(soundFileUnreadablePrefix + ...) when reading fails.
  std::string next();

private:
  void fill();

  platform::SoundFileReader m_reader;
  std::unique_ptr<platform::Resampler> m_resampler;  // none at 16 kHz
  std::vector<float> m_mono;
  std::vector<std::int16_t> m_pending;
  bool m_ended = false;
};

struct FileTranscription {
  std::vector<TranscriptEntry> entries;  // in chunk and segment order
  std::int64_t chunks = 0;
  double seconds = 0;  // of 16 kHz audio
};

// Opens `file` off the main thread; throws as SoundFileChunker's constructor does.
QCoro::Task<std::shared_ptr<SoundFileChunker>> openSoundFile(std::filesystem::path file);

// Transcribes the chunks of `sound` one by one with `recognizer`. `progress` (optional) is called
// after each chunk with the chunks done and the chunks expected (never fewer than done). Throws
// NativeError(soundFileUnreadablePrefix + ...) when reading fails, Cancelled when `stop` is
// signalled, and the recognition service's errors.
QCoro::Task<FileTranscription> transcribeSoundFile(
    WhisperRecognitionService& recognizer, std::shared_ptr<SoundFileChunker> sound, std::string language,
    bool cpuOnly, std::function<void(std::int64_t done, std::int64_t expected)> progress = {},
    std::stop_token stop = {});

}  // namespace sayloom
