#pragma once
// Drawing into a transparent QImage at a chosen device pixel ratio and reading pixels back at
// logical points, for the pixel tests of the caption drawing; and the folder screenshots go to.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <ostream>

namespace sayloom::test {

// A colour with premultiplied components in 0..255, as it is blended.
struct Premultiplied {
  double red = 0, green = 0, blue = 0, alpha = 0;

  static Premultiplied of(const QColor& colour) {
    const double a = colour.alphaF();
    return {colour.redF() * a * 255, colour.greenF() * a * 255, colour.blueF() * a * 255, a * 255};
  }
  // `first` and `second` mixed, `t` of the way to `second`.
  static Premultiplied mix(const Premultiplied& first, const Premultiplied& second, double t) {
    return {first.red + (second.red - first.red) * t, first.green + (second.green - first.green) * t,
            first.blue + (second.blue - first.blue) * t, first.alpha + (second.alpha - first.alpha) * t};
  }
  // `top` laid over `bottom`.
  static Premultiplied over(const Premultiplied& top, const Premultiplied& bottom) {
    const double keep = 1 - top.alpha / 255;
    return {top.red + bottom.red * keep, top.green + bottom.green * keep, top.blue + bottom.blue * keep,
            top.alpha + bottom.alpha * keep};
  }
  Premultiplied scaled(double factor) const {
    return {red * factor, green * factor, blue * factor, alpha * factor};
  }
  double distance(const Premultiplied& other) const {
    return std::max({std::abs(red - other.red), std::abs(green - other.green), std::abs(blue - other.blue),
                     std::abs(alpha - other.alpha)});
  }
};

inline std::ostream& operator<<(std::ostream& out, const Premultiplied& c) {
  return out << "(" << c.red << ", " << c.green << ", " << c.blue << ", a " << c.alpha << ")";
}

class Canvas {
public:
  // The drawing gets a rectangle of `size` that is offset from the image's corner, so that code
  // which forgets the rectangle's origin shows.
  static constexpr QPointF origin{7, 5};

  Canvas(QSizeF size, qreal pixelRatio, const std::function<void(QPainter&, const QRectF&)>& draw)
      : m_ratio(pixelRatio),
        m_image(QSizeF((size.width() + 2 * origin.x()) * pixelRatio,
                       (size.height() + 2 * origin.y()) * pixelRatio)
                    .toSize(),
                QImage::Format_ARGB32_Premultiplied) {
    m_image.setDevicePixelRatio(pixelRatio);
    m_image.fill(Qt::transparent);
    QPainter painter(&m_image);
    draw(painter, QRectF(origin, size));
  }

  // The pixel under `point`, given relative to the drawing's rectangle.
  Premultiplied at(QPointF point) const {
    const QPointF device = (point + origin) * m_ratio;
    return Premultiplied::of(m_image.pixelColor(static_cast<int>(std::floor(device.x())),
                                                static_cast<int>(std::floor(device.y()))));
  }

  const QImage& image() const { return m_image; }
  qreal ratio() const { return m_ratio; }

private:
  qreal m_ratio;
  QImage m_image;
};

// The folder under the build tree that screenshots are written to.
inline QString artifactsDir() {
  const QString dir = QStringLiteral(SAYLOOM_ARTIFACTS_DIR);
  QDir().mkpath(dir);
  return dir;
}

}  // namespace sayloom::test
