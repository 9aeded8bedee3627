#pragma once
// The user's overlay presets in "overlay-presets.json" in the data directory. A file written by a
// newer version is never touched and locks saving; a file that cannot be read is copied aside
// ("overlay-presets.json.corrupt-UUID") before the built-in presets replace it, and when that copy
// fails saving is locked too. The lock lasts for the life of the store.
//
// Thread contract: any thread. Operations block on file I/O and run one at a time (an internal
// mutex), so a load and a save never overlap; callers on a UI thread run them on a worker.
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/overlay_preset.h"

namespace sayloom {

class PresetStore {
public:
  static constexpr const char* fileName = "overlay-presets.json";

  struct LoadResult {
    std::vector<OverlayPreset> presets;  // never empty
    std::optional<std::string> warning;  // user-facing text when something went wrong
    bool readOnly = false;
  };

  // A store of the file in the data directory `root`; touches no file.
  explicit PresetStore(const std::filesystem::path& root);

  const std::filesystem::path& url() const { return m_url; }
  bool readOnly() const;

  // Never throws for file problems: the outcome is in the result. First removes the temporary files
  // that writes into the data directory left when the program was killed mid-write (see
  // AtomicFile::removeAbandoned); the files they were to replace are complete beside them.
  LoadResult load();

  // Writes `presets` as a current-version document: first read back through the document reader,
  // so the file receives the normalised presets with unique Ids, and a list or encoding outside the
  // limits throws its NativeError without writing. Throws NativeError while locked, and the file
  // system's error when the file cannot be written.
  void save(const std::vector<OverlayPreset>& presets);

private:
  std::filesystem::path m_url;
  mutable std::mutex m_mutex;
  bool m_readOnly = false;
};

namespace messages {
inline constexpr const char* presetBackupRestored = "읽지 못한 프리셋 파일을 백업하고 기본값을 복구했습니다.";
inline constexpr const char* presetBackupFailed = "설정 백업에 실패해 저장을 잠갔습니다.";
inline constexpr const char* presetSaveLocked = "원본 보호를 위해 프리셋 저장이 잠겨 있습니다.";
}  // namespace messages

}  // namespace sayloom
