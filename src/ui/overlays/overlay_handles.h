#pragma once
// The move and resize handles of a overlay window in edit mode: an accent outline with eight
// square grips, and the drag that moves the window (a press in the middle) or one or two of its
// edges (a press within 18 points of them). The window follows the mouse at once, kept on the
// screens; its frame is reported only when the drag ends: at the mouse release, when edit mode
// ends, or with Escape, which first puts the window back where the drag began. Main thread only.
#include <QPointF>
#include <QWidget>
#include <optional>

#include "core/overlay_geometry.h"
#include "core/rect.h"

namespace sayloom::ui {

class OverlayPanel;

class OverlayHandles final : public QWidget {
  Q_OBJECT
public:
  explicit OverlayHandles(OverlayPanel& panel);

  // A drag is in progress.
  bool dragging() const { return m_start.has_value(); }
  // Ends a drag in progress, reporting the window's frame; on `cancel` the window first goes back
  // to where the drag began. Nothing happens without a drag.
  void finishDrag(bool cancel);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  OverlayPanel& m_panel;
  std::optional<Rect> m_start;  // the window frame when the drag began
  QPointF m_point;              // the mouse position then (screen, bottom-left convention)
  OverlayGeometry::DragEdges m_edges;
};

}  // namespace sayloom::ui
