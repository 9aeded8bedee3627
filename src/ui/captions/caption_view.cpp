#include "ui/captions/caption_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPointer>

#include "ui/captions/preset_background.h"

namespace sayloom::ui {

namespace {

// One row of the caption as a static text for assistive technology.
class CaptionRowAccessible : public QAccessibleInterface {
public:
  CaptionRowAccessible(CaptionView* view, CaptionLayout::Row row) : m_view(view), m_row(row) {}

  bool isValid() const override { return !m_view.isNull(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(m_view.data());
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessible::Role role() const override { return QAccessible::StaticText; }

  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    state.invisible = m_view.isNull() || !m_view->isVisible();
    return state;
  }

  QString text(QAccessible::Text kind) const override {
    if (kind != QAccessible::Name || m_view.isNull()) {
      return {};
    }
    switch (m_row) {
      case CaptionLayout::Row::header:
        return CaptionView::headerAccessibleName;
      case CaptionLayout::Row::original:
        return m_view->caption().original;
      case CaptionLayout::Row::translation:
        return m_view->caption().translation;
    }
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    if (m_view.isNull()) {
      return {};
    }
    const CaptionLayout::Placed* placed = m_view->captionLayout().find(m_row);
    if (placed == nullptr) {
      return {};
    }
    const QRect local = placed->rect.toAlignedRect();
    return QRect(m_view->mapToGlobal(local.topLeft()), local.size());
  }

private:
  QPointer<CaptionView> m_view;
  CaptionLayout::Row m_row;
};

}  // namespace

// The caption as a group of its rows.
class CaptionAccessible : public QAccessibleWidget {
public:
  explicit CaptionAccessible(CaptionView* view) : QAccessibleWidget(view, QAccessible::Grouping) {}

  int childCount() const override { return static_cast<int>(layout().rows.size()); }

  QAccessibleInterface* child(int index) const override {
    const CaptionLayout rows = layout();
    if (index < 0 || index >= static_cast<int>(rows.rows.size())) {
      return nullptr;
    }
    return rowInterface(rows.rows[static_cast<std::size_t>(index)].row);
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    const CaptionLayout rows = layout();
    for (std::size_t i = 0; i < rows.rows.size(); ++i) {
      if (rowInterface(rows.rows[i].row) == child) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = view()->mapFromGlobal(QPoint(x, y));
    for (const CaptionLayout::Placed& placed : layout().rows) {
      if (placed.rect.contains(local)) {
        return rowInterface(placed.row);
      }
    }
    return nullptr;
  }

private:
  CaptionView* view() const { return static_cast<CaptionView*>(widget()); }
  CaptionLayout layout() const { return view()->captionLayout(); }

  QAccessibleInterface* rowInterface(CaptionLayout::Row row) const {
    unsigned& id = view()->m_rowAccessibleIds[static_cast<std::size_t>(row)];
    if (id == 0) {
      id = QAccessible::registerAccessibleInterface(new CaptionRowAccessible(view(), row));
    }
    return QAccessible::accessibleInterface(id);
  }
};

namespace {

QAccessibleInterface* captionAccessibleFactory(const QString& key, QObject* object) {
  if (key == QLatin1String(CaptionView::staticMetaObject.className())) {
    if (auto* view = qobject_cast<CaptionView*>(object)) {
      return new CaptionAccessible(view);
    }
  }
  return nullptr;
}

}  // namespace

CaptionView::CaptionView(QWidget* parent) : CaptionView(platform::AccessibilitySettings::shared(), parent) {}

CaptionView::CaptionView(platform::AccessibilitySettings& accessibility, QWidget* parent)
    : QWidget(parent), m_accessibility(&accessibility) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(captionAccessibleFactory);
    return true;
  }();
  (void)factoryInstalled;
  connect(m_accessibility, &platform::AccessibilitySettings::changed, this, qOverload<>(&QWidget::update));
}

CaptionView::~CaptionView() {
  for (unsigned id : m_rowAccessibleIds) {
    if (id != 0) {
      QAccessible::deleteAccessibleInterface(id);
    }
  }
}

void CaptionView::setPreset(const OverlayPreset& preset) {
  if (preset == m_preset) {
    return;
  }
  m_preset = preset;
  m_background = QImage();
  update();
}

void CaptionView::setCaption(const CaptionText& caption) {
  if (caption == m_caption) {
    return;
  }
  m_caption = caption;
  update();
}

RenderOptions CaptionView::renderOptions() const {
  return {.increasedContrast = m_accessibility->increasedContrast(),
          .reduceTransparency = m_accessibility->reduceTransparency(),
          .forceOpaque = false};
}

CaptionLayout CaptionView::captionLayout() const {
  return CaptionRenderer::layout(QRectF(rect()), m_preset, m_caption, *this);
}

QSize CaptionView::sizeHint() const { return QSizeF(m_preset.Width, m_preset.Height).toSize(); }

void CaptionView::paintEvent(QPaintEvent*) {
  if (rect().isEmpty()) {
    return;
  }
  const QRectF area(rect());
  const RenderOptions options = renderOptions();
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (area.size() * ratio).toSize();
  if (m_background.size() != pixels || m_background.devicePixelRatio() != ratio ||
      m_backgroundOptions != options) {
    m_background = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_background.setDevicePixelRatio(ratio);
    m_background.fill(Qt::transparent);
    QPainter layer(&m_background);
    PresetBackground::paint(layer, area, m_preset, options);
    m_backgroundOptions = options;
  }
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), m_background);
  CaptionRenderer::paintOverBackground(painter, area, m_preset, m_caption, options);
}

}  // namespace sayloom::ui
