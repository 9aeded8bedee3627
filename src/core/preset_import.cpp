#include "core/preset_import.h"

#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/preset_document.h"

namespace sayloom::preset_import {

std::vector<OverlayPreset> read(const std::filesystem::path& file) {
  if (std::filesystem::file_size(file) > PresetDocument::maxBytes) {
    throw NativeError::message(messages::presetFileTooLarge);
  }
  return PresetDocument::read(AtomicFile::readBytes(file)).Presets;
}

std::vector<OverlayPreset> withCopies(std::vector<OverlayPreset> presets,
                                      const std::vector<OverlayPreset>& imported) {
  if (presets.size() + imported.size() > PresetDocument::maxPresets) {
    throw NativeError::message(messages::tooManyPresetsImported);
  }
  for (const OverlayPreset& preset : imported) {
    OverlayPreset copy = preset.duplicate(preset.Name);
    copy.normalize();
    presets.push_back(std::move(copy));
  }
  return presets;
}

}  // namespace sayloom::preset_import
