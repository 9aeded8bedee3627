#include "ui/captions/preset_background.h"

#include <QImage>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace sayloom::ui {

namespace {

constexpr const char* undecodableColor = "#101827";

QColor withAlphaScaled(QColor color, double factor) {
  color.setAlphaF(static_cast<float>(color.alphaF() * factor));
  return color;
}

// The fill's alpha when it is the same everywhere, else a negative number.
double uniformAlpha(const QBrush& fill) {
  if (fill.style() == Qt::SolidPattern) {
    return fill.color().alphaF();
  }
  const QGradient* gradient = fill.gradient();
  if (gradient == nullptr || gradient->stops().isEmpty()) {
    return -1;
  }
  const QGradientStops stops = gradient->stops();
  const double first = stops.front().second.alphaF();
  for (const QGradientStop& stop : stops) {
    if (stop.second.alphaF() != first) {
      return -1;
    }
  }
  return first;
}

// The sheen masked by a fill whose alpha varies: drawn into a layer at the device's resolution,
// multiplied there by the fill's alpha, and laid over the target.
void paintMaskedSheen(QPainter& painter, const QRectF& rect, const QPainterPath& shape, const QBrush& fill,
                      double opacity) {
  const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
  const QTransform toDevice = painter.worldTransform() * QTransform::fromScale(ratio, ratio);
  const QRect area = toDevice.mapRect(shape.boundingRect()).toAlignedRect();
  if (area.isEmpty()) {
    return;
  }
  QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  {
    QPainter layerPainter(&layer);
    layerPainter.setRenderHint(QPainter::Antialiasing);
    layerPainter.setTransform(toDevice * QTransform::fromTranslate(-area.x(), -area.y()));
    layerPainter.fillPath(shape, PresetBackground::sheen(rect));
    layerPainter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    layerPainter.fillRect(rect, fill);
  }
  painter.save();
  painter.setWorldTransform(QTransform());
  painter.setOpacity(painter.opacity() * opacity);
  painter.drawImage(QRectF(area.x() / ratio, area.y() / ratio, area.width() / ratio, area.height() / ratio),
                    layer);
  painter.restore();
}

}  // namespace

QColor presetColor(const std::string& text) {
  std::optional<ARGB> argb = ARGB::parse(text);
  if (!argb) {
    argb = ARGB::parse(undecodableColor);
  }
  return QColor::fromRgbF(static_cast<float>(argb->red), static_cast<float>(argb->green),
                          static_cast<float>(argb->blue), static_cast<float>(argb->alpha));
}

QGradientStops sortedGradientStops(const std::vector<GradientStop>& listed, double opacity) {
  std::vector<GradientStop> stops = listed;
  for (GradientStop& stop : stops) {
    stop.offset = std::isfinite(stop.offset) ? std::clamp(stop.offset, 0.0, 1.0) : 0.0;
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const GradientStop& a, const GradientStop& b) { return a.offset < b.offset; });
  // QGradient keeps one colour per position, so stops that share an offset are set a hair apart
  // (far below one step of the gradient's colour table).
  constexpr double apart = 1e-5;
  std::vector<double> offsets;
  for (const GradientStop& stop : stops) {
    offsets.push_back(offsets.empty() ? stop.offset : std::max(stop.offset, offsets.back() + apart));
  }
  for (std::size_t i = offsets.size(); i-- > 0;) {
    offsets[i] = std::min(offsets[i], i + 1 < offsets.size() ? offsets[i + 1] - apart : 1.0);
  }
  QGradientStops out;
  for (std::size_t i = 0; i < stops.size(); ++i) {
    out.append({offsets[i], withAlphaScaled(presetColor(stops[i].color), opacity)});
  }
  return out;
}

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius) {
  QPainterPath path;
  if (rect.isEmpty()) {
    return path;
  }
  // Each corner is three cubic segments that start 1.5287 radii before the corner, so the
  // curvature rises gently from the straight edge instead of jumping to 1/radius.
  constexpr qreal reach = 1.52866483;
  const qreal r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2 / reach);
  if (r <= 0) {
    path.addRect(rect);
    return path;
  }
  // Points of the top-right corner, as (distance left of the right edge, distance below the top).
  struct Offset {
    qreal along, across;
  };
  constexpr Offset curve[] = {
      {1.08849323, 0},          {0.86840689, 0},          {0.63149399, 0.07491100},
      {0.37282392, 0.16905926}, {0.16905926, 0.37282392}, {0.07491100, 0.63149399},
      {0, 0.86840689},          {0, 1.08849323},          {0, reach},
  };
  // One corner at a time, clockwise from the top-right; `at` maps a corner offset to the plane.
  const QPointF corners[] = {rect.topRight(), rect.bottomRight(), rect.bottomLeft(), rect.topLeft()};
  const QPointF inwardAlong[] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
  const QPointF inwardAcross[] = {{0, 1}, {-1, 0}, {0, -1}, {1, 0}};
  for (int c = 0; c < 4; ++c) {
    auto at = [&](qreal along, qreal across) {
      return corners[c] + inwardAlong[c] * along * r + inwardAcross[c] * across * r;
    };
    if (c == 0) {
      path.moveTo(at(reach, 0));
    } else {
      path.lineTo(at(reach, 0));
    }
    for (int i = 0; i < 9; i += 3) {
      path.cubicTo(at(curve[i].along, curve[i].across), at(curve[i + 1].along, curve[i + 1].across),
                   at(curve[i + 2].along, curve[i + 2].across));
    }
  }
  path.closeSubpath();
  return path;
}

QBrush PresetBackground::fill(const QRectF& rect, const OverlayPreset& preset, const RenderOptions& options) {
  if (options.opaque()) {
    QColor color = presetColor(preset.BackgroundColor);
    color.setAlphaF(1);
    return color;
  }
  if (preset.BackgroundMode == "Solid") {
    return withAlphaScaled(presetColor(preset.BackgroundColor), preset.BackgroundOpacity);
  }
  const qreal w = rect.width();
  const qreal h = rect.height();
  if (preset.BackgroundMode == "Linear") {
    const double theta = preset.GradientAngle * std::numbers::pi / 180;
    const qreal dx = 0.5 * std::cos(theta);
    const qreal dy = 0.5 * std::sin(theta);
    QLinearGradient gradient(rect.topLeft() + QPointF(w * (0.5 - dx), h * (0.5 - dy)),
                             rect.topLeft() + QPointF(w * (0.5 + dx), h * (0.5 + dy)));
    gradient.setStops(sortedGradientStops(preset.GradientStops, preset.BackgroundOpacity));
    return gradient;
  }
  // Radial: a circle of radius 1 in a space scaled by (0.85 w, 1.2 h), so that it becomes an
  // ellipse centred at (0.35 w, 0.18 h).
  QRadialGradient gradient(QPointF(0.35 / 0.85, 0.15), 1);
  gradient.setStops(sortedGradientStops(preset.GradientStops, preset.BackgroundOpacity));
  QBrush brush(gradient);
  if (w > 0 && h > 0) {
    brush.setTransform(QTransform::fromScale(0.85 * w, 1.2 * h) *
                       QTransform::fromTranslate(rect.x(), rect.y()));
  }
  return brush;
}

QBrush PresetBackground::sheen(const QRectF& rect) {
  QLinearGradient gradient(rect.topLeft(), rect.topLeft() + QPointF(0.35 * rect.width(), rect.height()));
  gradient.setColorAt(0, presetColor("#38E8E9FF"));
  gradient.setColorAt(0.38, presetColor("#09C8D1FF"));
  gradient.setColorAt(0.68, Qt::transparent);
  gradient.setColorAt(1, presetColor("#0EB0E1FF"));
  return gradient;
}

void PresetBackground::paint(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                             const RenderOptions& options) {
  const QPainterPath shape = continuousRoundedRect(rect, preset.CornerRadius);
  const QBrush fill = PresetBackground::fill(rect, preset, options);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(shape, fill);
  const double sheenOpacity = preset.GlassIntensity * preset.BackgroundOpacity;
  if (sheenOpacity > 0 && !options.opaque()) {
    // The sheen is masked by the fill: where the fill is more transparent, so is the sheen.
    const double alpha = uniformAlpha(fill);
    if (alpha >= 0) {
      painter.setOpacity(painter.opacity() * sheenOpacity * alpha);
      painter.fillPath(shape, sheen(rect));
    } else {
      paintMaskedSheen(painter, rect, shape, fill, sheenOpacity);
    }
  }
  painter.restore();
}

}  // namespace sayloom::ui
