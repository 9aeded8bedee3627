#include "ui/inspector/checkerboard.h"

#include <QPainter>
#include <cmath>

namespace sayloom::ui {

Checkerboard::Checkerboard(QWidget* parent) : QWidget(parent) {}

void Checkerboard::paint(QPainter& painter, const QRectF& rect) {
  const QColor grey = QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.3f);
  const QColor white = QColor::fromRgbF(1, 1, 1, 0.75f);
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  const int columns = static_cast<int>(std::ceil(rect.width() / square));
  const int rows = static_cast<int>(std::ceil(rect.height() / square));
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      painter.fillRect(QRectF(rect.left() + column * square, rect.top() + row * square, square, square),
                       (row + column) % 2 == 0 ? grey : white);
    }
  }
  painter.restore();
}

void Checkerboard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint(painter, QRectF(rect()));
}

}  // namespace sayloom::ui
