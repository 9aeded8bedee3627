// The note library: listing, selection and saving of local notes.
#include "app/notes/note_library.h"

#include "app/app_status.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"

namespace sayloom {

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

const NativeNote* NoteLibrary::find(const QString& id) const { return const_cast<NoteLibrary*>(this)->find(id); }

void NoteLibrary::addFirst(NativeNote note) {
  std::vector<NativeNote> notes = std::move(m_notes);
  notes.insert(notes.begin(), std::move(note));
  setNotes(std::move(notes));
}

QCoro::Task<void> NoteLibrary::reload() {
  LocalNoteStore* store = &m_store;
  auto list = [store] { return store->list(); };
  std::optional<NoteListing> listing = co_await m_status.attempt(m_worker.run(std::move(list)));
  if (!listing) {
    co_return;
  }
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
  auto write = [store, note = std::move(note)] { store->save(note); };
  co_await m_worker.run(std::move(write));
}

QCoro::Task<std::optional<NativeNote>> NoteLibrary::stored(QString id) {
  LocalNoteStore* store = &m_store;
  auto find = [store, id = id.toStdString()]() -> std::optional<NativeNote> {
    for (NativeNote& note : store->list().notes) {
      if (note.id == id) {
        return std::move(note);
      }
    }
    return std::nullopt;
  };
  try {
    co_return co_await m_worker.run(std::move(find));
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
