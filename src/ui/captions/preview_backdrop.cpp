#include "ui/captions/preview_backdrop.h"

#include <QLinearGradient>
#include <QPainter>

namespace sayloom::ui {

namespace {

QLinearGradient topToBottom(const QRectF& rect, const QColor& top, const QColor& bottom) {
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  return gradient;
}

// A desktop crowded with windows, photos and text in many colours.
void paintBusy(QPainter& painter, const QRectF& rect) {
  QLinearGradient sky(rect.topLeft(), rect.bottomRight());
  sky.setColorAt(0, QColor(0xFF, 0x9A, 0x3C));
  sky.setColorAt(0.45, QColor(0xD9, 0x3A, 0x8C));
  sky.setColorAt(1, QColor(0x23, 0x6B, 0xD8));
  painter.fillRect(rect, sky);
  const qreal w = rect.width();
  const qreal h = rect.height();
  auto at = [&](qreal x, qreal y, qreal width, qreal height) {
    return QRectF(rect.left() + x * w, rect.top() + y * h, width * w, height * h);
  };
  // Stripes across the whole scene.
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < 14; ++i) {
    painter.setBrush(QColor::fromHsv((i * 47) % 360, 200, 240, 110));
    painter.drawRect(at(i / 14.0, 0, 0.03, 1));
  }
  // Windows with text lines.
  const QColor windows[] = {QColor(0xFA, 0xFA, 0xF5), QColor(0x1E, 0x26, 0x33), QColor(0xFF, 0xE0, 0x66)};
  const QRectF frames[] = {at(0.05, 0.08, 0.42, 0.5), at(0.38, 0.3, 0.5, 0.55), at(0.7, 0.05, 0.26, 0.4)};
  for (int i = 0; i < 3; ++i) {
    painter.setBrush(windows[i]);
    painter.drawRoundedRect(frames[i], 8, 8);
    painter.setBrush(windows[(i + 1) % 3].darker(i == 1 ? 100 : 160));
    for (int line = 0; line < 7; ++line) {
      const QRectF& f = frames[i];
      painter.drawRect(QRectF(f.left() + 12, f.top() + 16 + line * f.height() / 8,
                              f.width() * (0.4 + 0.08 * ((line * 5 + i) % 7)), f.height() / 20));
    }
  }
  // Round photos.
  for (int i = 0; i < 6; ++i) {
    painter.setBrush(QColor::fromHsv((i * 61 + 20) % 360, 230, 220));
    painter.drawEllipse(at(0.08 + i * 0.15, 0.7 + (i % 2) * 0.12, 0.09, 0.16));
  }
}

}  // namespace

QString PreviewBackdrop::label(Kind kind) {
  switch (kind) {
    case Kind::dark:
      return QStringLiteral("어두운 화면");
    case Kind::light:
      return QStringLiteral("밝은 화면");
    case Kind::busy:
      return QStringLiteral("복잡한 화면");
  }
  return {};
}

void PreviewBackdrop::paint(QPainter& painter, const QRectF& rect, Kind kind) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  switch (kind) {
    case Kind::dark:
      painter.fillRect(rect, topToBottom(rect, QColor(0x0B, 0x10, 0x20), QColor(0x1C, 0x22, 0x3A)));
      break;
    case Kind::light:
      painter.fillRect(rect, topToBottom(rect, QColor(0xF7, 0xF8, 0xFA), QColor(0xE2, 0xE6, 0xEC)));
      break;
    case Kind::busy:
      paintBusy(painter, rect);
      break;
  }
  painter.restore();
}

}  // namespace sayloom::ui
