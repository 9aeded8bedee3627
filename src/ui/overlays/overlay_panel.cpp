#include "ui/overlays/overlay_panel.h"

#include <QWindow>

#include "platform/screen_geometry.h"
#include "ui/captions/caption_view.h"
#include "ui/overlays/overlay_handles.h"
#include "ui/overlays/panel_window_system.h"

namespace sayloom::ui {

namespace {

constexpr Qt::WindowFlags panelFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                       Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus;

}  // namespace

OverlayPanel::OverlayPanel(PanelWindowSystem& windowSystem, const Rect& frame)
    : QWidget(nullptr, panelFlags),
      m_windowSystem(windowSystem),
      m_caption(new CaptionView(this)),
      m_handles(new OverlayHandles(*this)) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QStringLiteral("Sayloom 자막 오버레이"));
  setAccessibleName(QStringLiteral("Sayloom 자막 오버레이"));
  m_handles->hide();
  setFrame(frame);
  // The native window exists from here on, click-through until edit mode.
  winId();
  m_windowSystem.setAcceptsInput(*this, false);
}

OverlayPanel::~OverlayPanel() = default;

Rect OverlayPanel::frame() const { return platform::toBottomLeft(QRectF(geometry())); }

void OverlayPanel::setFrame(const Rect& frame) { setGeometry(platform::toTopLeft(frame)); }

std::vector<Rect> OverlayPanel::screenFrames() const {
  return OverlayGeometry::visibleFrames(platform::desktopScreens());
}

void OverlayPanel::showCaption(const OverlayPreset& preset, const QString& original,
                               const QString& translation, const QString& language) {
  m_caption->setPreset(preset);
  m_caption->setCaption({original, translation, language});
}

void OverlayPanel::present() {
  if (!isVisible()) {
    m_windowSystem.prepareToMap(*this);
    show();
  }
  raise();
}

void OverlayPanel::conceal() { hide(); }

void OverlayPanel::setEditing(bool editing) {
  if (m_editing == editing) {
    return;
  }
  m_editing = editing;
  if (!editing) {
    m_handles->finishDrag(false);
  }
  setAcceptsFocus(editing);
  m_windowSystem.setAcceptsInput(*this, editing);
  m_handles->setVisible(editing);
  if (editing) {
    m_handles->raise();
  }
}

void OverlayPanel::reportFrame() {
  if (m_onFrame) {
    m_onFrame(frame());
  }
}

void OverlayPanel::resizeEvent(QResizeEvent* event) {
  m_caption->setGeometry(rect());
  m_handles->setGeometry(rect());
  QWidget::resizeEvent(event);
}

void OverlayPanel::setAcceptsFocus(bool accepts) {
  // Changed on the native window only: changing the widget's flags would remake the window.
  const Qt::WindowFlags flags = accepts ? panelFlags & ~Qt::WindowDoesNotAcceptFocus : panelFlags;
  overrideWindowFlags(flags);
  windowHandle()->setFlags(flags);
}

}  // namespace sayloom::ui
