#include "ui/inspector/color_well.h"

#include <QColorDialog>
#include <QPainter>
#include <QPainterPath>

#include "core/overlay_preset.h"
#include "ui/inspector/checkerboard.h"

namespace sayloom::ui {

QString argbHex(const QColor& color) {
  const QColor rgb = color.toRgb();
  if (!rgb.isValid()) {
    return QStringLiteral("#FF101827");
  }
  return QString::fromStdString(ARGB{rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()}.argbHex());
}

ColorWell::ColorWell(const QString& title, QWidget* parent) : QToolButton(parent) {
  setAccessibleName(title);
  setToolTip(title);
  setFixedSize(44, 26);
  setCursor(Qt::PointingHandCursor);
  connect(this, &QToolButton::clicked, this, &ColorWell::openDialog);
}

void ColorWell::setColor(const QColor& color) {
  if (color == m_color) {
    return;
  }
  m_color = color;
  if (m_dialog != nullptr && m_dialog->isVisible()) {
    m_dialog->setCurrentColor(color);
  }
  update();
}

void ColorWell::openDialog() {
  if (m_dialog == nullptr) {
    m_dialog = new QColorDialog(this);
    m_dialog->setOptions(QColorDialog::ShowAlphaChannel | QColorDialog::DontUseNativeDialog);
    m_dialog->setWindowTitle(accessibleName());
    connect(m_dialog, &QColorDialog::colorSelected, this, &ColorWell::colorPicked);
  }
  m_dialog->setCurrentColor(m_color);
  m_dialog->open();
}

void ColorWell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
  QPainterPath shape;
  shape.addRoundedRect(frame, 6, 6);
  painter.save();
  painter.setClipPath(shape);
  Checkerboard::paint(painter, frame);
  painter.fillRect(frame, m_color);
  painter.restore();
  const bool focused = hasFocus();
  painter.setPen(QPen(palette().color(focused ? QPalette::Highlight : QPalette::Mid), focused ? 2 : 1));
  painter.drawPath(shape);
}

}  // namespace sayloom::ui
