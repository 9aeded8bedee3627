#include "app/self_test/self_test.h"

#include <QCoro/QCoroTask>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/error_text.h"
#include "app/recognition/whisper_recognition_service.h"
#include "app/recording/audio_capture.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/local_note_store.h"
#include "core/native_error.h"
#include "core/uuid.h"
#include "platform/sound_file_reader.h"

namespace sayloom {

namespace {

constexpr const char* fixtureArgument = "--fixture";
constexpr const char* noteTitle = "Native diagnostics (upstream ZEB fixture)";

}  // namespace

std::string fixturePcm(const std::vector<float>& samples) {
  std::string bytes;
  bytes.reserve(samples.size() * 2);
  for (const float sample : samples) {
    if (!std::isfinite(sample)) {
      throw NativeError::message("Fixture contains a sample that is not a finite number");
    }
    const double scaled = std::clamp(static_cast<double>(sample) * 32'767.0, -32'768.0, 32'767.0);
    const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::trunc(scaled)));
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>(value >> 8));
  }
  return bytes;
}

std::string readFixture(platform::SoundFileReader& fixture) {
  if (fixture.sampleRate() != chunks::sampleRate || fixture.channels() != 1) {
    throw NativeError::message("Fixture must be 16 kHz mono");
  }
  return fixturePcm(fixture.readAll());
}

QCoro::Task<void> runSelfTest(QStringList arguments) {
  const qsizetype fixtureAt = arguments.indexOf(QString::fromLatin1(fixtureArgument));
  if (fixtureAt < 0 || fixtureAt + 1 >= arguments.size()) {
    throw NativeError::message("Pass --fixture path/to/zeb.wav");
  }
  const std::filesystem::path fixture = arguments.at(fixtureAt + 1).toStdString();
  const bool cpuOnly = arguments.contains(QStringLiteral("--cpu"));
  const std::filesystem::path root = DataPaths::root();

  {
    AudioCapture capture;
    co_await capture.runDiagnostic(root / "DiagnosticCapture" / uuid::generate());
  }

  const std::string pcm = [&] {
    platform::SoundFileReader reader(fixture);
    return readFixture(reader);
  }();

  NativeNote note;
  note.title = noteTitle;
  note.language = "en";
  LocalNoteStore store(root);
  store.save(note);

  const std::filesystem::path audio = DataPaths::audioDirectory(note.id, root);
  DataPaths::createFolders(audio);
  const std::filesystem::path chunk = chunks::writeWhole(audio, 0, pcm);

  WhisperRecognitionService recognizer;
  const std::vector<TranscriptEntry> entries = co_await recognizer.transcribe(chunk, 0, "en", cpuOnly);

  QStringList texts;
  for (const TranscriptEntry& entry : entries) {
    texts << QString::fromStdString(entry.text);
  }
  if (!texts.join(QLatin1Char(' ')).toLower().contains(QStringLiteral("country"))) {
    throw NativeError::message("Whisper fixture transcription mismatch");
  }

  note.segments = entries;
  note.durationSeconds = chunks::seconds(pcm.size());
  note.completed = false;
  store.save(note);
  const NoteListing listing = store.list();
  const auto stored = std::find_if(listing.notes.begin(), listing.notes.end(),
                                   [&](const NativeNote& listed) { return listed.id == note.id; });
  if (stored == listing.notes.end() || stored->segments != entries || stored->completed) {
    throw NativeError::message("Incomplete note recovery failed");
  }
}

namespace {
// The failure text, or nothing on success (QCoro::waitFor does not return for a task that throws).
QCoro::Task<std::optional<QString>> selfTestOutcome(QStringList arguments) {
  try {
    co_await runSelfTest(std::move(arguments));
  } catch (...) {
    co_return currentExceptionText();
  }
  co_return std::nullopt;
}
}  // namespace

int selfTestMain(const QStringList& arguments) {
  const std::optional<QString> failure = QCoro::waitFor(selfTestOutcome(arguments));
  if (failure) {
    std::fprintf(stderr, "%s%s\n", selfTestFailedPrefix, failure->toUtf8().constData());
    std::fflush(stderr);
    return 1;
  }
  std::fprintf(stdout, "%s\n", selfTestPassedLine);
  std::fflush(stdout);
  return 0;
}

}  // namespace sayloom
