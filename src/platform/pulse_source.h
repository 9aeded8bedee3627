#pragma once
// An AudioSource on the PulseAudio client library (which also reaches PipeWire through
// pipewire-pulse), run on libpulse's threaded main loop. It never spawns a sound server.
//
// Threads: open, start and stop from one thread at a time; the block and event handlers run on the
// main loop's thread. The read callback only de-interleaves into buffers made by `start` and calls
// the block handler: it never locks, allocates or blocks.
#include <memory>

#include "platform/audio_source.h"

namespace sayloom::platform {

class PulseSource final : public AudioSource {
public:
  // The most frames handed to the block handler in one call.
  static constexpr std::uint32_t maxBlockFrames = 4096;

  explicit PulseSource(SourceKind kind);
  ~PulseSource() override;
  PulseSource(const PulseSource&) = delete;
  PulseSource& operator=(const PulseSource&) = delete;

  // The default source, or the default sink's monitor, with its native rate and channel count.
  SourceFormat open() override;
  // Records float samples at `format`; the default source follows the server's default.
  void start(const SourceFormat& format, BlockHandler handler, void* context, EventHandler events) override;
  void stop() noexcept override;

  // Connects, looks the source up and disconnects: whether recording `kind` could start (for
  // example before offering system audio). Throws SourceError when it could not. Any thread.
  static SourceFormat probe(SourceKind kind);

  struct State;

private:
  std::unique_ptr<State> m_state;
};

}  // namespace sayloom::platform
