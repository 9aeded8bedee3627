#pragma once
// The one-time takeover of the earlier application's data: records where its folder is, keeps a
// byte-for-byte copy of its settings file and writes the marker "migration-v1.json" so this never
// runs again. The legacy folder is only read, never changed. Synchronous and blocking (file copy,
// fsync): callers run it off the main thread. Stateless; any thread.
#include <filesystem>
#include <optional>
#include <string>

namespace sayloom {

namespace messages {
inline constexpr const char* legacySnapshotFailed =
    "기존 앱 설정 snapshot을 만들지 못했습니다. 원본은 보존되어 있으며 다음 실행에서 다시 시도합니다.";
}  // namespace messages

// The earlier application's folder: DataPaths::applicationSupport() / "Sayloom".
std::filesystem::path legacyFolder();

// Does nothing when dataRoot / "migration-v1.json" exists. Otherwise copies legacyFolder /
// "Preferences" (when present) to dataRoot / "Migration/Preferences.snapshot.json" unless that copy
// already exists, then writes the marker. Returns the warning text when the copy or the marker
// could not be made (the next start tries again; a finished copy is kept); never throws.
std::optional<std::string> migrateLegacySnapshot(const std::filesystem::path& dataRoot,
                                                 const std::filesystem::path& legacyFolder);

}  // namespace sayloom
