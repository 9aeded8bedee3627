// The preview stage: a sample screen with the selected preset's caption, and its backdrop picker.
#include "ui/studio/preview_stage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/presets/preset_editor.h"
#include "platform/accessibility_settings.h"
#include "ui/binding.h"
#include "ui/studio/studio_style.h"

namespace sayloom::ui {

namespace {
constexpr qreal margin = 18;
}

PreviewCanvas::PreviewCanvas(PresetEditor& presets, QWidget* parent) : QWidget(parent), m_presets(presets) {
  setAccessibleName(QStringLiteral("오버레이 미리보기"));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  const auto redraw = [this] {
    setAccessibleDescription(sample.original + QLatin1Char('\n') + sample.translation);
    update();
  };
  follow(this, &presets, &PresetEditor::presetsChanged, redraw);
  follow(this, &presets, &PresetEditor::selectedPresetIDChanged, redraw);
  follow(this, &platform::AccessibilitySettings::shared(), &platform::AccessibilitySettings::changed, redraw);
}

void PreviewCanvas::setBackdrop(PreviewBackdrop::Kind kind) {
  m_backdrop = kind;
  update();
}

qreal PreviewCanvas::captionScale() const {
  const OverlayPreset& preset = m_presets.selectedPreset();
  const qreal room = height() * 0.62;
  return std::min({1.0, (width() - 2 * margin) / preset.Width, room / preset.Height});
}

QRectF PreviewCanvas::captionRect() const {
  const OverlayPreset& preset = m_presets.selectedPreset();
  const qreal scale = captionScale();
  const QSizeF size(preset.Width * scale, preset.Height * scale);
  return {QPointF((width() - size.width()) / 2, height() - margin - size.height()), size};
}

void PreviewCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area(rect());
  QPainterPath clip;
  clip.addRoundedRect(area, 10, 10);
  painter.setClipPath(clip);
  PreviewBackdrop::paint(painter, area, m_backdrop);

  // A slide on the sample screen: its header and large text.
  const QColor ink =
      m_backdrop == PreviewBackdrop::Kind::light ? QColor(0x1d, 0x23, 0x2e) : QColor(Qt::white);
  QFont header = font();
  header.setPointSizeF(8);
  header.setBold(true);
  header.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
  painter.setFont(header);
  painter.setPen(ink);
  painter.drawText(area.adjusted(margin, margin, -margin, 0), Qt::AlignLeft | Qt::AlignTop, slideHeader);
  QFont large = font();
  large.setPointSizeF(20);
  large.setWeight(QFont::Bold);
  painter.setFont(large);
  painter.drawText(area.adjusted(margin, margin + 20, -margin, 0), Qt::AlignLeft | Qt::AlignTop, slideText);

  // The caption at the preset's own size, scaled down to fit the stage.
  const OverlayPreset& preset = m_presets.selectedPreset();
  const platform::AccessibilitySettings& accessibility = platform::AccessibilitySettings::shared();
  const RenderOptions options{.increasedContrast = accessibility.increasedContrast(),
                              .reduceTransparency = accessibility.reduceTransparency(),
                              .forceOpaque = false};
  const QRectF target = captionRect();
  painter.translate(target.topLeft());
  painter.scale(captionScale(), captionScale());
  CaptionRenderer::paint(painter, QRectF(0, 0, preset.Width, preset.Height), preset, sample, options);
}

PreviewStage::PreviewStage(PresetEditor& presets, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("card"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 12, 14, 12);

  auto* header = new QHBoxLayout;
  layout->addLayout(header);
  header->addWidget(makeHeading(QStringLiteral("오버레이 미리보기")));
  header->addStretch();
  auto* backdrop = new QComboBox(this);
  for (PreviewBackdrop::Kind kind : PreviewBackdrop::kinds) {
    backdrop->addItem(PreviewBackdrop::label(kind), static_cast<int>(kind));
  }
  header->addWidget(makeFieldLabel(QStringLiteral("미리보기 배경"), backdrop, this));
  header->addWidget(backdrop);

  m_canvas = new PreviewCanvas(presets, this);
  layout->addWidget(m_canvas, 1);
  // The backdrop is the stage's own choice, not the product's.
  connect(backdrop, &QComboBox::activated, m_canvas, [this, backdrop](int index) {
    m_canvas->setBackdrop(static_cast<PreviewBackdrop::Kind>(backdrop->itemData(index).toInt()));
  });

  auto* hintRow = new QHBoxLayout;
  layout->addLayout(hintRow);
  auto* hintLabel = makeCaption(hint, this);
  hintRow->addWidget(hintLabel, 1);
  hintRow->addWidget(makeKeyCap(QStringLiteral("Alt"), this));
  hintRow->addWidget(makeKeyCap(QStringLiteral("Super"), this));
}

}  // namespace sayloom::ui
