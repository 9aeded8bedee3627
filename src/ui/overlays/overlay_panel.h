#pragma once
// One overlay window: a frameless, translucent tool window that stays above normal windows, is
// shown on every workspace, never takes the focus and lets clicks pass through, except in edit
// mode, when it takes the mouse (and the keyboard during a drag) and shows its handles. It holds
// the caption of its preset and, above it, the handles, both filling it. Its frame is in the
// core's convention (points, origin bottom-left, y up). Main thread only.
#include <QWidget>
#include <functional>
#include <vector>

#include "core/overlay_preset.h"
#include "core/rect.h"

namespace sayloom::ui {

class CaptionView;
class OverlayHandles;
class PanelWindowSystem;

class OverlayPanel final : public QWidget {
  Q_OBJECT
public:
  // Made at `frame`, not shown. `windowSystem` outlives the panel.
  OverlayPanel(PanelWindowSystem& windowSystem, const Rect& frame);
  ~OverlayPanel() override;

  Rect frame() const;
  void setFrame(const Rect& frame);
  // The visible frames of the screens, which every frame the user drags to is kept on.
  std::vector<Rect> screenFrames() const;

  // Shows the caption of `preset` with these texts.
  void showCaption(const OverlayPreset& preset, const QString& original, const QString& translation,
                   const QString& language);
  // Maps the window and brings it to the front without taking the focus; `conceal` unmaps it.
  void present();
  void conceal();

  bool editing() const { return m_editing; }
  // Edit mode: the window takes the mouse and the focus and shows the handles. Leaving it ends a
  // drag in progress (its frame counts) and gives the focus back.
  void setEditing(bool editing);
  OverlayHandles& handles() const { return *m_handles; }
  CaptionView& caption() const { return *m_caption; }

  // Receives the frame each time the user has moved or resized the window, or recovery moved it.
  void setOnFrame(std::function<void(const Rect&)> onFrame) { m_onFrame = std::move(onFrame); }
  void reportFrame();

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void setAcceptsFocus(bool accepts);

  PanelWindowSystem& m_windowSystem;
  CaptionView* m_caption;
  OverlayHandles* m_handles;
  std::function<void(const Rect&)> m_onFrame;
  bool m_editing = false;
};

}  // namespace sayloom::ui
