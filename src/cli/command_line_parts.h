#pragma once
// sayloom-cli's recording parts: the application's own composition (app/recording_parts.h) on the
// application's data folder, engine, model and sleep rule (logind), without presets, overlays or an
// account, so the application's own files stay untouched and nothing leaves the machine; and the
// steps every command takes with them (opening one note, requiring the model, turning the model's
// warning into the command's failure).
//
// Thread contract: main thread only, like the parts it holds.
#include <QCoro/QCoroTask>
#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "app/app_services.h"
#include "app/recording_parts.h"
#include "platform/display_list.h"

namespace sayloom::cli {

// System audio on a machine that may have no window system: the sound server's default output
// is what every display plays, so the one display offered is the one the user named.
class SoundServerDisplays final : public platform::DisplayList {
public:
  explicit SoundServerDisplays(std::uint32_t display) : m_display(display) {}
  std::vector<Display> screens() override;
  // Throws the sound server's error when its default output's monitor cannot be reached.
  void checkSystemAudio() override;

private:
  std::uint32_t m_display;
};

class CommandLineParts {
public:
  struct Options {
    // Processor-only recognition for this run, on top of the user's own setting.
    bool cpuOnly = false;
    // The display whose system audio is offered.
    std::uint32_t display = 1;
    // Where an export writes: the answer of the save dialog the exporter asks.
    std::filesystem::path exportDestination;
  };

  explicit CommandLineParts(const Options& options);
  ~CommandLineParts();
  CommandLineParts(const CommandLineParts&) = delete;
  CommandLineParts& operator=(const CommandLineParts&) = delete;

  RecordingParts& parts() { return *m_parts; }

  // Lists note `id` (as requireNote finds it, read again now) alone in the library and selects it.
  QCoro::Task<void> openNote(const std::string& id);
  // Looks for the installed model; throws "먼저 Whisper 모델을 다운로드해 주세요." without one.
  QCoro::Task<void> requireModel();
  // Runs `action` from the event loop once `stop` is requested (Ctrl+C or termination), unless
  // these parts are gone by then. One action at a time: a later call replaces it.
  void onInterrupt(const std::stop_token& stop, std::function<void()> action);
  // Ends the command: throws Cancelled when `stop` was requested, and the model's warning as the
  // command's error when there is one.
  void finish(const std::stop_token& stop);

private:
  AppServices m_services;
  std::unique_ptr<RecordingParts> m_parts;
  QObject m_context;  // queued interrupt actions die with it
  std::optional<std::stop_callback<std::function<void()>>> m_onInterrupt;
};

}  // namespace sayloom::cli
