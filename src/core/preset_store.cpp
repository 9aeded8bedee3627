#include "core/preset_store.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/posix_file.h"
#include "core/preset_document.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

// Reads the file's first `limit` bytes (all of it when it is shorter). Reading no more than the
// document limit plus one byte is enough to reject an oversized file without holding it in memory.
std::string readAtMost(const std::filesystem::path& path, std::size_t limit) {
  const posix::Descriptor fd = posix::openForReading(path);
  std::string bytes;
  char buffer[64 * 1024];
  while (bytes.size() < limit) {
    const std::size_t count =
        posix::readSome(fd.get(), buffer, std::min(sizeof buffer, limit - bytes.size()), path);
    if (count == 0) {
      break;
    }
    bytes.append(buffer, count);
  }
  return bytes;
}

}  // namespace

PresetStore::PresetStore(const std::filesystem::path& root) : m_url(root / fileName) {}

bool PresetStore::readOnly() const {
  std::lock_guard lock(m_mutex);
  return m_readOnly;
}

PresetStore::LoadResult PresetStore::load() {
  std::lock_guard lock(m_mutex);
  AtomicFile::removeAbandoned(m_url.parent_path());
  std::error_code error;
  if (std::filesystem::status(m_url, error).type() == std::filesystem::file_type::not_found) {
    return {OverlayPreset::builtIns(), std::nullopt, false};
  }
  try {
    PresetDocument document = PresetDocument::read(readAtMost(m_url, PresetDocument::maxBytes + 1));
    return {std::move(document.Presets), std::nullopt, false};
  } catch (const NativeError& failure) {
    if (failure.kind() == NativeError::Kind::futureVersion) {
      // A newer version's file: leave it exactly as it is and never write over it.
      m_readOnly = true;
      return {OverlayPreset::builtIns(), failure.description(), true};
    }
  } catch (const std::exception&) {
    // Unreadable in some other way: keep a copy before the defaults take its place.
  }
  std::filesystem::path backup = m_url;
  backup += ".corrupt-" + uuid::generate();
  try {
    // Synchronised before it counts as kept; nothing is left at `backup` on failure.
    posix::copyToNewFile(m_url, backup, 64 * 1024, "cannot close file", AtomicFile::ReadLimits{}.maxBytes)
        .keep();
    posix::syncFolder(backup.parent_path());  // best effort: the copy itself is complete
  } catch (const std::exception&) {
    m_readOnly = true;
    return {OverlayPreset::builtIns(), messages::presetBackupFailed, true};
  }
  return {OverlayPreset::builtIns(), messages::presetBackupRestored, false};
}

void PresetStore::save(const std::vector<OverlayPreset>& presets) {
  std::lock_guard lock(m_mutex);
  if (m_readOnly) {
    throw NativeError::message(messages::presetSaveLocked);
  }
  // What is written is what a later load will read: the reader enforces every limit and rule.
  const PresetDocument checked = PresetDocument::read(PresetDocument(presets).encode());
  AtomicFile::write(checked.toJson(), m_url);
}

}  // namespace sayloom
