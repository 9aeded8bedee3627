#pragma once
// The recording session: what the next recording will be (title, language, source, display,
// live translation), starting and stopping it, the capture's progress and chunks while it runs,
// and the sleep rule (the machine going to sleep stops and saves the recording first). It holds
// the note's recording lock (core/recording_lock.h) from before the note is first saved until the
// recording has stopped and the recognition queue has finished writing the note, so that other
// programs (sayloom-cli) leave the note alone meanwhile, and the data folder's recorder lock while
// it records, so that no other program records into the same data folder at once.
//
// Thread contract: main thread only. The capture calls back on its own worker thread; every
// callback is posted to the main thread, and dropped there when the session is gone or a newer
// recording runs.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/display.h"
#include "core/recording_lock.h"

namespace sayloom {

namespace platform {
class DisplayList;
class SleepWatcher;
}  // namespace platform

class AppStatus;
class AudioCapture;
class CloudAccess;
class ModelInstaller;
class NoteLibrary;
class RecognitionQueue;

// Makes the capture of one recording.
using CaptureFactory = std::function<std::unique_ptr<AudioCapture>()>;

class RecordingSession : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
  Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
  Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
  Q_PROPERTY(QString translationLanguage READ translationLanguage WRITE setTranslationLanguage NOTIFY
                 translationLanguageChanged)
  Q_PROPERTY(bool liveTranslation READ liveTranslation WRITE setLiveTranslation NOTIFY liveTranslationChanged)
  Q_PROPERTY(bool recording READ recording NOTIFY recordingChanged)
  Q_PROPERTY(float level READ level NOTIFY levelChanged)
  Q_PROPERTY(double elapsed READ elapsed NOTIFY elapsedChanged)
  Q_PROPERTY(std::vector<sayloom::Display> displays READ displays NOTIFY displaysChanged)
  Q_PROPERTY(quint32 displayID READ displayID WRITE setDisplayID NOTIFY displayIDChanged)

public:
  // The parts it works with. Every reference, and the sleep watcher and display list (either may
  // be null: the platform does not offer it), must outlive the session.
  struct Parts {
    NoteLibrary& notes;
    RecognitionQueue& recognition;
    const ModelInstaller& model;
    CloudAccess& cloud;
    AppStatus& status;
  };

  RecordingSession(Parts parts, CaptureFactory makeCapture, platform::SleepWatcher* sleepWatcher,
                   platform::DisplayList* displayList, QObject* parent = nullptr);
  ~RecordingSession() override;

  const QString& title() const { return m_title; }
  void setTitle(const QString& title);
  const QString& language() const { return m_language; }
  void setLanguage(const QString& language);
  // "microphone" or "system".
  const QString& source() const { return m_source; }
  void setSource(const QString& source);
  const QString& translationLanguage() const { return m_translationLanguage; }
  void setTranslationLanguage(const QString& language);
  bool liveTranslation() const { return m_liveTranslation; }
  void setLiveTranslation(bool on);

  bool recording() const { return m_recording; }
  // Peak level of the last block (0...1) and seconds recorded, while recording.
  float level() const { return m_level; }
  double elapsed() const { return m_elapsed; }
  // The note being recorded, if any.
  const std::optional<QString>& activeNoteID() const { return m_activeNoteID; }
  // Whether this session holds note `id`'s lock (recording it, or until its last chunks are
  // recognised).
  bool holdsNoteLock(const QString& id) const {
    const std::string key = id.toStdString();
    return (m_lock.held() && m_lock.noteId() == key) ||
           (m_trailingLock.held() && m_trailingLock.noteId() == key);
  }

  const std::vector<Display>& displays() const { return m_displays; }
  quint32 displayID() const { return m_displayID; }
  void setDisplayID(quint32 id);
  // Lists the displays and selects the first one; warns when system audio is out of reach.
  QCoro::Task<void> loadDisplays();

  // Starts a recording into a new note; does nothing while a recording, a start or stop, or
  // recognition runs. Failures become the warning and leave no recording running.
  QCoro::Task<void> start();
  // Stops the capture (which reports its last chunk), marks the note completed with its stored
  // duration and saves it.
  QCoro::Task<void> stop();

signals:
  void titleChanged();
  void languageChanged();
  void sourceChanged();
  void translationLanguageChanged();
  void liveTranslationChanged();
  void recordingChanged();
  void levelChanged();
  void elapsedChanged();
  void displaysChanged();
  void displayIDChanged();
  // A recording began, or ended with its note saved (`noteID`).
  void started(const QString& noteID);
  void stopped(const QString& noteID);

private:
  void setRecording(bool on);
  void setLevel(float level);
  void setElapsed(double seconds);
  void captureProgress(const QString& noteID, double seconds, float level);
  QCoro::Task<void> stopAfter(QString warning);
  void connectCapture(const QString& noteID);
  void releaseLocks();

  Parts m_parts;
  CaptureFactory m_makeCapture;
  platform::SleepWatcher* m_sleepWatcher;
  platform::DisplayList* m_displayList;

  QString m_title;
  QString m_language = QStringLiteral("ko");
  QString m_source = QStringLiteral("microphone");
  QString m_translationLanguage = QStringLiteral("en");
  bool m_liveTranslation = false;
  bool m_recording = false;
  float m_level = 0;
  double m_elapsed = 0;
  std::vector<Display> m_displays;
  quint32 m_displayID = 0;

  std::optional<QString> m_activeNoteID;
  std::unique_ptr<AudioCapture> m_capture;
  RecordingLock m_recorderLock;  // the data folder's, while recording
  RecordingLock m_lock;          // of the note being recorded
  RecordingLock m_trailingLock;  // of the note just stopped, until its last chunks are recognised
};

}  // namespace sayloom
