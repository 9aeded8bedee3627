#pragma once
// Draws one caption in a preset's style: an optional header row ("Sayloom" and "LIVE"), the
// original text and one translation, stacked 12 points apart inside the preset's padding and
// centred vertically, over the preset's background and under its border. The same drawing serves
// the overlay windows, the list swatches and the preview stage, at any size and pixel ratio.
// Stateless. Sizes are in device-independent pixels ("points").
#include <QFont>
#include <QRectF>
#include <QString>
#include <vector>

#include "core/overlay_preset.h"
#include "ui/captions/render_options.h"

class QPainter;
class QPaintDevice;

namespace sayloom::ui {

// The text of one caption: the newest original sentence, its translation (may be empty) and the
// language of that translation as chosen in the application ("en", "ko", ...).
struct CaptionText {
  QString original;
  QString translation;
  QString language;

  bool operator==(const CaptionText&) const = default;
};

// Where the rows of a caption go. A row is present only when the preset shows it and it has text.
struct CaptionLayout {
  enum class Row { header, original, translation };
  struct Placed {
    Row row;
    QRectF rect;
  };
  std::vector<Placed> rows;

  const Placed* find(Row row) const;
};

class CaptionRenderer {
public:
  static constexpr qreal rowSpacing = 12;
  static constexpr qreal headerFontSize = 11;
  static constexpr qreal headerItemSpacing = 7;
  static constexpr qreal headerOpacity = 0.75;
  static constexpr qreal translationScale = 0.78;

  // The whole caption filling `rect`: background, rows, border.
  static void paint(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                    const CaptionText& text, const RenderOptions& options);
  // Everything of `paint` but the background (PresetBackground::paint): the rows and the border.
  // For callers that keep the background, which changes only with the preset, the size and the
  // options, and draw it first themselves.
  static void paintOverBackground(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                                  const CaptionText& text, const RenderOptions& options);

  // The rows' places inside `rect`, measured with the fonts as they resolve on `device`.
  static CaptionLayout layout(const QRectF& rect, const OverlayPreset& preset, const CaptionText& text,
                              const QPaintDevice& device);

  // The outline: `rect`'s rounded shape inset by half the line width, 0.7 points wide or 2 points
  // under increased contrast.
  static void paintBorder(QPainter& painter, const QRectF& rect, const OverlayPreset& preset,
                          const RenderOptions& options);
  static qreal borderWidth(const RenderOptions& options) { return options.increasedContrast ? 2.0 : 0.7; }

  // The fonts as they resolve on `device` (its logical DPI turns points into pixels).
  // The original's: the preset's family when the system has it, else the system font at medium
  // weight; `FontSize` points either way. The stored family name is never changed.
  static QFont originalFont(const OverlayPreset& preset, const QPaintDevice& device);
  // The translation's: the system font at 0.78 times `FontSize`.
  static QFont translationFont(const OverlayPreset& preset, const QPaintDevice& device);
  // The header's: the system font at 11 points.
  static QFont headerFont(QFont::Weight weight, const QPaintDevice& device);

  // The preset shows this translation: translations are on, there is one, and `Languages` is empty
  // or holds its language exactly.
  static bool showsTranslation(const OverlayPreset& preset, const CaptionText& text);
};

}  // namespace sayloom::ui
