#pragma once
// The recognition queue: finished chunk files wait here (at most 64) and one worker hands them to
// the speech engine strictly in order, writes each chunk's transcript file, merges the entries
// into the note and saves it. Recovery queues every stored chunk of a note again.
//
// Thread contract: main thread only. The engine runs as a child process and the file work on
// worker threads; both are awaited, so other main-thread work interleaves only at those waits.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <stop_token>

#include "app/concurrency/task_handle.h"
#include "core/recording_lock.h"

namespace sayloom {

namespace messages {
// The status once the recognition of a recording or a recovery has ended.
inline constexpr const char* transcriptSaved =
    "기기에 저장했습니다. 회의록을 확인하거나 클라우드에 연결할 수 있습니다.";
}  // namespace messages

class AppStatus;
class ModelInstaller;
class NoteLibrary;
class UserSettings;
class WhisperRecognitionService;

// A chunk file waiting for recognition.
struct PendingChunk {
  QString file;
  std::int64_t index = 0;
};

class RecognitionQueue : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool recognizing READ recognizing NOTIFY recognizingChanged)

public:
  // A chunk is not queued when this many are already waiting.
  static constexpr std::size_t backlogLimit = 64;

  // Every reference must outlive the queue.
  RecognitionQueue(NoteLibrary& notes, const ModelInstaller& model, const UserSettings& settings,
                   WhisperRecognitionService& recognizer, AppStatus& status, QObject* parent = nullptr);

  bool recognizing() const { return m_recognizing; }
  // The chunks waiting, oldest first.
  const std::deque<PendingChunk>& pending() const { return m_pending; }

  // How far the running worker is: the chunks it has finished, and those plus the one in the engine
  // and the ones waiting. Both 0 while no worker runs.
  struct Progress {
    std::int64_t done = 0;
    std::int64_t total = 0;
  };
  Progress progress() const;

  // Queues a finished chunk of note `noteID` and starts the worker unless one runs. Without a model
  // nothing is queued (the chunk stays on disk for recovery); a full queue refuses the chunk and
  // says so in `status`.
  void enqueue(const QString& file, std::int64_t index, const QString& noteID);

  // Rebuilds note `noteID`'s transcript from its chunk files: marks it completed with the stored
  // duration, saves it and queues every chunk. `busy` is asked after every wait; while it holds (a
  // recording, start, stop or recognition began meanwhile) nothing more is done. `lock`, the note's
  // lock taken by the caller, is kept until the last chunk is recognised.
  QCoro::Task<void> recover(QString noteID, std::function<bool()> busy, RecordingLock lock);
  // Whether a recovery holds note `id`'s lock.
  bool holdsNoteLock(const QString& id) const {
    return m_recoveryLock.held() && m_recoveryLock.noteId() == id.toStdString();
  }

  // Runs after each chunk's entries were merged into note `noteID` and the note was saved; the
  // worker awaits it before it takes the next chunk.
  using AfterChunk = std::function<QCoro::Task<void>(QString noteID)>;
  void setAfterChunk(AfterChunk afterChunk) { m_afterChunk = std::move(afterChunk); }

  // Shutdown: stops a running worker, waits until it and any recovery have ended, and accepts no
  // further work.
  QCoro::Task<void> close();

signals:
  void recognizingChanged();
  void progressChanged();
  // The worker for note `noteID` ended (the queue is empty, or it stopped at a failure or on
  // cancellation).
  void drained(const QString& noteID);

private:
  void startWorker(const QString& noteID);
  void setRecognizing(bool on);
  QCoro::Task<void> worker(QString noteID, std::stop_token stop);
  QCoro::Task<void> runRecovery(QString noteID, std::function<bool()> busy);

  NoteLibrary& m_notes;
  const ModelInstaller& m_model;
  const UserSettings& m_settings;
  WhisperRecognitionService& m_recognizer;
  AppStatus& m_status;
  AfterChunk m_afterChunk;

  bool m_recognizing = false;
  std::int64_t m_done = 0;  // chunks the running worker has finished
  bool m_inEngine = false;  // the running worker has taken a chunk off the queue and not finished it
  bool m_closed = false;
  std::deque<PendingChunk> m_pending;
  std::optional<TaskHandle> m_workerTask;
  std::optional<TaskHandle> m_recoveryTask;
  RecordingLock m_recoveryLock;  // of the note being recovered
};

}  // namespace sayloom
