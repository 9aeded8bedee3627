#include "platform/pulse_source.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace sayloom::platform {

namespace {

constexpr pa_usec_t kTimeout = 10 * PA_USEC_PER_SEC;
// How many frames the server should gather before it hands a fragment over.
constexpr std::uint32_t kFragmentFrames = 2048;

class LoopLock {
public:
  explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
  ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

private:
  pa_threaded_mainloop* m_loop;
};

struct Deadline {
  bool expired = false;
  pa_threaded_mainloop* loop = nullptr;
};

}  // namespace

struct PulseSource::State {
  SourceKind kind = SourceKind::defaultSource;
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  std::string sourceName;
  SourceFormat nativeFormat;
  pa_channel_map nativeMap{};

  BlockHandler handler = nullptr;
  void* handlerContext = nullptr;
  EventHandler events;
  std::uint32_t channels = 0;
  std::vector<std::vector<float>> planes;
  std::vector<const float*> pointers;

  // Guarded by the main loop's lock (callbacks run with it held).
  bool running = false;
  bool stopping = false;
  bool stopReported = false;

  std::string contextError() const {
    return context != nullptr ? pa_strerror(pa_context_errno(context)) : "no sound server context";
  }

  // Waits on the main loop, its lock held, until `done` holds or the time limit passes.
  template <typename Done>
  bool wait(Done done) {
    Deadline deadline{false, loop};
    pa_time_event* timer = pa_context_rttime_new(
        context, pa_rtclock_now() + kTimeout,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
          auto* d = static_cast<Deadline*>(userdata);
          d->expired = true;
          pa_threaded_mainloop_signal(d->loop, 0);
        },
        &deadline);
    while (!done() && !deadline.expired) {
      pa_threaded_mainloop_wait(loop);
    }
    if (timer != nullptr) {
      pa_threaded_mainloop_get_api(loop)->time_free(timer);
    }
    return done();
  }

  // Runs an introspection operation to its end; false when it could not be started or timed out.
  bool complete(pa_operation* operation) {
    if (operation == nullptr) {
      return false;
    }
    const bool done = wait([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    if (!done) {
      pa_operation_cancel(operation);
    }
    pa_operation_unref(operation);
    return done;
  }

  void reportStopped() {
    if (running && !stopping && !stopReported) {
      stopReported = true;
      events(SourceEvent::streamStopped);
    }
  }

  void deliver(const void* data, std::size_t frames) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < frames) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(frames - done, maxBlockFrames));
      for (std::uint32_t c = 0; c < channels; ++c) {
        float* plane = planes[c].data();
        if (bytes == nullptr) {
          std::fill_n(plane, n, 0.0f);  // a hole in the stream: keep the timeline with silence
          continue;
        }
        const unsigned char* in = bytes + (done * channels + c) * sizeof(float);
        for (std::uint32_t f = 0; f < n; ++f) {
          std::memcpy(plane + f, in + static_cast<std::size_t>(f) * channels * sizeof(float), sizeof(float));
        }
      }
      handler(handlerContext, pointers.data(), channels, n);
      done += n;
    }
  }

  static void onContextState(pa_context* context, void* userdata) {
    auto* state = static_cast<State*>(userdata);
    const pa_context_state_t s = pa_context_get_state(context);
    if (s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED) {
      state->reportStopped();
    }
    pa_threaded_mainloop_signal(state->loop, 0);
  }

  static void onStreamState(pa_stream* stream, void* userdata) {
    auto* state = static_cast<State*>(userdata);
    const pa_stream_state_t s = pa_stream_get_state(stream);
    if (s == PA_STREAM_FAILED || s == PA_STREAM_TERMINATED) {
      state->reportStopped();
    }
    pa_threaded_mainloop_signal(state->loop, 0);
  }

  static void onMoved(pa_stream*, void* userdata) {
    auto* state = static_cast<State*>(userdata);
    if (state->running && !state->stopping) {
      state->events(SourceEvent::configurationChanged);
    }
  }

  static void onSuspended(pa_stream* stream, void* userdata) {
    auto* state = static_cast<State*>(userdata);
    if (state->running && !state->stopping && pa_stream_is_suspended(stream) > 0) {
      state->events(SourceEvent::configurationChanged);
    }
  }

  // The real-time path: de-interleave what the server has and hand it on.
  static void onRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* state = static_cast<State*>(userdata);
    const std::size_t frameBytes = state->channels * sizeof(float);
    for (;;) {
      const void* data = nullptr;
      std::size_t bytes = 0;
      if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
        return;
      }
      state->deliver(data, bytes / frameBytes);
      pa_stream_drop(stream);
    }
  }
};

PulseSource::PulseSource(SourceKind kind) : m_state(std::make_unique<State>()) { m_state->kind = kind; }

PulseSource::~PulseSource() { stop(); }

SourceFormat PulseSource::open() {
  State& st = *m_state;
  if (st.loop != nullptr) {
    throw SourceError(SourceError::Kind::refused, "the source is already open");
  }
  st.loop = pa_threaded_mainloop_new();
  if (st.loop == nullptr) {
    throw SourceError(SourceError::Kind::unreachable, "cannot make the sound server main loop");
  }
  pa_threaded_mainloop_set_name(st.loop, "sayloom-pulse");
  if (pa_threaded_mainloop_start(st.loop) < 0) {
    pa_threaded_mainloop_free(st.loop);
    st.loop = nullptr;
    throw SourceError(SourceError::Kind::unreachable, "cannot start the sound server main loop");
  }

  LoopLock lock(st.loop);
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Sayloom");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "kr.tovik.sayloom");
  st.context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(st.loop), "Sayloom", properties);
  pa_proplist_free(properties);
  if (st.context == nullptr) {
    throw SourceError(SourceError::Kind::unreachable, "cannot make a sound server context");
  }
  pa_context_set_state_callback(st.context, &State::onContextState, &st);
  if (pa_context_connect(st.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    throw SourceError(SourceError::Kind::unreachable, st.contextError());
  }
  const bool ready = st.wait([&] {
    const pa_context_state_t s = pa_context_get_state(st.context);
    return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
  });
  if (!ready || pa_context_get_state(st.context) != PA_CONTEXT_READY) {
    throw SourceError(SourceError::Kind::unreachable, st.contextError());
  }

  // The default source, or the monitor of the default sink.
  struct Lookup {
    State* state;
    std::string name;
    bool found = false;
    pa_sample_spec spec{};
    pa_channel_map map{};
  } lookup{&st, {}};
  const bool monitor = st.kind == SourceKind::defaultSinkMonitor;
  if (!st.complete(pa_context_get_server_info(
          st.context,
          [](pa_context*, const pa_server_info* info, void* userdata) {
            auto* l = static_cast<Lookup*>(userdata);
            const bool monitor = l->state->kind == SourceKind::defaultSinkMonitor;
            const char* name = info == nullptr ? nullptr
                               : monitor       ? info->default_sink_name
                                               : info->default_source_name;
            l->name = name != nullptr ? name : "";
            pa_threaded_mainloop_signal(l->state->loop, 0);
          },
          &lookup))) {
    throw SourceError(SourceError::Kind::refused, st.contextError());
  }
  if (lookup.name.empty()) {
    throw SourceError(SourceError::Kind::refused, monitor ? "no default sink" : "no default source");
  }
  if (monitor) {
    const std::string sink = lookup.name;
    lookup.name.clear();
    if (!st.complete(pa_context_get_sink_info_by_name(
            st.context, sink.c_str(),
            [](pa_context*, const pa_sink_info* info, int, void* userdata) {
              auto* l = static_cast<Lookup*>(userdata);
              if (info != nullptr && info->monitor_source_name != nullptr) {
                l->name = info->monitor_source_name;
              }
              pa_threaded_mainloop_signal(l->state->loop, 0);
            },
            &lookup)) ||
        lookup.name.empty()) {
      throw SourceError(SourceError::Kind::refused, "the default sink has no monitor: " + sink);
    }
  }
  if (!st.complete(pa_context_get_source_info_by_name(
          st.context, lookup.name.c_str(),
          [](pa_context*, const pa_source_info* info, int, void* userdata) {
            auto* l = static_cast<Lookup*>(userdata);
            if (info != nullptr) {
              l->found = true;
              l->spec = info->sample_spec;
              l->map = info->channel_map;
            }
            pa_threaded_mainloop_signal(l->state->loop, 0);
          },
          &lookup)) ||
      !lookup.found) {
    throw SourceError(SourceError::Kind::refused, "cannot read the source " + lookup.name);
  }
  if (pa_sample_spec_valid(&lookup.spec) == 0 || lookup.spec.rate == 0 || lookup.spec.channels == 0) {
    throw SourceError(SourceError::Kind::format, "unusable format of the source " + lookup.name);
  }
  st.sourceName = lookup.name;
  st.nativeFormat = SourceFormat{lookup.spec.rate, lookup.spec.channels};
  st.nativeMap = lookup.map;
  return st.nativeFormat;
}

void PulseSource::start(const SourceFormat& format, BlockHandler handler, void* context,
                        EventHandler events) {
  State& st = *m_state;
  if (st.loop == nullptr || st.context == nullptr || st.stream != nullptr) {
    throw SourceError(SourceError::Kind::refused, "the source is not open");
  }
  if (format.rate == 0 || format.channels == 0 || format.channels > PA_CHANNELS_MAX) {
    throw SourceError(SourceError::Kind::format, "unusable recording format");
  }
  LoopLock lock(st.loop);
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, format.rate, static_cast<std::uint8_t>(format.channels)};
  pa_channel_map map = st.nativeMap;
  if (format.channels != st.nativeFormat.channels || pa_channel_map_valid(&map) == 0) {
    pa_channel_map_init_extend(&map, format.channels, PA_CHANNEL_MAP_DEFAULT);
  }

  // Everything the read callback touches is made here, before the stream exists.
  st.handler = handler;
  st.handlerContext = context;
  st.events = std::move(events);
  st.channels = format.channels;
  st.planes.assign(format.channels, std::vector<float>(maxBlockFrames));
  st.pointers.clear();
  for (const auto& plane : st.planes) {
    st.pointers.push_back(plane.data());
  }

  st.stream = pa_stream_new(st.context, "Sayloom recording", &spec, &map);
  if (st.stream == nullptr) {
    throw SourceError(SourceError::Kind::refused, st.contextError());
  }
  pa_stream_set_state_callback(st.stream, &State::onStreamState, &st);
  pa_stream_set_read_callback(st.stream, &State::onRead, &st);
  pa_stream_set_moved_callback(st.stream, &State::onMoved, &st);
  pa_stream_set_suspended_callback(st.stream, &State::onSuspended, &st);

  pa_buffer_attr attributes;
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.tlength = static_cast<std::uint32_t>(-1);
  attributes.prebuf = static_cast<std::uint32_t>(-1);
  attributes.minreq = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(kFragmentFrames * pa_frame_size(&spec));
  // The microphone follows the server's default source; the monitor is named.
  const char* device = st.kind == SourceKind::defaultSource ? nullptr : st.sourceName.c_str();
  if (pa_stream_connect_record(st.stream, device, &attributes, PA_STREAM_ADJUST_LATENCY) < 0) {
    throw SourceError(SourceError::Kind::refused, st.contextError());
  }
  const bool settled = st.wait([&] {
    const pa_stream_state_t s = pa_stream_get_state(st.stream);
    return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
  });
  if (!settled || pa_stream_get_state(st.stream) != PA_STREAM_READY) {
    throw SourceError(SourceError::Kind::refused,
                      settled ? st.contextError() : "the stream did not start in time");
  }
  st.running = true;
}

SourceFormat PulseSource::probe(SourceKind kind) {
  PulseSource source(kind);
  return source.open();
}

void PulseSource::stop() noexcept {
  State& st = *m_state;
  if (st.loop == nullptr) {
    return;
  }
  {
    LoopLock lock(st.loop);
    st.stopping = true;
    if (st.stream != nullptr) {
      pa_stream_set_state_callback(st.stream, nullptr, nullptr);
      pa_stream_set_read_callback(st.stream, nullptr, nullptr);
      pa_stream_set_moved_callback(st.stream, nullptr, nullptr);
      pa_stream_set_suspended_callback(st.stream, nullptr, nullptr);
      pa_stream_disconnect(st.stream);
      pa_stream_unref(st.stream);
      st.stream = nullptr;
    }
    if (st.context != nullptr) {
      pa_context_set_state_callback(st.context, nullptr, nullptr);
      pa_context_disconnect(st.context);
      pa_context_unref(st.context);
      st.context = nullptr;
    }
    st.running = false;
  }
  // Joins the main loop's thread: no callback runs after this.
  pa_threaded_mainloop_stop(st.loop);
  pa_threaded_mainloop_free(st.loop);
  st.loop = nullptr;
}

}  // namespace sayloom::platform
