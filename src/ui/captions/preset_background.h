#pragma once
// A preset's background: the fill (flat colour, linear gradient or elliptical radial gradient,
// scaled by the preset's opacity), the glass sheen over it, and the rounded shape with continuous
// corners that both are clipped to. Stateless; main thread (QPainter on widgets) or any thread
// that owns its QPainter and QImage.
#include <QBrush>
#include <QColor>
#include <QGradient>
#include <QPainterPath>
#include <QRectF>
#include <string>
#include <vector>

#include "core/overlay_preset.h"
#include "ui/captions/render_options.h"

class QPainter;

namespace sayloom::ui {

// The colour of preset colour text; text that is not a colour gives #101827.
QColor presetColor(const std::string& text);

// A rounded rectangle whose corners ease into the straight edges (continuous curvature) instead of
// meeting them with a circular arc. The radius is reduced where the rectangle is too small for it.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

// Gradient stops for QGradient: sorted by offset with ties in list order (kept a hair apart so the
// change between them stays sharp), each colour's alpha multiplied by `opacity`.
QGradientStops sortedGradientStops(const std::vector<GradientStop>& stops, double opacity);

class PresetBackground {
public:
  // The fill and, unless the background is opaque or the preset has no glass, the sheen, clipped
  // to the preset's rounded shape filling `rect`.
  static void paint(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                    const RenderOptions& options);

  // The fill of the whole of `rect` (no rounding): the flat background colour at full opacity when
  // `options.opaque()`, else the solid colour or the gradient, every colour's alpha multiplied by
  // the preset's opacity.
  static QBrush fill(const QRectF& rect, const OverlayPreset& preset, const RenderOptions& options);

  // The glass sheen's gradient over `rect`, before its opacity and its masking by the fill.
  static QBrush sheen(const QRectF& rect);
};

}  // namespace sayloom::ui
