// presets export, presets import: the overlay preset file of the data folder and the preset files
// people pass around, by the rules of the application's own import and export.
#include <cstdio>
#include <filesystem>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/preset_document.h"
#include "core/preset_import.h"
#include "core/preset_store.h"

namespace sayloom::cli {

namespace {

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
  const std::vector<OverlayPreset> imported = preset_import::read(invocation.operands.at(0));

  PresetStore store(dataRoot());
  PresetStore::LoadResult loaded = loadPresets(store);
  if (loaded.readOnly) {
    throw NativeError::message(messages::presetSaveLocked);
  }
  store.save(preset_import::withCopies(std::move(loaded.presets), imported));
  printOut(std::string(messages::presetsImported) + "\n");
  co_return;
}

}  // namespace sayloom::cli
