#pragma once
// The preset file and the preset export format: a version number and 1 to 64 presets, at most
// 1 MiB. Versions 1 and 2 are read (1 is upgraded); anything else is a newer, unknown format.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "core/overlay_preset.h"

namespace sayloom {

struct PresetDocument {
  static constexpr std::int64_t currentVersion = 2;
  static constexpr std::size_t maxBytes = std::size_t{1024} * 1024;
  static constexpr std::size_t minPresets = 1;
  static constexpr std::size_t maxPresets = 64;

  std::int64_t Version = currentVersion;
  std::vector<OverlayPreset> Presets;

  PresetDocument() = default;
  // The current version holding `presets` as they are.
  explicit PresetDocument(std::vector<OverlayPreset> presets) : Presets(std::move(presets)) {}

  bool operator==(const PresetDocument&) const = default;

  // Reads a document. Throws NativeError::message for more than 1 MiB (checked before parsing) or a
  // preset count outside 1–64, NativeError::futureVersion for a version other than 1 and 2, and the
  // JSON layer's own error for text that does not parse or a value of the wrong type. The result is
  // of the current version; every preset is normalised and their Ids are unique (a repeated Id is
  // replaced by a new one, the first holder keeps it).
  static PresetDocument read(std::string_view bytes);

  // All 28 keys of every preset and both keys of every stop.
  nlohmann::json toJson() const;
  // The bytes the atomic JSON writer stores for this document (pretty-printed, keys sorted).
  std::string encode() const;
};

namespace messages {
inline constexpr const char* presetFileTooLarge = "프리셋 파일은 1 MiB 이하여야 합니다.";
inline constexpr const char* presetCountOutOfRange = "프리셋은 1–64개까지 보관할 수 있습니다.";
}  // namespace messages

}  // namespace sayloom
