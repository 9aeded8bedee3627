// presets export, presets import: the overlay preset file of the data folder and the preset files
// people pass around, by the rules of the application's own import and export.
#include <cstdio>
#include <filesystem>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/preset_document.h"
#include "core/preset_store.h"

namespace sayloom::cli {

namespace {

const char* const tooManyImported = "프리셋은 최대 64개입니다.";
const char* const importedText = "프리셋을 가져왔습니다. 미리보기를 확인한 뒤 표시를 켜세요.";

// The stored presets; a warning of the store (a file it had to back up) goes to standard error.
PresetStore::LoadResult loadPresets(PresetStore& store) {
  PresetStore::LoadResult loaded = store.load();
  if (loaded.warning) {
    std::fprintf(stderr, "%s\n", loaded.warning->c_str());
  }
  return loaded;
}

}  // namespace

QCoro::Task<void> presetsExport(const Invocation& invocation) {
  PresetStore store(dataRoot());
  const PresetStore::LoadResult loaded = loadPresets(store);
  AtomicFile::write(PresetDocument(loaded.presets).toJson(), invocation.operands.at(0));
  co_return;
}

QCoro::Task<void> presetsImport(const Invocation& invocation) {
  const std::filesystem::path file = invocation.operands.at(0);
  // The size is asked first so that a huge or endless file is never read.
  if (std::filesystem::file_size(file) > PresetDocument::maxBytes) {
    throw NativeError::message(::sayloom::messages::presetFileTooLarge);
  }
  const std::vector<OverlayPreset> imported = PresetDocument::read(AtomicFile::readBytes(file)).Presets;

  PresetStore store(dataRoot());
  PresetStore::LoadResult loaded = loadPresets(store);
  if (loaded.readOnly) {
    throw NativeError::message(::sayloom::messages::presetSaveLocked);
  }
  if (loaded.presets.size() + imported.size() > PresetDocument::maxPresets) {
    throw NativeError::message(tooManyImported);
  }
  for (const OverlayPreset& preset : imported) {
    OverlayPreset copy = preset.duplicate(preset.Name);
    copy.normalize();
    loaded.presets.push_back(std::move(copy));
  }
  store.save(loaded.presets);
  printOut(std::string(importedText) + "\n");
  co_return;
}

}  // namespace sayloom::cli
