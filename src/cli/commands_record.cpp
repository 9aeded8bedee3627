// record: a live recording from the terminal on the application's recording session and
// recognition queue, printing each recognised entry as it arrives.
#include <unistd.h>

#include <QCoreApplication>
#include <QCoro/QCoroSignal>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>
#include <stop_token>

#include "app/app_status.h"
#include "app/notes/note_library.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/recording_session.h"
#include "app/speech_model/model_downloader.h"
#include "app/speech_model/model_installer.h"
#include "cli/cli_support.h"
#include "cli/command_line_parts.h"
#include "cli/commands.h"
#include "core/native_error.h"
#include "core/transcript_export.h"

namespace sayloom::cli {

namespace {

const char* const notStarted = "녹음을 시작하지 못했습니다.";

// "--display N": a display number from 1.
std::uint32_t displayNumber(const Invocation& invocation) {
  if (!invocation.values.contains("--display")) {
    return 1;
  }
  if (!invocation.has("--system")) {
    throw UsageError("--display는 --system과 함께 씁니다.", "record");
  }
  const std::string text = invocation.value("--display", "");
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number == 0) {
    throw UsageError("화면 번호는 1 이상의 정수입니다: " + text, "record");
  }
  return number;
}

// What the recording shows on standard error: the model's status and warnings as lines, and while
// standard error is a terminal, a status line with the elapsed time, the input level and the
// recognition backlog, redrawn in place.
class Terminal {
public:
  explicit Terminal(RecordingParts& parts) : m_parts(parts), m_live(::isatty(STDERR_FILENO) == 1) {}

  void line(const std::string& text) {
    clearStatus();
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    drawStatus();
  }

  void entry(const std::string& text) {
    clearStatus();
    printOut(text);
    drawStatus();
  }

  void drawStatus() {
    if (!m_live || !m_parts.session().recording()) {
      return;
    }
    const RecordingSession& session = m_parts.session();
    constexpr int width = 10;
    const int filled = std::clamp(static_cast<int>(session.level() * width + 0.5F), 0, width);
    std::string meter;
    for (int i = 0; i < width; ++i) {
      meter += i < filled ? "█" : "░";
    }
    std::string status = "● " + duration(session.elapsed()) + "  " + meter;
    if (const std::size_t waiting = m_parts.recognition().pending().size(); waiting > 0) {
      status += "  인식 대기 " + std::to_string(waiting) + "개";
    }
    std::fprintf(stderr, "\r\033[K%s", status.c_str());
    std::fflush(stderr);
    m_drawn = true;
  }

  void clearStatus() {
    if (m_drawn) {
      std::fputs("\r\033[K", stderr);
      m_drawn = false;
    }
  }

private:
  RecordingParts& m_parts;
  bool m_live;
  bool m_drawn = false;
};

std::string entryLine(const TranscriptEntry& entry, const QString& noteID, bool json) {
  if (json) {
    nlohmann::json object = entry;
    object["noteId"] = noteID.toStdString();
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  }
  return "[" + duration(static_cast<double>(entry.startTimeMs) / 1000.0) + "] " + entry.text + "\n";
}

}  // namespace

QCoro::Task<void> record(const Invocation& invocation) {
  const bool system = invocation.has("--system");
  const std::uint32_t display = displayNumber(invocation);
  const bool json = invocation.has("--json");

  CommandLineParts command({.cpuOnly = invocation.has("--cpu"), .display = display});
  RecordingParts& parts = command.parts();
  AppStatus& status = parts.status();
  RecordingSession& session = parts.session();
  RecognitionQueue& recognition = parts.recognition();
  Terminal terminal(parts);

  // Without a model nothing would be transcribed: refused before anything is recorded.
  co_await command.requireModel();

  bool warned = false;
  QObject::connect(&status, &AppStatus::warningChanged, [&] {
    if (status.warning()) {
      warned = true;
      terminal.line("sayloom-cli: " + status.warning()->toStdString());
    }
  });
  QObject::connect(&status, &AppStatus::statusChanged, [&] {
    if (!status.status().isEmpty()) {
      terminal.line(status.status().toStdString());
    }
  });
  QObject::connect(&session, &RecordingSession::elapsedChanged, [&] { terminal.drawStatus(); });
  QObject::connect(&session, &RecordingSession::levelChanged, [&] { terminal.drawStatus(); });

  // Each chunk's entries as they are saved, once each, in the note's order.
  std::set<std::string> printed;
  recognition.setAfterChunk([&](QString noteID) -> QCoro::Task<void> {
    if (const NativeNote* note = parts.library().find(noteID)) {
      for (const TranscriptEntry& entry : note->segments) {
        if (printed.insert(entry.id).second) {
          terminal.entry(entryLine(entry, noteID, json));
        }
      }
    }
    co_return;
  });

  session.setLanguage(QString::fromStdString(invocation.value("--language", "ko")));
  if (invocation.values.contains("--title")) {
    session.setTitle(QString::fromStdString(invocation.value("--title", "")));
  }
  if (system) {
    session.setSource(QStringLiteral("system"));
    co_await session.loadDisplays();
    session.setDisplayID(display);
  }

  co_await session.start();
  if (!session.recording()) {
    if (warned) {
      throw AlreadyReported();
    }
    throw NativeError::message(notStarted);
  }
  terminal.line("노트 ID: " + session.activeNoteID().value_or(QString()).toStdString());

  // The first interrupt or termination stops the recording the way the studio's stop button does;
  // the note is saved and the last chunks are recognised before the program ends. A later one
  // ends the program at once (copies within a second of the first are the same request):
  // finished chunks are on disk.
  bool interrupted = false;
  command.onInterrupt(invocation.stop, [&interrupted, &session] {
    interrupted = true;
    session.stop();
  });

  if (session.recording()) {
    co_await qCoro(&session, &RecordingSession::stopped);
  }
  co_await status.idle();
  while (recognition.recognizing()) {
    co_await qCoro(&recognition, &RecognitionQueue::recognizingChanged);
  }
  status.setStatus(QString::fromUtf8(messages::transcriptSaved));
  terminal.clearStatus();
  co_await parts.stopAndClose();
  // A recording that ended by itself (the sound server, the disk, sleep) or whose recognition
  // failed has said why; its note is saved all the same.
  if (warned || !interrupted) {
    throw AlreadyReported();
  }
}

}  // namespace sayloom::cli
