#pragma once
// Importing a preset file someone chose: the size check made before the file is read, and the
// copies the import adds to the user's presets. Stateless; any thread (reading blocks on the disk).
#include <filesystem>
#include <vector>

#include "core/overlay_preset.h"

namespace sayloom {

namespace messages {
inline constexpr const char* tooManyPresetsImported = "프리셋은 최대 64개입니다.";
inline constexpr const char* presetsImported = "프리셋을 가져왔습니다. 미리보기를 확인한 뒤 표시를 켜세요.";
}  // namespace messages

namespace preset_import {

// The presets of `file`. Its size is asked first, so that a huge or endless file is never read:
// more than 1 MiB fails with NativeError(presetFileTooLarge). Then PresetDocument::read's rules and
// errors apply; file system errors pass on.
std::vector<OverlayPreset> read(const std::filesystem::path& file);

// `presets` followed by a copy of each of `imported`, in order: its name and every setting, a new
// Id, kind "Custom", disabled and not built in. Throws NativeError(tooManyPresetsImported) when
// that would make more than 64 presets.
std::vector<OverlayPreset> withCopies(std::vector<OverlayPreset> presets,
                                      const std::vector<OverlayPreset>& imported);

}  // namespace preset_import

}  // namespace sayloom
