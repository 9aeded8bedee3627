#pragma once
// A backdrop of 10 x 10 point squares, grey at opacity 0.3 and white at opacity 0.75 in turn, that
// makes transparency visible behind colour swatches and the gradient preview. Main thread only.
#include <QWidget>

namespace sayloom::ui {

class Checkerboard : public QWidget {
  Q_OBJECT
public:
  static constexpr qreal square = 10;

  explicit Checkerboard(QWidget* parent = nullptr);

  // The pattern over `rect`, squares counted from its top-left corner (grey first).
  static void paint(QPainter& painter, const QRectF& rect);

protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace sayloom::ui
