#include "ui/inspector/value_slider.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

namespace sayloom::ui {

ValueSlider::ValueSlider(const QString& label, Scale scale, Layout layout, QWidget* parent)
    : QWidget(parent),
      m_scale(std::move(scale)),
      m_slider(new QSlider(Qt::Horizontal, this)),
      m_value(new QLabel(this)) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  if (layout == Layout::labelAbove) {
    auto* title = new QLabel(label, this);
    title->setBuddy(m_slider);
    grid->addWidget(title, 0, 0);
    grid->addWidget(m_value, 0, 1);
    grid->addWidget(m_slider, 1, 0, 1, 2);
    m_sliderRow = 1;
  } else {
    grid->addWidget(m_slider, 0, 0);
    grid->addWidget(m_value, 0, 1);
  }
  m_slider->setAccessibleName(label);
  m_slider->setRange(m_scale.minimum, m_scale.maximum);
  m_value->setMinimumWidth(m_value->fontMetrics().horizontalAdvance(QStringLiteral("0000pt")));
  m_value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connect(m_slider, &QSlider::valueChanged, this, [this](int shown) {
    display(shown);
    emit valueEdited(shown / m_scale.factor);
  });
  display(m_slider->value());
}

void ValueSlider::setValue(double value) {
  const long long shown = std::llround(value * m_scale.factor);
  const QSignalBlocker blocker(m_slider);
  m_slider->setValue(static_cast<int>(shown));
  display(shown);
}

void ValueSlider::addTrailing(QWidget* widget) {
  widget->setParent(this);
  static_cast<QGridLayout*>(layout())->addWidget(widget, m_sliderRow, 2);
}

QString ValueSlider::shownText() const { return m_value->text(); }

void ValueSlider::display(long long shown) { m_value->setText(QString::number(shown) + m_scale.unit); }

}  // namespace sayloom::ui
