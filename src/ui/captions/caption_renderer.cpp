#include "ui/captions/caption_renderer.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <memory>

#include "ui/captions/preset_background.h"

namespace sayloom::ui {

namespace {

// A font of `pixels` device-independent pixels on `device`.
QFont sized(QFont font, qreal pixels, const QPaintDevice& device) {
  font.setPointSizeF(pixels * 72.0 / std::max(1, device.logicalDpiY()));
  return font;
}

QFont systemFont() { return QFontDatabase::systemFont(QFontDatabase::GeneralFont); }

Qt::Alignment horizontalAlignment(const OverlayPreset& preset) {
  if (preset.Alignment == "Center") {
    return Qt::AlignHCenter;
  }
  if (preset.Alignment == "Right") {
    return Qt::AlignRight;
  }
  return Qt::AlignLeft;
}

// One row, measured: its height and, for the text rows, the wrapped text.
struct MeasuredRow {
  CaptionLayout::Row row;
  qreal height = 0;
  std::unique_ptr<QTextLayout> text;
};

std::unique_ptr<QTextLayout> wrappedText(const QString& text, const QFont& font, Qt::Alignment alignment,
                                         qreal width, const QPaintDevice& device) {
  auto layout = std::make_unique<QTextLayout>(text, font, const_cast<QPaintDevice*>(&device));
  QTextOption option(alignment);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  layout->beginLayout();
  qreal y = 0;
  for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout->endLayout();
  return layout;
}

// The header's waveform mark, a little narrower than tall text.
QSizeF symbolSize(const QFontMetricsF& metrics) {
  const qreal height = metrics.capHeight() * 1.25;
  return {height * 1.2, height};
}

qreal headerHeight(const QPaintDevice& device) {
  const QFontMetricsF metrics(CaptionRenderer::headerFont(QFont::Normal, device), &device);
  return std::max(metrics.height(), symbolSize(metrics).height());
}

std::vector<MeasuredRow> measure(qreal width, const OverlayPreset& preset, const CaptionText& text,
                                 const QPaintDevice& device) {
  std::vector<MeasuredRow> rows;
  const Qt::Alignment alignment = horizontalAlignment(preset);
  auto addText = [&](CaptionLayout::Row row, const QString& content, const QFont& font) {
    MeasuredRow measured{row, 0, wrappedText(content, font, alignment, width, device)};
    measured.height = measured.text->boundingRect().height();
    rows.push_back(std::move(measured));
  };
  if (preset.ShowHeader) {
    rows.push_back({CaptionLayout::Row::header, headerHeight(device), nullptr});
  }
  if (preset.ShowOriginal && !text.original.isEmpty()) {
    addText(CaptionLayout::Row::original, text.original, CaptionRenderer::originalFont(preset, device));
  }
  if (CaptionRenderer::showsTranslation(preset, text)) {
    addText(CaptionLayout::Row::translation, text.translation,
            CaptionRenderer::translationFont(preset, device));
  }
  return rows;
}

// The top of the first row: the stack centred in the padded area.
qreal stackTop(const QRectF& content, const std::vector<MeasuredRow>& rows) {
  qreal total = 0;
  for (const MeasuredRow& row : rows) {
    total += row.height;
  }
  if (!rows.empty()) {
    total += CaptionRenderer::rowSpacing * static_cast<qreal>(rows.size() - 1);
  }
  return content.top() + (content.height() - total) / 2;
}

QRectF contentRect(const QRectF& rect, const OverlayPreset& preset) {
  const qreal padding = preset.Padding;
  return rect.adjusted(padding, padding, -padding, -padding);
}

// Five rounded bars of a sound wave.
void paintWaveform(QPainter& painter, const QRectF& box, const QColor& color) {
  constexpr qreal heights[] = {0.45, 0.8, 1.0, 0.65, 0.35};
  const qreal step = box.width() / 5;
  const qreal bar = step * 0.6;
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  for (int i = 0; i < 5; ++i) {
    const qreal h = box.height() * heights[i];
    const QRectF rect(box.left() + step * i + (step - bar) / 2, box.center().y() - h / 2, bar, h);
    painter.drawRoundedRect(rect, bar / 2, bar / 2);
  }
}

void paintHeader(QPainter& painter, const QRectF& row, const QColor& color, const QPaintDevice& device) {
  const QFont name = CaptionRenderer::headerFont(QFont::DemiBold, device);
  const QFont live = CaptionRenderer::headerFont(QFont::Bold, device);
  const QFontMetricsF nameMetrics(name, &device);
  const QFontMetricsF liveMetrics(live, &device);
  const QSizeF symbol = symbolSize(nameMetrics);
  painter.save();
  painter.setOpacity(painter.opacity() * CaptionRenderer::headerOpacity);
  paintWaveform(painter, QRectF(QPointF(row.left(), row.center().y() - symbol.height() / 2), symbol), color);
  painter.setPen(color);
  const qreal baseline = row.center().y() - nameMetrics.height() / 2 + nameMetrics.ascent();
  painter.setFont(name);
  painter.drawText(QPointF(row.left() + symbol.width() + CaptionRenderer::headerItemSpacing, baseline),
                   QStringLiteral("Sayloom"));
  painter.setFont(live);
  painter.drawText(QPointF(row.right() - liveMetrics.horizontalAdvance(QStringLiteral("LIVE")), baseline),
                   QStringLiteral("LIVE"));
  painter.restore();
}

}  // namespace

const CaptionLayout::Placed* CaptionLayout::find(Row row) const {
  for (const Placed& placed : rows) {
    if (placed.row == row) {
      return &placed;
    }
  }
  return nullptr;
}

QFont CaptionRenderer::originalFont(const OverlayPreset& preset, const QPaintDevice& device) {
  const QString family = QString::fromStdString(preset.FontFamily);
  if (QFontDatabase::hasFamily(family)) {
    return sized(QFont(family), preset.FontSize, device);
  }
  QFont font = systemFont();
  font.setWeight(QFont::Medium);
  return sized(font, preset.FontSize, device);
}

QFont CaptionRenderer::translationFont(const OverlayPreset& preset, const QPaintDevice& device) {
  return sized(systemFont(), preset.FontSize * translationScale, device);
}

QFont CaptionRenderer::headerFont(QFont::Weight weight, const QPaintDevice& device) {
  QFont font = systemFont();
  font.setWeight(weight);
  return sized(font, headerFontSize, device);
}

bool CaptionRenderer::showsTranslation(const OverlayPreset& preset, const CaptionText& text) {
  if (!preset.ShowTranslations || text.translation.isEmpty()) {
    return false;
  }
  return preset.Languages.empty() || std::find(preset.Languages.begin(), preset.Languages.end(),
                                               text.language.toStdString()) != preset.Languages.end();
}

CaptionLayout CaptionRenderer::layout(const QRectF& rect, const OverlayPreset& preset,
                                      const CaptionText& text, const QPaintDevice& device) {
  const QRectF content = contentRect(rect, preset);
  const std::vector<MeasuredRow> rows = measure(content.width(), preset, text, device);
  CaptionLayout layout;
  qreal y = stackTop(content, rows);
  for (const MeasuredRow& row : rows) {
    layout.rows.push_back({row.row, QRectF(content.left(), y, content.width(), row.height)});
    y += row.height + rowSpacing;
  }
  return layout;
}

void CaptionRenderer::paintBorder(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                                  const RenderOptions& options) {
  const qreal width = borderWidth(options);
  const qreal inset = width / 2;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(presetColor(preset.BorderColor), width));
  painter.drawPath(continuousRoundedRect(rect.adjusted(inset, inset, -inset, -inset), preset.CornerRadius));
  painter.restore();
}

void CaptionRenderer::paint(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                            const CaptionText& text, const RenderOptions& options) {
  PresetBackground::paint(painter, rect, preset, options);
  paintOverBackground(painter, rect, preset, text, options);
}

void CaptionRenderer::paintOverBackground(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                                          const CaptionText& text, const RenderOptions& options) {
  painter.save();
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  const QPaintDevice& device = *painter.device();
  const QRectF content = contentRect(rect, preset);
  const std::vector<MeasuredRow> rows = measure(content.width(), preset, text, device);
  const QColor foreground = presetColor(preset.ForegroundColor);
  const QColor translation = presetColor(preset.TranslationColor);
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  qreal y = stackTop(content, rows);
  for (const MeasuredRow& row : rows) {
    if (row.row == CaptionLayout::Row::header) {
      paintHeader(painter, QRectF(content.left(), y, content.width(), row.height), foreground, device);
    } else {
      painter.setPen(row.row == CaptionLayout::Row::translation ? translation : foreground);
      row.text->draw(&painter, QPointF(content.left(), y - row.text->boundingRect().top()));
    }
    y += row.height + rowSpacing;
  }
  painter.restore();
  paintBorder(painter, rect, preset, options);
  painter.restore();
}

}  // namespace sayloom::ui
