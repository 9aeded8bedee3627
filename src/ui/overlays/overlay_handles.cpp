#include "ui/overlays/overlay_handles.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "platform/screen_geometry.h"
#include "ui/overlays/overlay_panel.h"

namespace sayloom::ui {

namespace {

constexpr double outlineWidth = 2;
constexpr double outlineInset = 2;
constexpr double outlineRadius = 10;
constexpr double gripSize = 8;
constexpr double gripRadius = 2;
constexpr double gripInset = 6;  // from each edge to the grip's centre

}  // namespace

OverlayHandles::OverlayHandles(OverlayPanel& panel) : QWidget(&panel), m_panel(panel) {
  setFocusPolicy(Qt::NoFocus);
}

void OverlayHandles::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF bounds = QRectF(rect());

  QPen outline(palette().color(QPalette::Active, QPalette::Highlight), outlineWidth);
  painter.setPen(outline);
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(bounds.adjusted(outlineInset, outlineInset, -outlineInset, -outlineInset),
                          outlineRadius, outlineRadius);

  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  const double xs[] = {gripInset, bounds.width() / 2, bounds.width() - gripInset};
  const double ys[] = {gripInset, bounds.height() / 2, bounds.height() - gripInset};
  for (double x : xs) {
    for (double y : ys) {
      if (x == xs[1] && y == ys[1]) {
        continue;  // no grip in the middle
      }
      painter.drawRoundedRect(QRectF(x - gripSize / 2, y - gripSize / 2, gripSize, gripSize), gripRadius,
                              gripRadius);
    }
  }
}

void OverlayHandles::mousePressEvent(QMouseEvent* event) {
  if (!m_panel.editing() || event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  m_panel.activateWindow();
  m_start = m_panel.frame();
  m_point = platform::toBottomLeft(event->globalPosition());
  const QPointF p = event->position();
  m_edges = OverlayGeometry::dragEdges(p.x(), height() - p.y(), width(), height());
  // Escape must reach the drag even if the window manager keeps the focus elsewhere.
  grabKeyboard();
  event->accept();
}

void OverlayHandles::mouseMoveEvent(QMouseEvent* event) {
  if (!m_start) {
    event->ignore();
    return;
  }
  const QPointF now = platform::toBottomLeft(event->globalPosition());
  m_panel.setFrame(OverlayGeometry::dragFrame(*m_start, now.x() - m_point.x(), now.y() - m_point.y(), m_edges,
                                              m_panel.screenFrames()));
  event->accept();
}

void OverlayHandles::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    finishDrag(false);
  }
  event->accept();
}

void OverlayHandles::keyPressEvent(QKeyEvent* event) {
  if (m_start && event->key() == Qt::Key_Escape) {
    finishDrag(true);
    event->accept();
    return;
  }
  event->ignore();
}

void OverlayHandles::finishDrag(bool cancel) {
  if (!m_start) {
    return;
  }
  const Rect start = *m_start;
  m_start.reset();
  releaseKeyboard();
  if (cancel) {
    m_panel.setFrame(start);
  }
  m_panel.reportFrame();
}

}  // namespace sayloom::ui
