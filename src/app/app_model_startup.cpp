// The application model's start-up, note-list refresh and orderly shutdown.
#include <QCoro/QCoroTimer>
#include <chrono>
#include <filesystem>

#include "app/app_model.h"
#include "app/error_text.h"
#include "core/data_paths.h"
#include "core/legacy_migration.h"

namespace sayloom {

QCoro::Task<void> AppModel::runLoad() { co_await load(); }

QCoro::Task<void> AppModel::waitUntilLoaded() const { return m_loadTask.waitForEnd(); }

QCoro::Task<void> AppModel::load() {
  // The overlay presets and their window layouts come first; a preset store failure ends the
  // start-up there.
  if (!co_await loadPresets()) {
    co_return;
  }

  co_await reloadNotes();

  const std::filesystem::path model = DataPaths::modelFile(dataRoot());
  try {
    auto check = [model] { return std::filesystem::exists(model); };
    const bool present = co_await runInBackground(std::move(check));
    setModelReady(present);
  } catch (...) {
    setModelReady(false);
  }

  // The stored account and its workspaces, the overlay shortcut and the caption windows join
  // here, in that order, as those services become part of the model.

  refreshOverlays();
  co_await migrateLegacySnapshot();
}

QCoro::Task<void> AppModel::migrateLegacySnapshot() {
  const std::filesystem::path root = dataRoot();
  std::optional<std::string> failure;
  try {
    auto migrate = [root] { return ::sayloom::migrateLegacySnapshot(root, legacyFolder()); };
    failure = co_await runInBackground(std::move(migrate));
  } catch (...) {
    setWarningText(currentExceptionText());
    co_return;
  }
  if (failure) {
    setWarningText(QString::fromStdString(*failure));
  }
}

QCoro::Task<void> AppModel::reloadNotes() {
  LocalNoteStore* store = &m_store;
  try {
    auto list = [store] { return store->list(); };
    NoteListing listing = co_await m_storeWorker.run(std::move(list));
    setNotes(std::move(listing.notes));
    if (!listing.warnings.empty()) {
      setWarningText(QString::fromStdString(listing.warnings.front()));
    }
    if (!m_selectedNoteID) {
      setSelectedNoteID(m_notes.empty() ? std::nullopt
                                        : std::optional<QString>(QString::fromStdString(m_notes.front().id)));
    }
  } catch (...) {
    setWarningText(currentExceptionText());
  }
}

QCoro::Task<void> AppModel::shutdown() {
  cancelScheduledSave();
  if (m_downloadTask) {
    m_downloadTask->cancel();
  }

  // A start, stop or audio export in progress is let finish first: a recording that is still
  // starting would otherwise keep running past the end, and an export would leave its
  // temporary file behind.
  while (m_working) {
    co_await QCoro::sleepFor(std::chrono::milliseconds(20));
  }
  co_await stopRecording();

  if (m_recognitionTask) {
    const TaskHandle worker = *m_recognitionTask;
    worker.cancel();
    co_await worker.waitForEnd();
  }

  co_await saveSettingsAtShutdown();
}

}  // namespace sayloom
