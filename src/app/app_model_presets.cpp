// The application model's overlay presets: loading them with their window layouts, field edits in
// undoable groups, new, duplicate and delete, undo and redo, import and export, the debounced
// settings save, the recording of window frames and the refresh of the caption windows.
#include <QStringLiteral>
#include <algorithm>
#include <filesystem>

#include "app/app_model.h"
#include "app/error_text.h"
#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/preset_document.h"
#include "platform/open_dialog.h"

namespace sayloom {

namespace {

constexpr std::size_t maxUndoSnapshots = 50;

const char* const tooManyImported = "프리셋은 최대 64개입니다.";
const char* const importedStatus = "프리셋을 가져왔습니다. 미리보기를 확인한 뒤 표시를 켜세요.";
const char* const emptyCaption = "녹음을 시작하면 자막이 여기에 표시됩니다.";

std::filesystem::path pathOf(const QString& path) { return std::filesystem::path(path.toStdString()); }

}  // namespace

// --- fields -------------------------------------------------------------------------------------

void AppModel::setPresets(std::vector<OverlayPreset> presets) {
  m_presets = std::move(presets);
  emit presetsChanged();
}

void AppModel::setSelectedPresetID(const QString& id) {
  if (m_selectedPresetID != id) {
    m_selectedPresetID = id;
    emit selectedPresetIDChanged();
  }
}

void AppModel::setPresetReadOnly(bool readOnly) {
  if (m_presetReadOnly != readOnly) {
    m_presetReadOnly = readOnly;
    emit presetReadOnlyChanged();
  }
}

OverlayPreset* AppModel::findPreset(const QString& id) {
  const std::string key = id.toStdString();
  auto it =
      std::find_if(m_presets.begin(), m_presets.end(), [&](const OverlayPreset& p) { return p.Id == key; });
  return it == m_presets.end() ? nullptr : &*it;
}

const OverlayPreset& AppModel::selectedPreset() const {
  const std::string key = m_selectedPresetID.toStdString();
  auto it =
      std::find_if(m_presets.begin(), m_presets.end(), [&](const OverlayPreset& p) { return p.Id == key; });
  return it == m_presets.end() ? m_presets.front() : *it;
}

bool AppModel::savePending() const { return m_saveTimer.isActive() || (m_saveTask && !m_saveTask->ended()); }

// --- start-up -----------------------------------------------------------------------------------

QCoro::Task<bool> AppModel::loadPresets() {
  try {
    PresetStore* store = &m_presetStore;
    auto load = [store] { return store->load(); };
    PresetStore::LoadResult loaded = co_await m_presetWorker.run(std::move(load));
    setPresets(std::move(loaded.presets));
    if (loaded.warning) {
      setWarningText(QString::fromStdString(*loaded.warning));
    }
    setPresetReadOnly(loaded.readOnly);
    setSelectedPresetID(QString::fromStdString(m_presets.front().Id));
  } catch (...) {
    setWarningText(currentExceptionText());
    co_return false;
  }

  const std::filesystem::path root = dataRoot();
  auto readLayouts = [root] { return LayoutFile::read(root); };
  m_layouts = co_await m_presetWorker.run(std::move(readLayouts));
  co_return true;
}

// --- edit groups, undo and redo -----------------------------------------------------------------

void AppModel::beginEdit() {
  if (!m_editBaseline) {
    m_editBaseline = m_presets;
  }
  m_redoStack.clear();
}

void AppModel::commitEdit() {
  if (m_editBaseline && *m_editBaseline != m_presets) {
    m_undoStack.push_back(std::move(*m_editBaseline));
    while (m_undoStack.size() > maxUndoSnapshots) {
      m_undoStack.pop_front();
    }
  }
  m_editBaseline.reset();
}

void AppModel::normalizeSelection() {
  if (findPreset(m_selectedPresetID) == nullptr) {
    setSelectedPresetID(QString::fromStdString(m_presets.front().Id));
  }
}

void AppModel::undo() {
  commitEdit();
  if (m_undoStack.empty()) {
    return;
  }
  std::vector<OverlayPreset> snapshot = std::move(m_undoStack.back());
  m_undoStack.pop_back();
  m_redoStack.push_back(m_presets);
  setPresets(std::move(snapshot));
  normalizeSelection();
  scheduleSave();
  refreshOverlays();
}

void AppModel::redo() {
  if (m_redoStack.empty()) {
    return;
  }
  std::vector<OverlayPreset> snapshot = std::move(m_redoStack.back());
  m_redoStack.pop_back();
  m_undoStack.push_back(m_presets);
  while (m_undoStack.size() > maxUndoSnapshots) {
    m_undoStack.pop_front();
  }
  setPresets(std::move(snapshot));
  normalizeSelection();
  scheduleSave();
  refreshOverlays();
}

// --- commands -----------------------------------------------------------------------------------

void AppModel::editSelectedPreset(const std::function<void(OverlayPreset&)>& change) {
  if (m_presetReadOnly) {
    return;
  }
  OverlayPreset* preset = findPreset(m_selectedPresetID);
  if (preset == nullptr) {
    return;
  }
  beginEdit();
  change(*preset);
  preset->normalize();
  emit presetsChanged();
  scheduleSave();
  refreshOverlays();
}

void AppModel::newPreset(bool duplicate) {
  if (m_presets.size() >= PresetDocument::maxPresets || m_presetReadOnly) {
    return;
  }
  beginEdit();
  OverlayPreset preset = duplicate ? selectedPreset().duplicate() : OverlayPreset();
  preset.normalize();
  const QString id = QString::fromStdString(preset.Id);
  std::vector<OverlayPreset> presets = m_presets;
  presets.push_back(std::move(preset));
  setPresets(std::move(presets));
  setSelectedPresetID(id);
  scheduleSave();
  refreshOverlays();
}

void AppModel::deletePreset() {
  if (m_presets.size() < 2 || m_presetReadOnly) {
    return;
  }
  const std::string id = m_selectedPresetID.toStdString();
  std::vector<OverlayPreset> presets = m_presets;
  std::erase_if(presets, [&](const OverlayPreset& p) { return p.Id == id; });
  if (presets.empty()) {
    return;  // the list is never left empty
  }
  beginEdit();
  setPresets(std::move(presets));
  setSelectedPresetID(QString::fromStdString(m_presets.front().Id));
  scheduleSave();
  refreshOverlays();
}

QCoro::Task<void> AppModel::importPresets() {
  if (!m_services.openDialog) {
    co_return;
  }
  const std::optional<QString> chosen = m_services.openDialog->askOpenPath(QStringLiteral("JSON (*.json)"));
  if (!chosen || chosen->isEmpty()) {
    co_return;
  }
  const std::filesystem::path path = pathOf(*chosen);
  std::vector<OverlayPreset> imported;
  try {
    auto read = [path] {
      // The size is asked first so that a huge or endless file is never read.
      if (std::filesystem::file_size(path) > PresetDocument::maxBytes) {
        throw NativeError::message(messages::presetFileTooLarge);
      }
      return PresetDocument::read(AtomicFile::readBytes(path)).Presets;
    };
    imported = co_await runInBackground(std::move(read));
    if (m_presets.size() + imported.size() > PresetDocument::maxPresets) {
      throw NativeError::message(tooManyImported);
    }
  } catch (...) {
    setWarningText(currentExceptionText());
    co_return;
  }

  beginEdit();
  std::vector<OverlayPreset> presets = m_presets;
  for (const auto& preset : imported) {
    OverlayPreset copy = preset.duplicate(preset.Name);
    copy.normalize();
    presets.push_back(std::move(copy));
  }
  const QString first = QString::fromStdString(presets[m_presets.size()].Id);
  setPresets(std::move(presets));
  setSelectedPresetID(first);
  scheduleSave();
  setStatus(QString::fromUtf8(importedStatus));
  refreshOverlays();
}

QCoro::Task<void> AppModel::exportPresets() {
  if (!m_services.saveDialog) {
    co_return;
  }
  const std::optional<QString> chosen = m_services.saveDialog->askSavePath(
      QStringLiteral("Sayloom-presets.json"), QStringLiteral("JSON (*.json)"));
  if (!chosen || chosen->isEmpty()) {
    co_return;
  }
  try {
    auto write = [document = PresetDocument(m_presets).toJson(), path = pathOf(*chosen)] {
      AtomicFile::write(document, path);
    };
    co_await runInBackground(std::move(write));
  } catch (...) {
    setWarningText(currentExceptionText());
  }
}

// --- layouts and caption windows ----------------------------------------------------------------

void AppModel::recordLayout(const QString& presetID, const Rect& frame) {
  std::vector<ScreenInfo> screens;
  std::optional<std::size_t> mainScreen;
  if (m_services.overlays) {
    screens = m_services.overlays->screens();
    mainScreen = m_services.overlays->mainScreen();
  }
  if (sayloom::recordLayout(m_layouts, m_presets, presetID.toStdString(), frame, screens, mainScreen)) {
    emit presetsChanged();
  }
  scheduleSave();
}

void AppModel::refreshOverlays() {
  if (!m_services.overlays) {
    return;
  }
  const NativeNote* note = nullptr;
  if (m_recording && m_activeNoteID) {
    note = findNote(*m_activeNoteID);
  }
  if (note == nullptr) {
    note = selectedNote();
  }
  QString original = QString::fromUtf8(emptyCaption);
  QString translation;
  if (note != nullptr && !note->segments.empty()) {
    original = QString::fromStdString(note->segments.back().text);
    translation = QString::fromStdString(note->segments.back().translation);
  }
  m_services.overlays->update(m_presets, original, translation, m_translationLanguage, m_layouts);
}

// --- saving -------------------------------------------------------------------------------------

void AppModel::scheduleSave() {
  if (!m_saveTimerConnected) {
    m_saveTimer.setSingleShot(true);
    connect(&m_saveTimer, &QTimer::timeout, this, &AppModel::onSaveTimer);
    m_saveTimerConnected = true;
  }
  // Restarting the timer drops the save scheduled before.
  m_saveTimer.start(m_saveDelay);
}

void AppModel::cancelScheduledSave() { m_saveTimer.stop(); }

QCoro::Task<void> AppModel::saveSettingsAtShutdown() {
  if (m_saveTask) {
    const TaskHandle running = *m_saveTask;
    co_await running.waitForEnd();
  }
  try {
    co_await saveSettings();
  } catch (...) {
    setWarningText(currentExceptionText());
  }
}

void AppModel::onSaveTimer() {
  commitEdit();
  TaskHandle handle;
  handle.attach(runScheduledSave());
  m_saveTask = handle;
}

QCoro::Task<void> AppModel::runScheduledSave() {
  try {
    co_await saveSettings();
  } catch (const Cancelled&) {
  } catch (...) {
    setWarningText(currentExceptionText());
  }
}

QCoro::Task<void> AppModel::saveSettings() {
  if (!m_presetReadOnly) {
    PresetStore* store = &m_presetStore;
    auto save = [store, presets = m_presets] { store->save(presets); };
    co_await m_presetWorker.run(std::move(save));
  }
  // The same worker writes the layouts, so each file receives its saves in the order they began.
  auto writeLayouts = [layouts = m_layouts, root = dataRoot()] { LayoutFile::write(layouts, root); };
  co_await m_presetWorker.run(std::move(writeLayouts));
}

}  // namespace sayloom
