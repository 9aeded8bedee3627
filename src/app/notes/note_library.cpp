// The note library: listing, selection and saving of local notes.
#include "app/notes/note_library.h"

#include <sys/stat.h>

#include "app/app_status.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

// The stamp of note `id`'s file, or none when it cannot be looked at.
std::optional<NoteLibrary::FileStamp> stampOf(const std::filesystem::path& root, const std::string& id) {
  struct stat info {};
  const std::filesystem::path file = DataPaths::noteDirectory(id, root) / "note.json";
  if (::stat(file.c_str(), &info) != 0) {
    return std::nullopt;
  }
  return NoteLibrary::FileStamp{
      static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
      static_cast<std::int64_t>(info.st_size),
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

using Stamps = std::map<std::string, NoteLibrary::FileStamp>;

}  // namespace

NoteLibrary::NoteLibrary(std::filesystem::path root, AppStatus& status, QObject* parent)
    : QObject(parent), m_status(status), m_store(std::move(root)) {}

void NoteLibrary::setSelectedNoteID(const std::optional<QString>& id) {
  if (m_selectedNoteID != id) {
    m_selectedNoteID = id;
    emit selectedNoteIDChanged();
  }
}

const NativeNote* NoteLibrary::selectedNote() const {
  return m_selectedNoteID ? find(*m_selectedNoteID) : nullptr;
}

NativeNote* NoteLibrary::find(const QString& id) {
  const int position = indexOf(id);
  return position >= 0 ? &m_notes[static_cast<std::size_t>(position)] : nullptr;
}

int NoteLibrary::indexOf(const QString& id) const {
  const auto found = m_positions.find(id.toStdString());
  return found != m_positions.end() ? found->second : -1;
}

void NoteLibrary::setNotes(std::vector<NativeNote> notes) {
  m_notes = std::move(notes);
  m_positions.clear();
  for (std::size_t i = m_notes.size(); i-- > 0;) {
    m_positions[m_notes[i].id] = static_cast<int>(i);
  }
  emit notesChanged();
}

const NativeNote* NoteLibrary::find(const QString& id) const {
  return const_cast<NoteLibrary*>(this)->find(id);
}

void NoteLibrary::addFirst(NativeNote note) {
  std::vector<NativeNote> notes = std::move(m_notes);
  notes.insert(notes.begin(), std::move(note));
  setNotes(std::move(notes));
}

QCoro::Task<void> NoteLibrary::reload() {
  LocalNoteStore* store = &m_store;
  auto list = [store] {
    std::pair<NoteListing, Stamps> listed{store->list(), {}};
    for (const NativeNote& note : listed.first.notes) {
      if (const auto stamp = stampOf(store->root(), note.id)) {
        listed.second.emplace(note.id, *stamp);
      }
    }
    return listed;
  };
  std::optional<std::pair<NoteListing, Stamps>> listed =
      co_await m_status.attempt(m_worker.run(std::move(list)));
  if (!listed) {
    co_return;
  }
  NoteListing* listing = &listed->first;
  m_stamps = std::move(listed->second);
  setNotes(std::move(listing->notes));
  if (!listing->warnings.empty()) {
    m_status.warn(QString::fromStdString(listing->warnings.front()));
  }
  if (!m_selectedNoteID && !m_notes.empty()) {
    setSelectedNoteID(QString::fromStdString(m_notes.front().id));
  }
}

QCoro::Task<void> NoteLibrary::save(NativeNote note) {
  LocalNoteStore* store = &m_store;
  const std::string id = note.id;
  auto write = [store, note = std::move(note)] {
    store->save(note);
    return stampOf(store->root(), note.id);
  };
  if (const std::optional<FileStamp> stamp = co_await m_worker.run(std::move(write))) {
    m_stamps[id] = *stamp;
  }
}

QCoro::Task<void> NoteLibrary::refresh(QString id) {
  const std::string key = id.toStdString();
  const auto known = m_stamps.find(key);
  const std::optional<FileStamp> last = known == m_stamps.end() ? std::nullopt : std::optional(known->second);
  // One look at the file on this thread: the usual answer (unchanged) then costs no wait, and a
  // command that asks goes on at once.
  if (!uuid::isValid(key) || stampOf(root(), key) == last) {
    co_return;
  }
  LocalNoteStore* store = &m_store;
  // The stamp is taken before the file is read: a write in between makes the next look read again.
  auto reread = [store, key, last]() -> std::optional<std::pair<NativeNote, FileStamp>> {
    const std::optional<FileStamp> now = stampOf(store->root(), key);
    if (!now || now == last) {
      return std::nullopt;
    }
    std::optional<NativeNote> note = store->load(key);
    if (!note) {
      return std::nullopt;
    }
    return std::pair{std::move(*note), *now};
  };
  std::optional<std::pair<NativeNote, FileStamp>> changed;
  try {
    changed = co_await m_worker.run(std::move(reread));
  } catch (...) {
    co_return;
  }
  NativeNote* listed = changed ? find(id) : nullptr;
  if (listed == nullptr) {
    co_return;
  }
  *listed = std::move(changed->first);
  m_stamps[key] = changed->second;
  markChanged(id);
}

QCoro::Task<std::optional<NativeNote>> NoteLibrary::stored(QString id) {
  LocalNoteStore* store = &m_store;
  auto load = [store, id = id.toStdString()] { return store->load(id); };
  try {
    co_return co_await m_worker.run(std::move(load));
  } catch (...) {
    co_return std::nullopt;
  }
}

QCoro::Task<double> NoteLibrary::audioSeconds(QString noteID) const {
  auto measure = [id = noteID.toStdString(), root = root()] {
    const auto files = chunks::list(DataPaths::audioDirectory(id, root));
    return chunks::seconds(chunks::totalBytes(files));
  };
  try {
    co_return co_await runInBackground(std::move(measure));
  } catch (...) {
    co_return 0.0;
  }
}

}  // namespace sayloom
