#pragma once
// The preset editor: the working list of overlay presets and the overlay windows' stored frames,
// the selected preset, field edits grouped into undo steps, new, duplicate and delete, gradient
// stops, undo and redo, import and export, and the debounced save of both files.
//
// Thread contract: main thread only. The preset and layout files are read and written on one
// private worker thread, so each file receives its saves in the order they began.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "app/concurrency/serial_worker.h"
#include "app/concurrency/task_handle.h"
#include "app/presets/preset_binding.h"
#include "core/mac_layout.h"
#include "core/overlay_geometry.h"
#include "core/overlay_preset.h"
#include "core/preset_store.h"

namespace sayloom {

namespace platform {
class OpenDialog;
class SaveDialog;
}  // namespace platform

class AppStatus;

class PresetEditor : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::vector<sayloom::OverlayPreset> presets READ presets NOTIFY presetsChanged)
  Q_PROPERTY(
      QString selectedPresetID READ selectedPresetID WRITE setSelectedPresetID NOTIFY selectedPresetIDChanged)
  Q_PROPERTY(bool presetReadOnly READ presetReadOnly NOTIFY presetReadOnlyChanged)

public:
  // The dialogs may be null (the command then does nothing); everything must outlive the editor.
  PresetEditor(std::filesystem::path root, AppStatus& status, platform::OpenDialog* openDialog,
               platform::SaveDialog* saveDialog, QObject* parent = nullptr);

  // Never empty: the built-in presets until `load` has read the stored ones.
  const std::vector<OverlayPreset>& presets() const { return m_presets; }
  const QString& selectedPresetID() const { return m_selectedPresetID; }
  void setSelectedPresetID(const QString& id);
  // The preset whose Id is `selectedPresetID`, or the first preset.
  const OverlayPreset& selectedPreset() const;
  // The preset file may not be written (it comes from a newer version or could not be backed up):
  // edits, new presets and deletions are refused.
  bool presetReadOnly() const { return m_presetReadOnly; }
  // The stored window frames by preset Id.
  const LayoutMap& layouts() const { return m_layouts; }

  // The start-up steps: the presets (false when the preset store failed; the warning is set), then
  // the window frames (an unreadable layout file gives none).
  QCoro::Task<bool> loadPresets();
  QCoro::Task<void> loadLayouts();

  // A link between one field of the selected preset and an inspector control.
  template <typename T>
  PresetBinding<T> binding(T OverlayPreset::*field) {
    return PresetBinding<T>(*this, field);
  }
  // The field edit behind `binding`: applies `change` to the selected preset and normalises it.
  void editSelectedPreset(const std::function<void(OverlayPreset&)>& change);
  // Adds a default preset, or a copy of the selected one, and selects it (at most 64).
  void newPreset(bool duplicate);
  // Removes the selected preset (at least one stays).
  void deletePreset();
  // Gradient stops of the selected preset: a stop "#8000B8A9" at 0.5 is added while it has fewer
  // than 8; a stop is removed while it has more than 2.
  bool canAddGradientStop() const;
  bool canRemoveGradientStop() const;
  void addGradientStop();
  void removeGradientStop(std::size_t index);

  void undo();
  void redo();
  bool canUndo() const { return !m_undoStack.empty() || (m_editBaseline && *m_editBaseline != m_presets); }
  bool canRedo() const { return !m_redoStack.empty(); }

  // Adds disabled copies of the presets of a file chosen in the open dialog.
  QCoro::Task<void> importPresets();
  // Writes every preset to a file chosen in the save dialog.
  QCoro::Task<void> exportPresets();

  // A overlay window was moved or resized to `frame` (screen points, origin bottom-left, y up) on
  // `screens`; the frame is kept and saved with the presets.
  void recordLayout(const QString& presetID, const Rect& frame, const std::vector<ScreenInfo>& screens,
                    std::optional<std::size_t> mainScreen);

  // Writes the preset file (unless locked) and then the layout file; a file that was never loaded
  // is never written. Throws the first failure.
  QCoro::Task<void> saveSettings();
  // A settings save is scheduled or running.
  bool savePending() const;
  // The quiet time after the last change before the settings are saved (0.3 s).
  void setSaveDelay(std::chrono::milliseconds delay) { m_saveDelay = delay; }
  // Shutdown: drops a scheduled save, lets a running one end, then saves once more.
  QCoro::Task<void> saveAtShutdown();

signals:
  void presetsChanged();
  void selectedPresetIDChanged();
  void presetReadOnlyChanged();

private:
  void setPresets(std::vector<OverlayPreset> presets);
  void setPresetReadOnly(bool readOnly);
  OverlayPreset* findPreset(const QString& id);
  void beginEdit();
  void commitEdit();
  void normalizeSelection();
  void restore(std::vector<std::vector<OverlayPreset>>& from, std::vector<std::vector<OverlayPreset>>& to);
  void scheduleSave();
  void onSaveTimer();
  QCoro::Task<void> runScheduledSave();

  std::filesystem::path m_root;
  AppStatus& m_status;
  platform::OpenDialog* m_openDialog;
  platform::SaveDialog* m_saveDialog;

  std::vector<OverlayPreset> m_presets = OverlayPreset::builtIns();
  QString m_selectedPresetID = QStringLiteral("builtin-widget");
  bool m_presetReadOnly = false;
  bool m_presetsLoaded = false;
  LayoutMap m_layouts;
  bool m_layoutsLoaded = false;

  std::optional<std::vector<OverlayPreset>> m_editBaseline;
  std::vector<std::vector<OverlayPreset>> m_undoStack;
  std::vector<std::vector<OverlayPreset>> m_redoStack;

  QTimer m_saveTimer;
  std::chrono::milliseconds m_saveDelay{300};
  std::optional<TaskHandle> m_saveTask;
  PresetStore m_store;
  SerialWorker m_worker;  // after the store: destroyed first, finishing work that uses it
};

}  // namespace sayloom
