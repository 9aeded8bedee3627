// The preset editor: loading, edit groups with undo and redo, the preset commands, import and
// export, recorded window frames and the debounced save.
#include "app/presets/preset_editor.h"

#include <algorithm>

#include "app/app_status.h"
#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/preset_document.h"
#include "core/preset_import.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"

namespace sayloom {

namespace {

constexpr std::size_t maxUndoSnapshots = 50;
constexpr std::size_t minGradientStops = 2;
constexpr std::size_t maxGradientStops = 8;

std::filesystem::path pathOf(const QString& path) { return std::filesystem::path(path.toStdString()); }

}  // namespace

PresetEditor::PresetEditor(std::filesystem::path root, AppStatus& status, platform::OpenDialog* openDialog,
                           platform::SaveDialog* saveDialog, QObject* parent)
    : QObject(parent),
      m_root(std::move(root)),
      m_status(status),
      m_openDialog(openDialog),
      m_saveDialog(saveDialog),
      m_store(m_root) {
  m_saveTimer.setSingleShot(true);
  connect(&m_saveTimer, &QTimer::timeout, this, &PresetEditor::onSaveTimer);
}

// --- fields -------------------------------------------------------------------------------------

void PresetEditor::setPresets(std::vector<OverlayPreset> presets) {
  m_presets = std::move(presets);
  emit presetsChanged();
}

void PresetEditor::setSelectedPresetID(const QString& id) {
  if (m_selectedPresetID != id) {
    m_selectedPresetID = id;
    emit selectedPresetIDChanged();
  }
}

void PresetEditor::setPresetReadOnly(bool readOnly) {
  if (m_presetReadOnly != readOnly) {
    m_presetReadOnly = readOnly;
    emit presetReadOnlyChanged();
  }
}

OverlayPreset* PresetEditor::findPreset(const QString& id) {
  const std::string key = id.toStdString();
  auto it =
      std::find_if(m_presets.begin(), m_presets.end(), [&](const OverlayPreset& p) { return p.Id == key; });
  return it == m_presets.end() ? nullptr : &*it;
}

const OverlayPreset& PresetEditor::selectedPreset() const {
  const OverlayPreset* preset = const_cast<PresetEditor*>(this)->findPreset(m_selectedPresetID);
  return preset != nullptr ? *preset : m_presets.front();
}

bool PresetEditor::savePending() const {
  return m_saveTimer.isActive() || (m_saveTask && !m_saveTask->ended());
}

// --- start-up -----------------------------------------------------------------------------------

QCoro::Task<bool> PresetEditor::loadPresets() {
  PresetStore* store = &m_store;
  auto loadPresets = [store] { return store->load(); };
  std::optional<PresetStore::LoadResult> loaded =
      co_await m_status.attempt(m_worker.run(std::move(loadPresets)));
  if (!loaded) {
    co_return false;
  }
  setPresets(std::move(loaded->presets));
  m_presetsLoaded = true;
  if (loaded->warning) {
    m_status.warn(QString::fromStdString(*loaded->warning));
  }
  setPresetReadOnly(loaded->readOnly);
  setSelectedPresetID(QString::fromStdString(m_presets.front().Id));
  co_return true;
}

QCoro::Task<void> PresetEditor::loadLayouts() {
  auto readLayouts = [root = m_root] { return LayoutFile::read(root); };
  m_layouts = co_await m_worker.run(std::move(readLayouts));
  m_layoutsLoaded = true;
}

// --- edit groups, undo and redo -----------------------------------------------------------------

void PresetEditor::beginEdit() {
  if (!m_editBaseline) {
    m_editBaseline = m_presets;
  }
  m_redoStack.clear();
}

void PresetEditor::commitEdit() {
  if (m_editBaseline && *m_editBaseline != m_presets) {
    m_undoStack.push_back(std::move(*m_editBaseline));
    if (m_undoStack.size() > maxUndoSnapshots) {
      m_undoStack.erase(m_undoStack.begin());
    }
  }
  m_editBaseline.reset();
}

void PresetEditor::normalizeSelection() {
  if (findPreset(m_selectedPresetID) == nullptr) {
    setSelectedPresetID(QString::fromStdString(m_presets.front().Id));
  }
}

// Makes the newest snapshot of `from` current and keeps the current list on `to`.
void PresetEditor::restore(std::vector<std::vector<OverlayPreset>>& from,
                           std::vector<std::vector<OverlayPreset>>& to) {
  std::vector<OverlayPreset> snapshot = std::move(from.back());
  from.pop_back();
  to.push_back(m_presets);
  if (to.size() > maxUndoSnapshots && &to == &m_undoStack) {
    to.erase(to.begin());
  }
  setPresets(std::move(snapshot));
  normalizeSelection();
  scheduleSave();
}

void PresetEditor::undo() {
  commitEdit();
  if (!m_undoStack.empty()) {
    restore(m_undoStack, m_redoStack);
  }
}

void PresetEditor::redo() {
  if (!m_redoStack.empty()) {
    restore(m_redoStack, m_undoStack);
  }
}

// --- commands -----------------------------------------------------------------------------------

void PresetEditor::editSelectedPreset(const std::function<void(OverlayPreset&)>& change) {
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
}

void PresetEditor::newPreset(bool duplicate) {
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
}

void PresetEditor::deletePreset() {
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
}

bool PresetEditor::canAddGradientStop() const {
  return !m_presetReadOnly && selectedPreset().GradientStops.size() < maxGradientStops;
}

bool PresetEditor::canRemoveGradientStop() const {
  return !m_presetReadOnly && selectedPreset().GradientStops.size() > minGradientStops;
}

void PresetEditor::addGradientStop() {
  if (!canAddGradientStop()) {
    return;
  }
  editSelectedPreset([](OverlayPreset& preset) { preset.GradientStops.push_back({"#8000B8A9", 0.5}); });
}

void PresetEditor::removeGradientStop(std::size_t index) {
  if (!canRemoveGradientStop() || index >= selectedPreset().GradientStops.size()) {
    return;
  }
  editSelectedPreset([index](OverlayPreset& preset) {
    preset.GradientStops.erase(preset.GradientStops.begin() + static_cast<std::ptrdiff_t>(index));
  });
}

QCoro::Task<void> PresetEditor::importPresets() {
  if (m_openDialog == nullptr) {
    co_return;
  }
  const std::optional<QString> chosen = m_openDialog->askOpenPath(QStringLiteral("JSON (*.json)"));
  if (!chosen || chosen->isEmpty()) {
    co_return;
  }
  auto read = [path = pathOf(*chosen)] { return preset_import::read(path); };
  std::optional<std::vector<OverlayPreset>> imported =
      co_await m_status.attempt(runInBackground(std::move(read)));
  if (!imported) {
    co_return;
  }
  std::vector<OverlayPreset> presets;
  try {
    presets = preset_import::withCopies(m_presets, *imported);
  } catch (...) {
    m_status.warnCurrentException();
    co_return;
  }

  beginEdit();
  const QString first = QString::fromStdString(presets[m_presets.size()].Id);
  setPresets(std::move(presets));
  setSelectedPresetID(first);
  scheduleSave();
  m_status.setStatus(QString::fromUtf8(messages::presetsImported));
}

QCoro::Task<void> PresetEditor::exportPresets() {
  if (m_saveDialog == nullptr) {
    co_return;
  }
  const std::optional<QString> chosen =
      m_saveDialog->askSavePath(QStringLiteral("Sayloom-presets.json"), QStringLiteral("JSON (*.json)"));
  if (!chosen || chosen->isEmpty()) {
    co_return;
  }
  auto write = [document = PresetDocument(m_presets).toJson(), path = pathOf(*chosen)] {
    AtomicFile::write(document, path);
  };
  co_await m_status.attempt(runInBackground(std::move(write)));
}

void PresetEditor::recordLayout(const QString& presetID, const Rect& frame,
                                const std::vector<ScreenInfo>& screens,
                                std::optional<std::size_t> mainScreen) {
  if (sayloom::recordLayout(m_layouts, m_presets, presetID.toStdString(), frame, screens, mainScreen)) {
    emit presetsChanged();
  }
  scheduleSave();
}

// --- saving -------------------------------------------------------------------------------------

void PresetEditor::scheduleSave() {
  // Restarting the timer drops the save scheduled before.
  m_saveTimer.start(m_saveDelay);
}

void PresetEditor::onSaveTimer() {
  commitEdit();
  TaskHandle handle;
  handle.attach(runScheduledSave());
  m_saveTask = handle;
}

QCoro::Task<void> PresetEditor::runScheduledSave() { co_await m_status.attempt(saveSettings()); }

QCoro::Task<void> PresetEditor::saveAtShutdown() {
  m_saveTimer.stop();
  if (m_saveTask) {
    const TaskHandle running = *m_saveTask;
    co_await running.waitForEnd();
  }
  co_await m_status.attempt(saveSettings());
}

QCoro::Task<void> PresetEditor::saveSettings() {
  if (m_presetsLoaded && !m_presetReadOnly) {
    PresetStore* store = &m_store;
    auto save = [store, presets = m_presets] { store->save(presets); };
    co_await m_worker.run(std::move(save));
  }
  if (m_layoutsLoaded) {
    auto writeLayouts = [layouts = m_layouts, root = m_root] { LayoutFile::write(layouts, root); };
    co_await m_worker.run(std::move(writeLayouts));
  }
}

}  // namespace sayloom
