#pragma once
// The local note store: saves a note's "note.json" under root / "Notes" / id and lists every note
// at start. It never deletes or moves anything of a note; a note folder it cannot read is reported
// by name and left as it is. The only files it removes are temporary files its own writes left in a
// readable note's folder and audio folder when the program was killed mid-write (see
// AtomicFile::removeAbandoned): the note's previous file is complete beside them; and the folder of
// a note whose very first save was killed, once it holds nothing else.
//
// Thread contract: every operation may be called from any thread; operations of one store are
// serialised by an internal mutex (a save and a list never interleave). They block on disk I/O,
// so the application calls them off the main thread.
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/native_note.h"

namespace sayloom {

struct NoteListing {
  std::vector<NativeNote> notes;      // newest first; equal times keep the folder listing order
  std::vector<std::string> warnings;  // one per unreadable entry, in listing order
};

class LocalNoteStore {
public:
  explicit LocalNoteStore(std::filesystem::path root);

  const std::filesystem::path& root() const noexcept { return m_root; }

  // Throws NativeError(messages::invalidNoteId) before touching the disk when the id is not a
  // UUID; otherwise AtomicFile's errors. The previous note.json survives every failure, and a failed
  // first save leaves no folder behind.
  void save(const NativeNote& note);

  // Throws the file system's error only when "Notes" exists but cannot be listed. Removes the
  // abandoned temporary files of every note it lists, and a folder left with nothing but the
  // temporary file of a killed first save (without a warning: no note was ever there).
  NoteListing list();

  // The note of folder `id`, read by the same rules as `list`: nothing when `id` is not a UUID or
  // has no folder; throws NativeError(unreadableNotePrefix + id) when the folder holds no readable
  // note of that id.
  std::optional<NativeNote> load(const std::string& id);

private:
  std::filesystem::path m_root;
  std::mutex m_mutex;
};

}  // namespace sayloom
