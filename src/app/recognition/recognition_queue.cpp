// The recognition queue, its one worker, and recovery of transcripts from stored audio.
#include "app/recognition/recognition_queue.h"

#include <algorithm>
#include <filesystem>

#include "app/app_status.h"
#include "app/concurrency/serial_worker.h"
#include "app/notes/note_library.h"
#include "app/recognition/whisper_recognition_service.h"
#include "app/settings/user_settings.h"
#include "app/speech_model/model_downloader.h"
#include "app/speech_model/model_installer.h"
#include "core/atomic_file.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/native_error.h"

namespace sayloom {

namespace {

const QString backlogStatus =
    QStringLiteral("인식이 밀리고 있습니다. 원본 저장은 계속되며 중지 후 대본 복구로 처리할 수 있습니다.");
const QString recoveringStatus = QStringLiteral("저장된 오디오에서 대본을 복구합니다");

// The chunk files of a note's audio folder and the seconds they hold.
struct ChunkListing {
  std::vector<chunks::ChunkFile> chunks;  // sorted by file name
  double seconds = 0;
};

ChunkListing listChunks(const std::filesystem::path& folder) {
  // A note whose recording never got going has no audio folder: nothing to recover, not a failure.
  std::error_code error;
  if (std::filesystem::symlink_status(folder, error).type() == std::filesystem::file_type::not_found) {
    return {};
  }
  ChunkListing listing{chunks::list(folder), 0};
  listing.seconds = chunks::seconds(chunks::totalBytes(listing.chunks));
  return listing;
}

}  // namespace

RecognitionQueue::RecognitionQueue(NoteLibrary& notes, const ModelInstaller& model,
                                   const UserSettings& settings, WhisperRecognitionService& recognizer,
                                   AppStatus& status, QObject* parent)
    : QObject(parent),
      m_notes(notes),
      m_model(model),
      m_settings(settings),
      m_recognizer(recognizer),
      m_status(status) {}

void RecognitionQueue::setRecognizing(bool on) {
  if (m_recognizing != on) {
    m_recognizing = on;
    emit recognizingChanged();
  }
}

void RecognitionQueue::enqueue(const QString& file, std::int64_t index, const QString& noteID) {
  if (!m_model.modelReady() || m_closed) {
    return;  // the chunk stays on disk for recovery
  }
  if (m_pending.size() >= backlogLimit) {
    m_status.setStatus(backlogStatus);
  } else {
    m_pending.push_back({file, index});
    emit progressChanged();
  }
  startWorker(noteID);
}

RecognitionQueue::Progress RecognitionQueue::progress() const {
  if (!m_workerTask) {
    return {};
  }
  return {m_done, m_done + (m_inEngine ? 1 : 0) + static_cast<std::int64_t>(m_pending.size())};
}

void RecognitionQueue::startWorker(const QString& noteID) {
  if (m_workerTask || m_closed) {
    return;
  }
  setRecognizing(true);
  m_done = 0;
  const TaskHandle task;
  m_workerTask = task;
  task.attach(worker(noteID, task.token()));
  emit progressChanged();
}

QCoro::Task<void> RecognitionQueue::worker(QString noteID, std::stop_token stop) {
  while (!m_pending.empty() && !stop.stop_requested()) {
    const PendingChunk chunk = m_pending.front();
    m_pending.pop_front();
    const NativeNote* note = m_notes.find(noteID);
    if (note == nullptr) {
      break;
    }
    m_inEngine = true;
    const std::filesystem::path pcm = chunk.file.toStdString();
    const std::filesystem::path transcript = chunks::transcriptFile(pcm);

    bool done = false;
    try {
      const std::vector<TranscriptEntry> entries =
          co_await m_recognizer.transcribe(pcm, chunk.index, note->language, m_settings.cpuOnly(), stop);
      auto write = [entries, transcript] { AtomicFile::write(nlohmann::json(entries), transcript); };
      co_await runInBackground(std::move(write));
      if (NativeNote* current = m_notes.find(noteID)) {
        // A chunk without speech leaves the note as it was: no save (recovering six hours of
        // mostly silent audio would otherwise rewrite the note thousands of times).
        if (!entries.empty()) {
          transcript::merge(current->segments, entries);
          m_notes.markChanged(noteID);
          co_await m_notes.save(*current);
        }
        if (m_afterChunk) {
          co_await m_afterChunk(noteID);
        }
      }
      done = true;
    } catch (...) {
      m_status.warnCurrentException();
    }
    m_inEngine = false;
    if (done) {
      ++m_done;
      emit progressChanged();
    } else {
      // A failed chunk, a failed save or a cancellation ends the worker; the audio stays on disk.
      m_pending.clear();
      break;
    }
  }

  m_workerTask.reset();
  emit progressChanged();
  if (holdsNoteLock(noteID)) {
    m_recoveryLock.release();
  }
  // What follows the end (the final upload) begins before `recognizing` clears, so that the model
  // never looks idle in between.
  emit drained(noteID);
  setRecognizing(false);
}

QCoro::Task<void> RecognitionQueue::recover(QString noteID, std::function<bool()> busy, RecordingLock lock) {
  if (m_closed || m_recoveryTask) {
    co_return;
  }
  m_recoveryLock = std::move(lock);
  const TaskHandle task;
  m_recoveryTask = task;
  task.attach(runRecovery(std::move(noteID), std::move(busy)));
  co_await task.waitForEnd();
}

QCoro::Task<void> RecognitionQueue::runRecovery(QString noteID, std::function<bool()> busy) {
  // Gives up when shutdown began or a recording, start, stop or recognition began meanwhile.
  const auto interrupted = [this, &busy] { return m_closed || busy(); };
  // Without a worker started for it, the note's lock goes with the recovery.
  const auto finish = [this] {
    m_recoveryTask.reset();
    if (!m_workerTask) {
      m_recoveryLock.release();
    }
  };

  if (!m_model.modelReady()) {
    m_status.warn(QString::fromUtf8(messages::downloadModelFirst));
    finish();
    co_return;
  }
  auto list = [id = noteID.toStdString(), root = m_notes.root()] {
    return listChunks(DataPaths::audioDirectory(id, root));
  };
  std::optional<ChunkListing> listing = co_await m_status.attempt(runInBackground(std::move(list)));
  if (!listing || interrupted()) {
    finish();
    co_return;
  }
  if (listing->chunks.empty()) {
    m_status.warn(QString::fromUtf8(messages::noAudioToRecover));
    finish();
    co_return;
  }

  if (NativeNote* note = m_notes.find(noteID)) {
    note->durationSeconds = listing->seconds;
    note->completed = true;
    m_notes.markChanged(noteID);
    if (!co_await m_status.attempt(m_notes.save(*note)) || interrupted()) {
      finish();
      co_return;
    }
  }

  std::deque<PendingChunk> queued;
  for (const chunks::ChunkFile& file : listing->chunks) {
    if (const auto index = chunks::indexOf(file.path)) {
      queued.push_back({QString::fromStdString(file.path.string()), *index});
    }
  }
  m_pending = std::move(queued);
  m_status.setStatus(recoveringStatus);
  startWorker(noteID);
  finish();
}

QCoro::Task<void> RecognitionQueue::close() {
  m_closed = true;
  if (m_recoveryTask) {
    const TaskHandle recovery = *m_recoveryTask;
    co_await recovery.waitForEnd();
  }
  if (m_workerTask) {
    const TaskHandle worker = *m_workerTask;
    worker.cancel();
    co_await worker.waitForEnd();
  }
}

}  // namespace sayloom
