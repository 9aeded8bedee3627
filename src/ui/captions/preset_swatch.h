#pragma once
// A preset's background in small, as lists show it: the fill, sheen and border of the caption
// without its text, the corner radius scaled with the swatch. Stateless.
#include <QPixmap>
#include <QRectF>

#include "core/overlay_preset.h"
#include "ui/captions/render_options.h"

class QPainter;

namespace sayloom::ui {

class PresetSwatch {
public:
  static void paint(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                    const RenderOptions& options);
  // A transparent pixmap of `size` device-independent pixels at `pixelRatio`, holding the swatch.
  static QPixmap pixmap(const OverlayPreset& preset, QSize size, qreal pixelRatio,
                        const RenderOptions& options);
};

}  // namespace sayloom::ui
