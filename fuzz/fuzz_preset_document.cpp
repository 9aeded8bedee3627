// Preset documents come from the user's preset file and from imported files. Any input must either
// fail with an exception or give a document that holds to the format's rules, and writing that
// document must read back as the same document.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>
#include <unordered_set>

#include "core/preset_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using sayloom::PresetDocument;
  PresetDocument document;
  try {
    document = PresetDocument::read(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception&) {
    return 0;
  }
  if (document.Version != 2 || document.Presets.empty() || document.Presets.size() > 64) {
    __builtin_trap();
  }
  std::unordered_set<std::string> ids;
  for (const auto& preset : document.Presets) {
    sayloom::OverlayPreset again = preset;
    again.normalize();
    if (!(again == preset) || !ids.insert(preset.Id).second) {
      __builtin_trap();
    }
  }
  // Normalised text can grow (lower-casing); only a document within the limit must read back.
  const std::string encoded = document.encode();
  if (encoded.size() <= PresetDocument::maxBytes && !(PresetDocument::read(encoded) == document)) {
    __builtin_trap();
  }
  return 0;
}
