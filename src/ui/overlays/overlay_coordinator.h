#pragma once
// The overlay windows of the desktop: one OverlayPanel per enabled preset, made at its first frame
// (its stored layout, else centred above the bottom of the main screen) and kept, with its frame,
// until its preset is disabled or deleted; all of them unmapped while hidden. While any window
// exists the keyboard is polled every 0.15 s: holding Alt+Super (or the menu's edit mode) puts
// every window in edit mode. Windows are pulled back onto the screens on request and whenever the
// screens are added, removed, moved or resized. It also owns the global shortcut. Main thread
// only; the timer, the screen notifications and the shortcut reach it through the event loop.
#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>

#include "app/overlays/overlay_windows.h"

class QScreen;

namespace sayloom::ui {

class GlobalHotKey;
class OverlayPanel;
class PanelWindowSystem;

class OverlayCoordinator final : public QObject, public OverlayWindows {
  Q_OBJECT
public:
  // The desktop's own window system and shortcut service.
  explicit OverlayCoordinator(QObject* parent = nullptr);
  OverlayCoordinator(std::unique_ptr<PanelWindowSystem> windowSystem, std::unique_ptr<GlobalHotKey> hotKey,
                     QObject* parent = nullptr);
  ~OverlayCoordinator() override;

  void update(const std::vector<OverlayPreset>& presets, const QString& original, const QString& translation,
              const QString& language, const LayoutMap& layouts) override;
  std::vector<ScreenInfo> screens() const override;
  std::optional<std::size_t> mainScreen() const override;
  void setHidden(bool hidden) override { m_hidden = hidden; }
  void setManualEdit(bool on) override;
  void recoverAll() override;
  bool registerShortcut(Qt::Key key) override;
  void setFrameHandler(FrameHandler handler) override { m_saveLayout = std::move(handler); }
  void setToggleHandler(std::function<void()> handler) override { m_toggleAction = std::move(handler); }

  bool hidden() const { return m_hidden; }
  bool manualEdit() const { return m_manualEdit; }
  // `frame` clamped onto the visible frames of the screens, in the window system's order.
  Rect clampFrame(const Rect& frame) const;
  // The window of preset `id`, or null.
  OverlayPanel* panel(const QString& id) const;
  std::size_t panelCount() const { return m_panels.size(); }
  // The keyboard is being polled for edit mode.
  bool polling() const { return m_modifierTimer.isActive(); }

private:
  void pollModifiers();
  void watchScreen(QScreen* screen);

  // Before the panels, which use the window system until they are destroyed.
  std::unique_ptr<PanelWindowSystem> m_windowSystem;
  std::unique_ptr<GlobalHotKey> m_hotKey;
  std::map<QString, std::unique_ptr<OverlayPanel>> m_panels;
  bool m_hidden = false;
  bool m_manualEdit = false;
  FrameHandler m_saveLayout;
  std::function<void()> m_toggleAction;
  QTimer m_modifierTimer;
  QTimer m_screenChange;  // gathers the notifications of one configuration change
};

}  // namespace sayloom::ui
