#pragma once
// A sound-server source that delivers float blocks to a real-time handler.
//
// Threads: open, start and stop are called by one thread at a time (never from the handlers).
// The block handler and the event handler run on the sound server's own thread.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace sayloom::platform {

// Which source to record.
enum class SourceKind {
  defaultSource,       // the sound server's default source (the microphone)
  defaultSinkMonitor,  // the monitor of the default output sink (what the system plays)
};

struct SourceFormat {
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;

  bool operator==(const SourceFormat&) const = default;
};

// Something that happened to a running source, reported once per occurrence.
enum class SourceEvent {
  configurationChanged,  // the stream moved to another device, or its device was suspended
  streamStopped,         // the stream failed or was ended by the server
};

// Called with `frames` frames of `channelCount` non-interleaved float channels. It runs on the
// real-time thread: it must not lock, allocate, block or throw.
using BlockHandler = void (*)(void* context, const float* const* channels, std::uint32_t channelCount,
                              std::uint32_t frames);
// Called on the sound server's thread; must be quick and must not throw.
using EventHandler = std::function<void(SourceEvent)>;

class SourceError : public std::runtime_error {
public:
  enum class Kind {
    unreachable,  // no connection to the sound server
    refused,      // the server, the source or the stream refused us
    format,       // the source's format cannot be recorded
  };
  SourceError(Kind kind, const std::string& text) : std::runtime_error(text), m_kind(kind) {}
  Kind kind() const noexcept { return m_kind; }

private:
  Kind m_kind;
};

class AudioSource {
public:
  virtual ~AudioSource() = default;
  // Connects and reads the source's native format. Throws SourceError.
  virtual SourceFormat open() = 0;
  // Starts recording in `format` (float samples); returns once the stream runs. Throws SourceError.
  virtual void start(const SourceFormat& format, BlockHandler handler, void* context,
                     EventHandler events) = 0;
  // Stops recording and disconnects; when it returns, no handler runs any more. Safe to repeat.
  virtual void stop() noexcept = 0;
};

}  // namespace sayloom::platform
