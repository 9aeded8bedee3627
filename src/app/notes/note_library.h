#pragma once
// The note library: the local notes, newest first, the note selected in the studio, and the one
// way notes are saved and listed (the local note store on its own worker thread).
//
// Signals: `notesChanged` when the set or order of notes may have changed (a new note, a new
// listing); `noteChanged(id)` when one listed note changed in place (a recording's duration ten times
// a second, a recognised chunk, a sync), so views update that note alone. Looking a note up by id
// takes the same time however many notes there are.
//
// Thread contract: main thread only. The store's disk work runs on one private worker thread, one
// call at a time in the order made, and is awaited.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/concurrency/serial_worker.h"
#include "core/local_note_store.h"
#include "core/native_note.h"

namespace sayloom {

class AppStatus;

class NoteLibrary : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::vector<sayloom::NativeNote> notes READ notes NOTIFY notesChanged)
  Q_PROPERTY(std::optional<QString> selectedNoteID READ selectedNoteID WRITE setSelectedNoteID NOTIFY
                 selectedNoteIDChanged)

public:
  NoteLibrary(std::filesystem::path root, AppStatus& status, QObject* parent = nullptr);

  // The data folder the notes live in.
  const std::filesystem::path& root() const { return m_store.root(); }

  const std::vector<NativeNote>& notes() const { return m_notes; }
  const std::optional<QString>& selectedNoteID() const { return m_selectedNoteID; }
  void setSelectedNoteID(const std::optional<QString>& id);
  // The first note whose id is `selectedNoteID`, or null.
  const NativeNote* selectedNote() const;

  // The first listed note with `id`, or null. After changing it in place, call `markChanged(id)`.
  NativeNote* find(const QString& id);
  const NativeNote* find(const QString& id) const;
  // The position of that note in `notes`, or -1.
  int indexOf(const QString& id) const;
  void markChanged(const QString& id) { emit noteChanged(id); }
  // Lists a new note first.
  void addFirst(NativeNote note);

  // Lists the stored notes again; the first unreadable folder becomes the warning, and a note is
  // selected when none is. Never fails.
  QCoro::Task<void> reload();
  // Writes `note` to its folder. Throws the store's error.
  QCoro::Task<void> save(NativeNote note);
  // Reads note `id` again when its file on disk is no longer the one this library last listed or
  // saved (another program, such as sayloom-cli, wrote it). Never fails: an unreadable file leaves
  // the listed note as it is.
  QCoro::Task<void> refresh(QString id);
  // The note with `id` as stored on disk, or none when it is not there or cannot be read.
  // Leaves `notes` alone.
  QCoro::Task<std::optional<NativeNote>> stored(QString id);
  // Seconds of audio in a note's chunk files (their bytes ÷ 32,000); 0 when they cannot be read.
  QCoro::Task<double> audioSeconds(QString noteID) const;

  // Identifies one version of a note's file: every save replaces the file, and every write moves
  // its modification time.
  struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
  };

signals:
  void notesChanged();
  void noteChanged(const QString& id);
  void selectedNoteIDChanged();

private:
  void setNotes(std::vector<NativeNote> notes);

  AppStatus& m_status;
  std::vector<NativeNote> m_notes;
  std::unordered_map<std::string, int> m_positions;  // note id -> first position in m_notes
  std::map<std::string, FileStamp> m_stamps;         // by note id: the file as last listed or saved here
  std::optional<QString> m_selectedNoteID;
  LocalNoteStore m_store;
  SerialWorker m_worker;  // after the store: destroyed first, finishing work that uses it
};

}  // namespace sayloom
