#include "ui/captions/preset_swatch.h"

#include <QPainter>

#include "ui/captions/caption_renderer.h"
#include "ui/captions/preset_background.h"

namespace sayloom::ui {

void PresetSwatch::paint(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                         const RenderOptions& options) {
  OverlayPreset scaled = preset;
  if (preset.Height > 0) {
    scaled.CornerRadius = preset.CornerRadius * rect.height() / preset.Height;
  }
  PresetBackground::paint(painter, rect, scaled, options);
  CaptionRenderer::paintBorder(painter, rect, scaled, options);
}

QPixmap PresetSwatch::pixmap(const OverlayPreset& preset, QSize size, qreal pixelRatio,
                             const RenderOptions& options) {
  QPixmap pixmap(size * pixelRatio);
  pixmap.setDevicePixelRatio(pixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), preset, options);
  return pixmap;
}

}  // namespace sayloom::ui
