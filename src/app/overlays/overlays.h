#pragma once
// The overlay windows as the model sees them: whether they are all hidden, whether edit mode is
// on (from the menu), the one call that brings the windows in line with the presets and shows a
// caption, pulling them back onto the screens, and the global shortcut; and what the windows
// report: frames the user gave them and presses of the shortcut. The windows themselves belong to
// the window layer, behind `OverlayWindows`.
//
// Thread contract: main thread only.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "app/overlays/overlay_windows.h"

namespace sayloom {

class Overlays : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool hidden READ hidden WRITE setHidden NOTIFY hiddenChanged)
  Q_PROPERTY(bool editing READ editing WRITE setEditing NOTIFY editingChanged)

public:
  // `windows` may be null: there is no window system, and nothing is shown.
  explicit Overlays(std::unique_ptr<OverlayWindows> windows, QObject* parent = nullptr);
  ~Overlays() override;

  // Also passed on to the windows; they follow at the next `show`.
  bool hidden() const { return m_hidden; }
  void setHidden(bool hidden);
  // Edit mode from the menu: every window can be moved and resized without holding keys.
  bool editing() const { return m_editing; }
  void setEditing(bool editing);

  // One window per enabled preset, showing `original` and its `translation`.
  void show(const std::vector<OverlayPreset>& presets, const LayoutMap& layouts, const QString& original,
            const QString& translation, const QString& language);

  // The screens the windows stand on (bottom-left, y-up), and the main one among them.
  std::vector<ScreenInfo> screens() const;
  std::optional<std::size_t> mainScreen() const;

  // Pulls every window back onto the screens ("모든 오버레이 화면 안으로 이동", "화면 밖 오버레이
  // 복구"); each window's frame is reported through `frameChanged`.
  void recoverAll();
  // Makes the shortcut of index `index` the global one: Super+Shift+S for 0, Super+Shift+O for any
  // other index. False when the window system refuses it; true without windows, which have
  // nothing to toggle.
  bool registerShortcut(int index);

  OverlayWindows* windows() const { return m_windows.get(); }

signals:
  void hiddenChanged();
  void editingChanged();
  // The user moved or resized preset `presetID`'s window, or recovery moved it, to `frame`.
  void frameChanged(const QString& presetID, const sayloom::Rect& frame);
  // The global shortcut was pressed.
  void shortcutPressed();

private:
  std::unique_ptr<OverlayWindows> m_windows;
  bool m_hidden = false;
  bool m_editing = false;
};

}  // namespace sayloom
