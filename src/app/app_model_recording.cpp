// The recording session: start and stop, capture callbacks, the recognition queue and its one
// worker, recovery of transcripts from the stored chunk files, and the sleep rule.
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>
#include <unordered_set>

#include "app/app_model.h"
#include "app/audio_capture.h"
#include "app/error_text.h"
#include "app/whisper_recognition_service.h"
#include "core/atomic_file.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/native_error.h"
#include "platform/sleep_watcher.h"

namespace sayloom {

namespace {

const QString recordingStatus = QStringLiteral("기기에서 녹음·인식 중");
const QString recordingWithoutModelStatus =
    QStringLiteral("원본 오디오 녹음 중 · 모델을 준비한 뒤 대본 복구 가능");
const QString backlogStatus =
    QStringLiteral("인식이 밀리고 있습니다. 원본 저장은 계속되며 중지 후 대본 복구로 처리할 수 있습니다.");
const QString stoppedWhileRecognizingStatus = QStringLiteral("녹음 저장 완료 · 남은 대본 처리 중");
const QString stoppedStatus = QStringLiteral("녹음을 기기에 저장했습니다");
const QString recognitionDoneStatus =
    QStringLiteral("기기에 저장했습니다. 회의록을 확인하거나 클라우드에 연결할 수 있습니다.");
const QString recoveringStatus = QStringLiteral("저장된 오디오에서 대본을 복구합니다");
const QString liveTranslationWarning = QStringLiteral("실시간 번역에는 모델·계정·워크스페이스가 필요합니다.");
const char* const chooseDisplayMessage = "시스템 오디오를 녹음할 화면을 먼저 선택해 주세요.";
const QString sleepWarning =
    QStringLiteral("Mac이 잠자기에 들어가 녹음을 저장합니다. 깨어난 뒤 새 녹음을 시작해 주세요.");
const QString noModelWarning = QStringLiteral("먼저 Whisper 모델을 다운로드해 주세요.");

// A chunk is not queued when this many are already waiting.
constexpr std::size_t backlogLimit = 64;

// Posts `work` to the main thread; it runs only while the model still exists.
template <typename Work>
void onMainThread(const QPointer<AppModel>& model, Work work) {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [model, work = std::move(work)]() mutable {
        if (model) {
          work(*model);
        }
      },
      Qt::QueuedConnection);
}

// A chunk file's index from its name without the extension: an optional sign, then decimal
// digits only, within 64 bits.
std::optional<std::int64_t> chunkIndex(const std::string& stem) {
  std::string_view digits = stem;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  if (error != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (magnitude > max + 1) {
      return std::nullopt;
    }
    return magnitude == max + 1 ? std::numeric_limits<std::int64_t>::min()
                                : -static_cast<std::int64_t>(magnitude);
  }
  if (magnitude > max) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(magnitude);
}

// The chunk files of a note's audio folder and the seconds they hold.
struct RecoveryListing {
  std::vector<chunks::ChunkFile> chunks;  // sorted by file name
  double seconds = 0;
};

RecoveryListing listChunks(const std::filesystem::path& folder) {
  RecoveryListing listing{chunks::list(folder), 0};
  listing.seconds = static_cast<double>(chunks::totalBytes(listing.chunks)) / chunks::bytesPerSecond;
  return listing;
}

// Replaces the entries of `segments` that share an id with `entries`, appends `entries` in their
// order and sorts everything by sequence, keeping the order of equal sequences.
void mergeEntries(std::vector<TranscriptEntry>& segments, const std::vector<TranscriptEntry>& entries) {
  std::unordered_set<std::string> ids;
  for (const TranscriptEntry& entry : entries) {
    ids.insert(entry.id);
  }
  std::erase_if(segments, [&](const TranscriptEntry& entry) { return ids.contains(entry.id); });
  segments.insert(segments.end(), entries.begin(), entries.end());
  std::stable_sort(segments.begin(), segments.end(), [](const TranscriptEntry& a, const TranscriptEntry& b) {
    return a.sequence < b.sequence;
  });
}

}  // namespace

QCoro::Task<void> AppModel::startRecording() {
  if (m_recording || m_working || m_recognizing) {
    co_return;
  }
  setWorking(true);

  NativeNote note;
  if (!m_title.trimmed().isEmpty()) {
    note.title = m_title.toStdString();
  }
  note.language = m_language.toStdString();
  note.source = m_source.toStdString();

  if (m_liveTranslation) {
    // Live translation needs a signed-in account with a workspace; without an account in the
    // model there is no profile, so it cannot be set up.
    setWarningText(liveTranslationWarning);
    setWorking(false);
    co_return;
  }

  try {
    co_await saveNote(note);
  } catch (...) {
    setWarningText(currentExceptionText());
    setWorking(false);
    co_return;
  }

  const QString noteID = QString::fromStdString(note.id);
  m_notes.insert(m_notes.begin(), note);
  emit notesChanged();
  setSelectedNoteID(noteID);
  m_activeNoteID = noteID;

  m_capture = std::make_unique<AudioCapture>();
  setElapsed(0);

  const QPointer<AppModel> self(this);
  m_capture->onProgress = [self, noteID](double seconds, float level) {
    onMainThread(
        self, [noteID, seconds, level](AppModel& model) { model.captureProgress(noteID, seconds, level); });
  };
  m_capture->onChunk = [self, noteID](const std::filesystem::path& file, std::int64_t index) {
    onMainThread(self, [noteID, file = QString::fromStdString(file.string()), index](AppModel& model) {
      model.enqueue(file, index, noteID);
    });
  };
  m_capture->onError = [self](const std::string& message) {
    onMainThread(self, [message = QString::fromStdString(message)](AppModel& model) {
      model.handleCaptureError(message);
    });
  };

  const std::filesystem::path audioFolder = DataPaths::audioDirectory(note.id, dataRoot());
  std::optional<QString> failure;
  try {
    if (m_source == QStringLiteral("system")) {
      const auto display = std::find_if(m_displays.begin(), m_displays.end(),
                                        [this](const Display& d) { return d.identifier == m_displayID; });
      if (display == m_displays.end()) {
        throw NativeError::message(chooseDisplayMessage);
      }
      co_await m_capture->startSystem(audioFolder, *display);
    } else {
      co_await m_capture->startMicrophone(audioFolder);
    }
  } catch (...) {
    failure = currentExceptionText();
  }

  if (failure) {
    if (m_capture) {
      co_await m_capture->stop();
    }
    m_capture.reset();
    m_activeNoteID.reset();
    setWarningText(*failure);
    setWorking(false);
    co_return;
  }

  setRecording(true);
  setStatus(m_modelReady ? recordingStatus : recordingWithoutModelStatus);
  refreshOverlays();
  if (m_services.sleepWatcher) {
    m_services.sleepWatcher->holdDelay();
  }
  setWorking(false);
}

QCoro::Task<void> AppModel::stopRecording() {
  if (!m_recording) {
    co_return;
  }
  setRecording(false);
  setWorking(true);

  if (m_capture) {
    // The capture reports its last, shorter chunk before this returns; its queueing arrives as
    // its own main-thread call.
    co_await m_capture->stop();
    m_capture.reset();
  }

  if (m_activeNoteID) {
    if (NativeNote* note = findNote(*m_activeNoteID)) {
      note->completed = true;
      note->durationSeconds = audioDuration(*m_activeNoteID);
      emit notesChanged();
      try {
        co_await saveNote(*note);
      } catch (...) {
        setWarningText(currentExceptionText());
      }
    }
  }
  m_activeNoteID.reset();
  // A note linked to the cloud gets its final upload here once cloud sync is part of the model.

  setLevel(0);
  setWorking(false);
  setStatus(m_recognizing ? stoppedWhileRecognizingStatus : stoppedStatus);
  if (m_services.sleepWatcher) {
    m_services.sleepWatcher->releaseDelay();
  }
}

void AppModel::captureProgress(const QString& noteID, double seconds, float level) {
  if (!m_activeNoteID || *m_activeNoteID != noteID) {
    return;
  }
  NativeNote* note = findNote(noteID);
  if (note == nullptr) {
    return;
  }
  setElapsed(seconds);
  setLevel(level);
  note->durationSeconds = seconds;
  emit notesChanged();
}

void AppModel::enqueue(const QString& file, std::int64_t index, const QString& noteID) {
  if (!m_modelReady) {
    return;  // the chunk stays on disk for recovery
  }
  if (m_pending.size() >= backlogLimit) {
    setStatus(backlogStatus);
  } else {
    m_pending.push_back({file, index});
  }
  startWorker(noteID);
}

void AppModel::startWorker(const QString& noteID) {
  if (m_recognitionTask) {
    return;
  }
  setRecognizing(true);
  const TaskHandle worker;
  m_recognitionTask = worker;
  worker.attach(recognitionWorker(noteID, worker.token()));
}

QCoro::Task<void> AppModel::recognitionWorker(QString noteID, std::stop_token stop) {
  while (!m_pending.empty() && !stop.stop_requested()) {
    const PendingChunk chunk = m_pending.front();
    m_pending.pop_front();
    const NativeNote* note = findNote(noteID);
    if (note == nullptr) {
      break;
    }
    const std::filesystem::path pcm = chunk.file.toStdString();

    std::vector<TranscriptEntry> entries;
    std::optional<QString> failure;
    bool cancelled = false;
    try {
      entries = co_await m_recognizer->transcribe(pcm, chunk.index, note->language, m_cpuOnly, stop);
    } catch (const Cancelled&) {
      cancelled = true;
    } catch (...) {
      failure = currentExceptionText();
    }
    if (!failure && !cancelled) {
      std::filesystem::path transcript = pcm;
      transcript += ".transcript.json";
      try {
        auto write = [entries, transcript] { AtomicFile::write(nlohmann::json(entries), transcript); };
        co_await runInBackground(std::move(write));
      } catch (...) {
        failure = currentExceptionText();
      }
    }
    if (failure || cancelled) {
      if (failure) {
        setWarningText(*failure);
      }
      m_pending.clear();
      break;
    }

    NativeNote* current = findNote(noteID);
    if (current == nullptr) {
      continue;
    }
    mergeEntries(current->segments, entries);
    emit notesChanged();
    try {
      co_await saveNote(*current);
    } catch (...) {
      setWarningText(currentExceptionText());
      m_pending.clear();
      break;
    }
    refreshOverlays();
    // A note with live translation is handed to the cloud sync here once that service is part of
    // the model.
  }

  // The final upload of a note linked to the cloud joins here with cloud sync.
  m_recognitionTask.reset();
  setRecognizing(false);
  if (!m_recording) {
    setStatus(recognitionDoneStatus);
  }
}

void AppModel::handleCaptureError(const QString& message) { reportCaptureError(message); }

QCoro::Task<void> AppModel::reportCaptureError(QString message) {
  setWarningText(message);
  if (m_recording) {
    co_await stopRecording();
  }
}

void AppModel::onPrepareForSleep() { stopForSleep(); }

QCoro::Task<void> AppModel::stopForSleep() {
  if (!m_recording) {
    co_return;
  }
  setWarningText(sleepWarning);
  co_await stopRecording();
}

QCoro::Task<void> AppModel::recoverSelected() {
  if (m_recording || m_working || m_recognizing) {
    co_return;
  }
  const NativeNote* selected = selectedNote();
  if (selected == nullptr) {
    co_return;
  }
  if (!m_modelReady) {
    setWarningText(noModelWarning);
    co_return;
  }
  const QString noteID = QString::fromStdString(selected->id);
  const std::filesystem::path folder = DataPaths::audioDirectory(selected->id, dataRoot());

  RecoveryListing listing;
  try {
    auto list = [folder] { return listChunks(folder); };
    listing = co_await runInBackground(std::move(list));
  } catch (...) {
    setWarningText(currentExceptionText());
    co_return;
  }
  if (m_recording || m_working || m_recognizing) {
    co_return;  // a recording started while the folder was read
  }
  if (listing.chunks.empty()) {
    setWarningText(QString::fromUtf8(messages::noAudioToRecover));
    co_return;
  }

  if (NativeNote* note = findNote(noteID)) {
    note->durationSeconds = listing.seconds;
    note->completed = true;
    emit notesChanged();
    try {
      co_await saveNote(*note);
    } catch (...) {
      setWarningText(currentExceptionText());
      co_return;
    }
    if (m_recording || m_working || m_recognizing) {
      co_return;
    }
  }

  std::deque<PendingChunk> chunks;
  for (const chunks::ChunkFile& file : listing.chunks) {
    if (const auto index = chunkIndex(file.path.stem().string())) {
      chunks.push_back({QString::fromStdString(file.path.string()), *index});
    }
  }
  m_pending = std::move(chunks);
  setStatus(recoveringStatus);
  startWorker(noteID);
}

double AppModel::audioDuration(const QString& noteID) const {
  try {
    return listChunks(DataPaths::audioDirectory(noteID.toStdString(), dataRoot())).seconds;
  } catch (...) {
    return 0;
  }
}

}  // namespace sayloom
