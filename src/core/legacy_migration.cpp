#include "core/legacy_migration.h"

#include <exception>
#include <nlohmann/json.hpp>
#include <system_error>

#include "core/atomic_file.h"
#include "core/data_paths.h"

namespace sayloom {

namespace {

constexpr const char* markerName = "migration-v1.json";
constexpr const char* snapshotName = "Preferences.snapshot.json";
constexpr const char* bundleID = "kr.tovik.sayloom";
constexpr const char* migrationNotes =
    "Legacy notes remain in Firestore. Reconnect using browser pairing. Chromium credentials are not "
    "imported.";

bool pathExists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

std::filesystem::path legacyFolder() { return DataPaths::applicationSupport() / "Sayloom"; }

std::optional<std::string> migrateLegacySnapshot(const std::filesystem::path& dataRoot,
                                                 const std::filesystem::path& legacyFolder) {
  const std::filesystem::path marker = dataRoot / markerName;
  if (pathExists(marker)) {
    return std::nullopt;
  }
  nlohmann::json object = {{"legacyPath", legacyFolder.string()},
                           {"legacyBundleID", bundleID},
                           {"nativeBundleID", bundleID},
                           {"notes", migrationNotes}};
  try {
    const std::filesystem::path preferences = legacyFolder / "Preferences";
    if (pathExists(preferences)) {
      const std::filesystem::path folder = dataRoot / "Migration";
      DataPaths::createFolders(folder);
      const std::filesystem::path snapshot = folder / snapshotName;
      if (!pathExists(snapshot)) {
        // Through a temporary file and a rename, so that an interrupted copy never stands as a
        // finished snapshot that later starts would keep.
        AtomicFile::writeBytes(AtomicFile::readBytes(preferences), snapshot);
      }
      object["preferencesSnapshot"] = snapshotName;
    }
    AtomicFile::write(object, marker);
  } catch (const std::exception&) {
    return messages::legacySnapshotFailed;
  }
  return std::nullopt;
}

}  // namespace sayloom
