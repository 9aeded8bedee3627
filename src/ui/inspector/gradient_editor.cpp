#include "ui/inspector/gradient_editor.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>

#include "app/presets/preset_editor.h"
#include "ui/captions/preset_background.h"
#include "ui/inspector/checkerboard.h"
#include "ui/inspector/color_well.h"
#include "ui/inspector/value_slider.h"

namespace sayloom::ui {

// The gradient from left to right over the checkerboard, at the stops' own alpha.
class GradientStrip : public QWidget {
public:
  explicit GradientStrip(QWidget* parent) : QWidget(parent) {
    setAccessibleName(GradientEditor::stripName);
    setFixedHeight(28);
  }

  void setStops(const std::vector<GradientStop>& stops) {
    if (stops != m_stops) {
      m_stops = stops;
      update();
    }
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, 7, 7);
    painter.setClipPath(shape);
    Checkerboard::paint(painter, frame);
    QLinearGradient gradient(frame.topLeft(), frame.topRight());
    gradient.setStops(sortedGradientStops(m_stops, 1));
    painter.fillRect(frame, gradient);
    painter.setClipping(false);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawPath(shape);
  }

private:
  std::vector<GradientStop> m_stops;
};

GradientEditor::GradientEditor(PresetEditor& editor, QWidget* parent)
    : QWidget(parent),
      m_editor(editor),
      m_strip(new GradientStrip(this)),
      m_rowsLayout(new QVBoxLayout()),
      m_add(
          new QPushButton(QIcon::fromTheme(QStringLiteral("list-add")), QStringLiteral("색상 추가"), this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_strip);
  m_rowsLayout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(m_rowsLayout);
  layout->addWidget(m_add, 0, Qt::AlignLeft);
  connect(m_add, &QPushButton::clicked, this, [this] { m_editor.addGradientStop(); });
  refresh();
}

GradientEditor::StopRow GradientEditor::makeRow(std::size_t index) {
  const QString number = QString::number(index + 1);
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  StopRow stop{row, new ColorWell(QStringLiteral("색상 %1").arg(number), row),
               new ValueSlider(QStringLiteral("색상 %1 위치").arg(number), {QStringLiteral("%"), 100, 0, 100},
                               ValueSlider::Layout::compact, row),
               new QToolButton(row)};
  stop.remove->setIcon(QIcon::fromTheme(QStringLiteral("list-remove")));
  if (stop.remove->icon().isNull()) {
    stop.remove->setText(QStringLiteral("−"));
  }
  stop.remove->setAccessibleName(QStringLiteral("색상 %1 삭제").arg(number));
  stop.remove->setToolTip(stop.remove->accessibleName());
  layout->addWidget(stop.well);
  layout->addWidget(stop.position, 1);
  layout->addWidget(stop.remove);
  connect(stop.well, &ColorWell::colorPicked, this, [this, index](const QColor& color) {
    editStop(index, [&](GradientStop& s) { s.color = argbHex(color).toStdString(); });
  });
  connect(stop.position, &ValueSlider::valueEdited, this,
          [this, index](double offset) { editStop(index, [&](GradientStop& s) { s.offset = offset; }); });
  connect(stop.remove, &QToolButton::clicked, this, [this, index] { m_editor.removeGradientStop(index); });
  return stop;
}

void GradientEditor::editStop(std::size_t index, const std::function<void(GradientStop&)>& change) {
  std::vector<GradientStop> stops = m_editor.selectedPreset().GradientStops;
  if (index < stops.size()) {
    change(stops[index]);
    m_editor.binding(&OverlayPreset::GradientStops).set(std::move(stops));
  }
}

void GradientEditor::refresh() {
  const std::vector<GradientStop>& stops = m_editor.selectedPreset().GradientStops;
  while (m_rows.size() > stops.size()) {
    // Later: the row's own remove button may be the one whose click is being handled.
    m_rows.back().row->hide();
    m_rows.back().row->deleteLater();
    m_rows.pop_back();
  }
  while (m_rows.size() < stops.size()) {
    m_rows.push_back(makeRow(m_rows.size()));
    m_rowsLayout->addWidget(m_rows.back().row);
  }
  const bool removable = m_editor.canRemoveGradientStop();
  for (std::size_t i = 0; i < stops.size(); ++i) {
    m_rows[i].well->setColor(presetColor(stops[i].color));
    m_rows[i].position->setValue(stops[i].offset);
    m_rows[i].remove->setEnabled(removable);
  }
  m_add->setEnabled(m_editor.canAddGradientStop());
  m_strip->setStops(stops);
}

}  // namespace sayloom::ui
