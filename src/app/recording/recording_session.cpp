// The recording session: start, stop, capture callbacks, displays and the sleep rule.
#include "app/recording/recording_session.h"

#include <QPointer>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

#include "app/app_status.h"
#include "app/cloud/cloud_access.h"
#include "app/concurrency/main_thread.h"
#include "app/concurrency/serial_worker.h"
#include "app/notes/note_library.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/audio_capture.h"
#include "app/speech_model/model_installer.h"
#include "core/data_paths.h"
#include "core/native_error.h"
#include "platform/display_list.h"
#include "platform/sleep_watcher.h"

namespace sayloom {

namespace {

const QString recordingStatus = QStringLiteral("기기에서 녹음·인식 중");
const QString recordingWithoutModelStatus =
    QStringLiteral("원본 오디오 녹음 중 · 모델을 준비한 뒤 대본 복구 가능");
const QString stoppedWhileRecognizingStatus = QStringLiteral("녹음 저장 완료 · 남은 대본 처리 중");
const QString stoppedStatus = QStringLiteral("녹음을 기기에 저장했습니다");
const QString liveTranslationWarning = QStringLiteral("실시간 번역에는 모델·계정·워크스페이스가 필요합니다.");
const char* const chooseDisplayMessage = "시스템 오디오를 녹음할 화면을 먼저 선택해 주세요.";
const QString sleepWarning =
    QStringLiteral("컴퓨터가 잠자기에 들어가 녹음을 저장합니다. 깨어난 뒤 새 녹음을 시작해 주세요.");
const QString systemAudioPermissionWarning = QStringLiteral(
    "시스템 오디오 권한이 필요합니다. 시스템 설정에서 화면 및 시스템 오디오 녹음을 허용하고 다시 시도해 "
    "주세요.");

// Posts `work` to the main thread; it runs only while `target` still exists.
template <typename Target, typename Work>
void onMainThread(const QPointer<Target>& target, Work work) {
  postToMainThread([target, work = std::move(work)]() mutable {
    if (target) {
      work(*target);
    }
  });
}

template <typename T>
bool assign(T& field, const T& value) {
  if (field == value) {
    return false;
  }
  field = value;
  return true;
}

}  // namespace

RecordingSession::RecordingSession(Parts parts, CaptureFactory makeCapture,
                                   platform::SleepWatcher* sleepWatcher, platform::DisplayList* displayList,
                                   QObject* parent)
    : QObject(parent),
      m_parts(parts),
      m_makeCapture(std::move(makeCapture)),
      m_sleepWatcher(sleepWatcher),
      m_displayList(displayList),
      m_title(QString::fromUtf8(defaultNoteTitle)) {
  connect(&m_parts.recognition, &RecognitionQueue::recognizingChanged, this, [this] {
    if (!m_parts.recognition.recognizing()) {
      m_trailingLock.release();
    }
  });
  if (m_sleepWatcher) {
    // The connection ends with the session, so a late notification never reaches a destroyed one.
    connect(m_sleepWatcher, &platform::SleepWatcher::prepareForSleep, this, [this] {
      if (m_recording) {
        stopAfter(sleepWarning);
      }
    });
  }
}

RecordingSession::~RecordingSession() = default;

void RecordingSession::setTitle(const QString& title) {
  if (assign(m_title, title)) {
    emit titleChanged();
  }
}

void RecordingSession::setLanguage(const QString& language) {
  if (assign(m_language, language)) {
    emit languageChanged();
  }
}

void RecordingSession::setSource(const QString& source) {
  if (assign(m_source, source)) {
    emit sourceChanged();
  }
}

void RecordingSession::setTranslationLanguage(const QString& language) {
  if (assign(m_translationLanguage, language)) {
    emit translationLanguageChanged();
  }
}

void RecordingSession::setLiveTranslation(bool on) {
  if (assign(m_liveTranslation, on)) {
    emit liveTranslationChanged();
  }
}

void RecordingSession::setRecording(bool on) {
  if (assign(m_recording, on)) {
    emit recordingChanged();
  }
}

void RecordingSession::setLevel(float level) {
  if (assign(m_level, level)) {
    emit levelChanged();
  }
}

void RecordingSession::setElapsed(double seconds) {
  if (assign(m_elapsed, seconds)) {
    emit elapsedChanged();
  }
}

void RecordingSession::setDisplayID(quint32 id) {
  if (assign(m_displayID, id)) {
    emit displayIDChanged();
  }
}

QCoro::Task<void> RecordingSession::loadDisplays() {
  platform::DisplayList* list = m_displayList;
  if (list == nullptr) {
    co_return;
  }
  try {
    auto check = [list] { list->checkSystemAudio(); };
    co_await runInBackground(std::move(check));
  } catch (...) {
    m_parts.status.warn(systemAudioPermissionWarning);
    co_return;
  }
  m_displays = list->screens();
  emit displaysChanged();
  setDisplayID(m_displays.empty() ? 0 : m_displays.front().identifier);
}

QCoro::Task<void> RecordingSession::start() {
  AppStatus& status = m_parts.status;
  if (m_recording || status.working() || m_parts.recognition.recognizing()) {
    co_return;
  }
  const AppStatus::WorkScope work(status);

  NativeNote note;
  if (!m_title.trimmed().isEmpty()) {
    note.title = m_title.toStdString();
  }
  note.language = m_language.toStdString();
  note.source = m_source.toStdString();
  if (m_liveTranslation &&
      !m_parts.cloud.bindLiveNote(note, m_translationLanguage, m_parts.model.modelReady())) {
    status.warn(liveTranslationWarning);
    co_return;
  }

  // The data folder's recorder lock keeps a second recording (another instance of the app, or
  // sayloom-cli) out; the note's lock is taken before the note exists on disk, so no other program
  // can begin to write it first.
  try {
    // Shared because a result handed back from a worker thread must be copyable.
    auto take = [root = m_parts.notes.root(), id = note.id] {
      auto locks = std::make_shared<std::pair<RecordingLock, RecordingLock>>();
      locks->first = RecordingLock::acquireRecorder(root);
      locks->second = RecordingLock::acquire(root, id);
      return locks;
    };
    const auto taken = co_await runInBackground(std::move(take));
    m_recorderLock = std::move(taken->first);
    m_lock = std::move(taken->second);
  } catch (...) {
    status.warnCurrentException();
    co_return;
  }
  if (!co_await status.attempt(m_parts.notes.save(note))) {
    releaseLocks();
    co_return;
  }
  const QString noteID = QString::fromStdString(note.id);
  const std::filesystem::path audioFolder = DataPaths::audioDirectory(note.id, m_parts.notes.root());
  m_parts.notes.addFirst(std::move(note));
  m_parts.notes.setSelectedNoteID(noteID);
  m_activeNoteID = noteID;
  m_capture = m_makeCapture();
  setElapsed(0);
  connectCapture(noteID);

  bool running = false;
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
    running = true;
  } catch (...) {
    status.warnCurrentException();
  }
  if (!running) {
    co_await m_capture->stop();
    m_capture.reset();
    m_activeNoteID.reset();
    releaseLocks();
    co_return;
  }

  setRecording(true);
  status.setStatus(m_parts.model.modelReady() ? recordingStatus : recordingWithoutModelStatus);
  if (m_sleepWatcher) {
    m_sleepWatcher->holdDelay();
  }
  emit started(noteID);
}

void RecordingSession::releaseLocks() {
  m_lock.release();
  m_recorderLock.release();
}

void RecordingSession::connectCapture(const QString& noteID) {
  const QPointer<RecordingSession> self(this);
  m_capture->onProgress = [self, noteID](double seconds, float level) {
    onMainThread(self, [noteID, seconds, level](RecordingSession& session) {
      session.captureProgress(noteID, seconds, level);
    });
  };
  m_capture->onChunk = [self, noteID](const std::filesystem::path& file, std::int64_t index) {
    onMainThread(self,
                 [noteID, file = QString::fromStdString(file.string()), index](RecordingSession& session) {
                   session.m_parts.recognition.enqueue(file, index, noteID);
                 });
  };
  m_capture->onError = [self](const std::string& message) {
    onMainThread(self, [message = QString::fromStdString(message)](RecordingSession& session) {
      session.stopAfter(message);
    });
  };
}

void RecordingSession::captureProgress(const QString& noteID, double seconds, float level) {
  if (m_activeNoteID != noteID) {
    return;
  }
  NativeNote* note = m_parts.notes.find(noteID);
  if (note == nullptr) {
    return;
  }
  setElapsed(seconds);
  setLevel(level);
  note->durationSeconds = seconds;
  m_parts.notes.markChanged(noteID);
}

QCoro::Task<void> RecordingSession::stopAfter(QString warning) {
  m_parts.status.warn(warning);
  co_await stop();
}

QCoro::Task<void> RecordingSession::stop() {
  if (!m_recording) {
    co_return;
  }
  AppStatus& status = m_parts.status;
  setRecording(false);
  const AppStatus::WorkScope work(status);

  if (m_capture) {
    // The capture reports its last, shorter chunk before this returns; its queueing arrives as
    // its own main-thread call.
    co_await m_capture->stop();
    m_capture.reset();
  }

  std::optional<QString> noteID = std::exchange(m_activeNoteID, std::nullopt);
  if (noteID && m_parts.notes.find(*noteID)) {
    const double seconds = co_await m_parts.notes.audioSeconds(*noteID);
    if (NativeNote* note = m_parts.notes.find(*noteID)) {
      note->completed = true;
      note->durationSeconds = seconds;
      m_parts.notes.markChanged(*noteID);
      co_await status.attempt(m_parts.notes.save(*note));
    }
  }

  // The recognition queue goes on writing the note while it works through the last chunks.
  m_recorderLock.release();
  m_trailingLock = std::move(m_lock);
  if (!m_parts.recognition.recognizing()) {
    m_trailingLock.release();
  }

  setLevel(0);
  status.setStatus(m_parts.recognition.recognizing() ? stoppedWhileRecognizingStatus : stoppedStatus);
  if (m_sleepWatcher) {
    m_sleepWatcher->releaseDelay();
  }
  if (noteID) {
    emit stopped(*noteID);
  }
}

}  // namespace sayloom
