// The caption drawing, checked pixel by pixel on images at pixel ratios 1 and 2: the fills, the
// gradients' direction and stop order, the glass sheen and its mask, the opaque background, the
// border, which rows are drawn, and the fonts.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <vector>

#include "support/canvas.h"
#include "ui/captions/caption_renderer.h"
#include "ui/captions/preset_background.h"

namespace sayloom::ui {
namespace {

using test::Canvas;
using test::Premultiplied;

constexpr qreal ratios[] = {1.0, 2.0};
constexpr double tolerance = 4;  // of 255, for antialiasing and 8-bit gradient tables

Premultiplied colour(const char* text, double alphaFactor = 1) {
  return Premultiplied::of(presetColor(text)).scaled(alphaFactor);
}

// A preset whose background is the only thing drawn: no rows, square corners.
OverlayPreset backgroundOnly(const std::string& mode, std::vector<GradientStop> stops = {}) {
  OverlayPreset preset;
  preset.BackgroundMode = mode;
  preset.BackgroundColor = "#336699";
  preset.GradientStops = std::move(stops);
  preset.BackgroundOpacity = 1;
  preset.GlassIntensity = 0;
  preset.CornerRadius = 0;
  preset.ShowHeader = preset.ShowOriginal = preset.ShowTranslations = false;
  return preset;
}

Canvas background(const OverlayPreset& preset, QSizeF size, qreal ratio, RenderOptions options = {}) {
  return Canvas(size, ratio, [&](QPainter& painter, const QRectF& rect) {
    PresetBackground::paint(painter, rect, preset, options);
  });
}

// --- fills -------------------------------------------------------------------------------------

struct SolidCase {
  const char* label;
  const char* color;
  double opacity;
  Premultiplied expected;
};

TEST(BackgroundFillTest, SolidFillsTakeTheColourTimesTheOpacity) {
  const SolidCase cases[] = {
      {"opaque colour at half opacity", "#FF0000", 0.5, colour("#FF0000", 0.5)},
      {"the colour's own alpha counts too", "#80FF0000", 0.5, colour("#FF0000", 0.5 * 0x80 / 255.0)},
      {"full opacity", "#336699", 1, colour("#336699")},
      {"undecodable colour", "not a colour", 0.9, colour("#101827", 0.9)},
  };
  for (const SolidCase& c : cases) {
    for (qreal ratio : ratios) {
      SCOPED_TRACE(testing::Message() << c.label << " @" << ratio);
      OverlayPreset preset = backgroundOnly("Solid");
      preset.BackgroundColor = c.color;
      preset.BackgroundOpacity = c.opacity;
      const Canvas canvas = background(preset, {120, 80}, ratio);
      for (QPointF point : {QPointF(1, 1), QPointF(60, 40), QPointF(118.5, 78.5)}) {
        EXPECT_LE(canvas.at(point).distance(c.expected), tolerance)
            << canvas.at(point) << " at " << point.x();
      }
      EXPECT_EQ(canvas.at({-2, 40}).alpha, 0) << "nothing outside the rectangle";
    }
  }
}

struct GradientPoint {
  QPointF point;
  double t;  // how far along from the first stop's colour to the second's
};

struct LinearCase {
  double angle;
  std::vector<GradientPoint> points;
};

TEST(BackgroundFillTest, LinearGradientsRunAlongTheAngle) {
  // A 200 x 200 square from red (offset 0) to blue (offset 1). At 0 degrees the gradient runs from
  // the left edge to the right, at 90 from the top to the bottom, at 135 from the top-right
  // corner's region to the bottom-left's (the ends lie at 0.5 +- 0.354 of each side).
  const LinearCase cases[] = {
      {0, {{{2, 100}, 0.01}, {{100, 30}, 0.5}, {{198, 170}, 0.99}}},
      {90, {{{100, 2}, 0.01}, {{30, 100}, 0.5}, {{170, 198}, 0.99}}},
      {135, {{{196, 4}, 0}, {{170.7, 29.3}, 0}, {{100, 100}, 0.5}, {{40, 160}, 0.924}, {{4, 196}, 1}}},
  };
  const Premultiplied red = colour("#FF0000");
  const Premultiplied blue = colour("#0000FF");
  for (const LinearCase& c : cases) {
    for (qreal ratio : ratios) {
      SCOPED_TRACE(testing::Message() << c.angle << " degrees @" << ratio);
      OverlayPreset preset = backgroundOnly("Linear", {{"#FF0000", 0}, {"#0000FF", 1}});
      preset.GradientAngle = c.angle;
      const Canvas canvas = background(preset, {200, 200}, ratio);
      for (const GradientPoint& p : c.points) {
        const Premultiplied expected = Premultiplied::mix(red, blue, p.t);
        EXPECT_LE(canvas.at(p.point).distance(expected), tolerance + 2)
            << canvas.at(p.point) << " at (" << p.point.x() << ", " << p.point.y() << "), expected "
            << expected;
      }
    }
  }
}

TEST(BackgroundFillTest, TheRadialGradientIsAnEllipseAroundItsCentre) {
  // 400 x 200: the centre is at (140, 36); the last stop lies 0.85 w = 340 to the side and
  // 1.2 h = 240 below it, so half-way is 170 across or 120 down.
  const Premultiplied white = colour("#FFFFFF");
  const Premultiplied black = colour("#000000");
  const GradientPoint points[] = {
      {{140, 36}, 0}, {{310, 36}, 0.5}, {{140, 156}, 0.5}, {{140 - 85, 36}, 0.25}, {{140, 36 + 60}, 0.25},
  };
  for (qreal ratio : ratios) {
    SCOPED_TRACE(ratio);
    const Canvas canvas =
        background(backgroundOnly("Radial", {{"#FFFFFF", 0}, {"#000000", 1}}), {400, 200}, ratio);
    for (const GradientPoint& p : points) {
      const Premultiplied expected = Premultiplied::mix(white, black, p.t);
      EXPECT_LE(canvas.at(p.point).distance(expected), tolerance + 2)
          << canvas.at(p.point) << " at (" << p.point.x() << ", " << p.point.y() << "), expected "
          << expected;
    }
  }
}

struct StopOrderCase {
  const char* label;
  std::vector<GradientStop> stops;
  Premultiplied left;          // at x = 10 of 200
  Premultiplied beforeMiddle;  // just left of x = 100
  Premultiplied afterMiddle;   // just right of x = 100
};

TEST(BackgroundFillTest, StopsAreDrawnSortedByOffsetAndTiesKeepTheirListOrder) {
  const Premultiplied red = colour("#FF0000");
  const Premultiplied green = colour("#00FF00");
  const Premultiplied blue = colour("#0000FF");
  const Premultiplied white = colour("#FFFFFF");
  const StopOrderCase cases[] = {
      {"unsorted",
       {{"#FFFFFF", 1}, {"#FF0000", 0}, {"#00FF00", 0.5}},
       Premultiplied::mix(red, green, 0.1),
       Premultiplied::mix(red, green, 0.98),
       Premultiplied::mix(green, white, 0.02)},
      {"tie, green listed first",
       {{"#FF0000", 0}, {"#00FF00", 0.5}, {"#0000FF", 0.5}, {"#FFFFFF", 1}},
       Premultiplied::mix(red, green, 0.1),
       Premultiplied::mix(red, green, 0.98),
       Premultiplied::mix(blue, white, 0.02)},
      {"tie, blue listed first",
       {{"#0000FF", 0.5}, {"#FFFFFF", 1}, {"#FF0000", 0}, {"#00FF00", 0.5}},
       Premultiplied::mix(red, blue, 0.1),
       Premultiplied::mix(red, blue, 0.98),
       Premultiplied::mix(green, white, 0.02)},
      {"tie at the end",
       {{"#FF0000", 0}, {"#00FF00", 1}, {"#0000FF", 1}},
       Premultiplied::mix(red, green, 0.05),
       Premultiplied::mix(red, green, 0.49),
       Premultiplied::mix(red, green, 0.51)},
  };
  for (const StopOrderCase& c : cases) {
    for (qreal ratio : ratios) {
      SCOPED_TRACE(testing::Message() << c.label << " @" << ratio);
      OverlayPreset preset = backgroundOnly("Linear", c.stops);
      preset.GradientAngle = 0;
      const Canvas canvas = background(preset, {200, 40}, ratio);
      EXPECT_LE(canvas.at({10, 20}).distance(c.left), tolerance + 2) << canvas.at({10, 20});
      EXPECT_LE(canvas.at({98, 20}).distance(c.beforeMiddle), tolerance + 4) << canvas.at({98, 20});
      EXPECT_LE(canvas.at({102, 20}).distance(c.afterMiddle), tolerance + 4) << canvas.at({102, 20});
    }
  }
}

struct OpaqueCase {
  const char* label;
  RenderOptions options;
};

TEST(BackgroundFillTest, AnOpaqueBackgroundIsTheFlatColourAtFullAlpha) {
  const OpaqueCase cases[] = {
      {"reduce transparency", {.reduceTransparency = true}},
      {"forced opaque", {.forceOpaque = true}},
  };
  OverlayPreset preset = backgroundOnly("Linear", {{"#FF0000", 0}, {"#0000FF", 1}});
  preset.BackgroundColor = "#80336699";
  preset.BackgroundOpacity = 0.5;
  preset.GlassIntensity = 1;
  for (const OpaqueCase& c : cases) {
    for (qreal ratio : ratios) {
      SCOPED_TRACE(testing::Message() << c.label << " @" << ratio);
      const Canvas canvas = background(preset, {200, 100}, ratio, c.options);
      for (QPointF point : {QPointF(1, 1), QPointF(100, 50), QPointF(198, 98)}) {
        EXPECT_LE(canvas.at(point).distance(colour("#336699")), 1) << canvas.at(point);
      }
    }
  }
}

// --- glass sheen -------------------------------------------------------------------------------

TEST(GlassSheenTest, NoGlassDrawsNoSheenAndFullGlassAtHalfOpacityDrawsItAtHalf) {
  // A black fill at opacity 0.5. At the top-left corner the sheen is "#38E8E9FF"; at glass 1 its
  // opacity is glass x opacity = 0.5, and the fill's alpha (0.5) masks it once more.
  for (qreal ratio : ratios) {
    SCOPED_TRACE(ratio);
    OverlayPreset preset = backgroundOnly("Solid");
    preset.BackgroundColor = "#000000";
    preset.BackgroundOpacity = 0.5;
    const Premultiplied fill = colour("#000000", 0.5);

    preset.GlassIntensity = 0;
    EXPECT_LE(background(preset, {200, 100}, ratio).at({0.2, 0.2}).distance(fill), 1);

    preset.GlassIntensity = 1;
    const Premultiplied sheen = colour("#38E8E9FF", 0.5 * 0.5);
    const Premultiplied expected = Premultiplied::over(sheen, fill);
    const Premultiplied seen = background(preset, {200, 100}, ratio).at({0.2, 0.2});
    EXPECT_LE(seen.distance(expected), 2) << seen << ", expected " << expected;
  }
}

TEST(GlassSheenTest, TheSheenIsMaskedByAFillOfChangingAlpha) {
  // A fill from transparent (left) to opaque black (right): the sheen must fade with it, so the
  // left edge stays clear. Elsewhere the picture is the fill with the sheen laid over it at
  // glass x opacity x the fill's alpha there.
  OverlayPreset preset = backgroundOnly("Linear", {{"#00000000", 0}, {"#FF000000", 1}});
  preset.GradientAngle = 0;
  preset.GlassIntensity = 0.8;
  for (qreal ratio : ratios) {
    SCOPED_TRACE(ratio);
    const QSizeF size(200, 100);
    const Canvas drawn = background(preset, size, ratio);
    OverlayPreset noGlass = preset;
    noGlass.GlassIntensity = 0;
    const Canvas fill = background(noGlass, size, ratio);
    const Canvas sheen(size, ratio, [](QPainter& painter, const QRectF& rect) {
      painter.fillRect(rect, PresetBackground::sheen(rect));
    });
    EXPECT_LE(drawn.at({0.2, 0.2}).alpha, 2);
    for (QPointF point : {QPointF(50, 2), QPointF(120, 10), QPointF(190, 2), QPointF(100, 60)}) {
      const Premultiplied under = fill.at(point);
      const Premultiplied expected =
          Premultiplied::over(sheen.at(point).scaled(0.8 * under.alpha / 255), under);
      EXPECT_LE(drawn.at(point).distance(expected), 2)
          << drawn.at(point) << " at " << point.x() << ", expected " << expected;
    }
  }
}

TEST(GlassSheenTest, TheBackgroundFollowsTheRoundedCorners) {
  OverlayPreset preset = backgroundOnly("Solid");
  preset.CornerRadius = 20;
  preset.GlassIntensity = 1;
  for (qreal ratio : ratios) {
    const Canvas canvas = background(preset, {200, 100}, ratio);
    EXPECT_EQ(canvas.at({0.5, 0.5}).alpha, 0) << "the corner is cut off";
    EXPECT_EQ(canvas.at({199.5, 99.5}).alpha, 0);
    EXPECT_GT(canvas.at({100, 0.5}).alpha, 200) << "the straight edges are not";
  }
}

// --- border ------------------------------------------------------------------------------------

TEST(CaptionBorderTest, IsThinOrTwoPointsUnderIncreasedContrastInsideTheRectangle) {
  // The coverage of the border across the left edge, summed over device pixels, is its width in
  // device pixels; it lies wholly inside the rectangle.
  OverlayPreset preset = backgroundOnly("Solid");
  preset.BackgroundOpacity = 0;
  preset.BorderColor = "#FFFFFF";
  preset.CornerRadius = 20;
  for (bool increased : {false, true}) {
    for (qreal ratio : ratios) {
      SCOPED_TRACE(testing::Message() << (increased ? "increased contrast" : "normal") << " @" << ratio);
      const RenderOptions options{.increasedContrast = increased};
      const Canvas canvas(QSizeF(200, 100), ratio, [&](QPainter& painter, const QRectF& rect) {
        CaptionRenderer::paint(painter, rect, preset, {}, options);
      });
      double inside = 0;
      double outside = 0;
      for (int x = -4; x < 8 * ratio; ++x) {
        (x < 0 ? outside : inside) += canvas.at({x / ratio, 50}).alpha / 255;
      }
      EXPECT_NEAR(inside + outside, (increased ? 2.0 : 0.7) * ratio, 0.12);
      // Only antialiasing may spill over the edge, never half the line.
      EXPECT_LT(outside, 0.15);
    }
  }
}

// --- rows --------------------------------------------------------------------------------------

OverlayPreset captionPreset() {
  OverlayPreset preset;
  preset.BackgroundColor = "#000000";
  preset.BackgroundOpacity = 1;
  preset.ForegroundColor = "#00FF00";
  preset.TranslationColor = "#FF0000";
  preset.BorderColor = "#000000";
  return preset;
}

const CaptionText sample{QStringLiteral("좋은 아이디어는 대화에서 시작됩니다."),
                         QStringLiteral("Great ideas begin with a conversation."), QStringLiteral("en")};

Canvas caption(const OverlayPreset& preset, const CaptionText& text, qreal ratio = 1,
               QSizeF size = {520, 240}) {
  return Canvas(size, ratio, [&](QPainter& painter, const QRectF& rect) {
    CaptionRenderer::paint(painter, rect, preset, text, {});
  });
}

// How many pixels are mostly red: translation text drawn in "#FF0000" on black.
int reddish(const Canvas& canvas) {
  int count = 0;
  for (int y = 0; y < canvas.image().height(); ++y) {
    for (int x = 0; x < canvas.image().width(); ++x) {
      const QColor c = canvas.image().pixelColor(x, y);
      count += c.red() > 120 && c.green() < 60 ? 1 : 0;
    }
  }
  return count;
}

TEST(CaptionRowsTest, WithEveryRowOffOnlyTheBackgroundAndBorderAreDrawn) {
  OverlayPreset preset = captionPreset();
  preset.BorderColor = "#FFFFFF";
  preset.GlassIntensity = 0.5;
  preset.ShowHeader = preset.ShowOriginal = preset.ShowTranslations = false;
  for (qreal ratio : ratios) {
    const Canvas drawn = caption(preset, sample, ratio);
    const Canvas expected(QSizeF(520, 240), ratio, [&](QPainter& painter, const QRectF& rect) {
      PresetBackground::paint(painter, rect, preset, {});
      CaptionRenderer::paintBorder(painter, rect, preset, {});
    });
    EXPECT_EQ(drawn.image(), expected.image());
  }
}

struct TranslationCase {
  const char* label;
  std::vector<std::string> languages;
  QString translation;
  QString language;
  bool shown;
};

TEST(CaptionRowsTest, TheTranslationIsShownOnlyForTheChosenLanguages) {
  const TranslationCase cases[] = {
      {"filter en, language ja", {"en"}, QStringLiteral("こんにちは"), QStringLiteral("ja"), false},
      {"filter en, language en", {"en"}, QStringLiteral("Hello there"), QStringLiteral("en"), true},
      {"no filter shows every language", {}, QStringLiteral("こんにちは"), QStringLiteral("ja"), true},
      {"an empty translation has no row", {}, QString(), QStringLiteral("en"), false},
  };
  OverlayPreset withoutTranslations = captionPreset();
  withoutTranslations.ShowTranslations = false;
  for (const TranslationCase& c : cases) {
    SCOPED_TRACE(c.label);
    OverlayPreset preset = captionPreset();
    preset.Languages = c.languages;
    const CaptionText text{QStringLiteral("원문"), c.translation, c.language};
    const Canvas drawn = caption(preset, text);
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    const CaptionLayout layout = CaptionRenderer::layout(QRectF(0, 0, 520, 240), preset, text, probe);
    EXPECT_EQ(layout.find(CaptionLayout::Row::translation) != nullptr, c.shown);
    if (c.shown) {
      EXPECT_GT(reddish(drawn), 20);
    } else {
      // No row at all: not even its spacing moves the other rows.
      EXPECT_EQ(drawn.image(), caption(withoutTranslations, text).image());
    }
  }
}

TEST(CaptionRowsTest, RowsStack12PointsApartCentredInsideThePadding) {
  OverlayPreset preset = captionPreset();
  preset.Padding = 30;
  QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
  const QRectF rect(10, 20, 520, 300);
  const CaptionLayout layout = CaptionRenderer::layout(rect, preset, sample, probe);
  ASSERT_EQ(layout.rows.size(), 3U);
  EXPECT_EQ(layout.rows[0].row, CaptionLayout::Row::header);
  EXPECT_EQ(layout.rows[1].row, CaptionLayout::Row::original);
  EXPECT_EQ(layout.rows[2].row, CaptionLayout::Row::translation);
  for (std::size_t i = 1; i < layout.rows.size(); ++i) {
    EXPECT_DOUBLE_EQ(layout.rows[i].rect.top() - layout.rows[i - 1].rect.bottom(), 12);
  }
  EXPECT_NEAR(layout.rows.front().rect.top() - rect.top(), rect.bottom() - layout.rows.back().rect.bottom(),
              0.01);
  for (const CaptionLayout::Placed& placed : layout.rows) {
    EXPECT_DOUBLE_EQ(placed.rect.left(), rect.left() + 30);
    EXPECT_DOUBLE_EQ(placed.rect.width(), 520 - 60);
  }
  // The translation is 0.78 of the original's size, and a long one wraps instead of being cut.
  EXPECT_LT(layout.rows[2].rect.height(), layout.rows[1].rect.height());
  const CaptionText longer{sample.original, sample.translation.repeated(4), sample.language};
  const CaptionLayout wrapped = CaptionRenderer::layout(rect, preset, longer, probe);
  EXPECT_GT(wrapped.rows[2].rect.height(), 2.5 * layout.rows[2].rect.height());
}

struct AlignmentCase {
  const char* alignment;
  double inkLeft, inkRight;  // where the original's ink must start or end, within 3 points
};

TEST(CaptionRowsTest, TextIsAlignedAsThePresetSays) {
  // Padding 22: the content runs from x = 22 to 498.
  const AlignmentCase cases[] = {{"Left", 22, -1}, {"Right", -1, 498}, {"Center", -1, -1}, {"bogus", 22, -1}};
  for (const AlignmentCase& c : cases) {
    SCOPED_TRACE(c.alignment);
    OverlayPreset preset = captionPreset();
    preset.Alignment = c.alignment;
    preset.ShowHeader = preset.ShowTranslations = false;
    const Canvas drawn = caption(preset, {QStringLiteral("자막 ABC"), {}, {}});
    int left = 10000, right = -1;
    for (int y = 0; y < drawn.image().height(); ++y) {
      for (int x = 0; x < drawn.image().width(); ++x) {
        if (drawn.image().pixelColor(x, y).green() > 100) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
      }
    }
    left -= static_cast<int>(Canvas::origin.x());
    right -= static_cast<int>(Canvas::origin.x());
    ASSERT_GE(right, 0) << "no text drawn";
    if (c.inkLeft >= 0) {
      EXPECT_NEAR(left, c.inkLeft, 3);
    }
    if (c.inkRight >= 0) {
      EXPECT_NEAR(right, c.inkRight, 3);
    }
    if (c.inkLeft < 0 && c.inkRight < 0) {
      EXPECT_NEAR((left + right) / 2.0, 260, 3);
    }
  }
}

// --- fonts -------------------------------------------------------------------------------------

TEST(CaptionFontsTest, AMissingFamilyFallsBackToTheSystemFontAtMediumWeight) {
  QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
  const QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  for (const char* family : {"Malgun Gothic", "No Such Family 7f3a"}) {
    SCOPED_TRACE(family);
    OverlayPreset preset;
    preset.FontFamily = family;
    preset.FontSize = 30;
    const QFont font = CaptionRenderer::originalFont(preset, device);
    EXPECT_EQ(font.family(), system.family());
    EXPECT_EQ(font.weight(), QFont::Medium);
    EXPECT_NEAR(QFontInfo(font).pixelSize(), 30, 1);
    EXPECT_EQ(preset.FontFamily, family) << "the stored name is kept";
  }
  ASSERT_TRUE(QFontDatabase::hasFamily(QStringLiteral("Noto Sans CJK KR"))) << "fonts-noto-cjk is missing";
  OverlayPreset installed;
  installed.FontFamily = "Noto Sans CJK KR";
  installed.FontSize = 20;
  const QFont font = CaptionRenderer::originalFont(installed, device);
  EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Noto Sans CJK KR"));
  EXPECT_NEAR(CaptionRenderer::translationFont(installed, device).pointSizeF(), font.pointSizeF() * 0.78,
              0.01);
}

TEST(CaptionFontsTest, KoreanTextHasAFontThatDrawsIt) {
  QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
  OverlayPreset preset;  // "Malgun Gothic": the system font serves
  const QRawFont raw =
      QRawFont::fromFont(CaptionRenderer::originalFont(preset, device), QFontDatabase::Korean);
  ASSERT_TRUE(raw.isValid());
  for (char32_t c : U"좋은아이디어") {
    if (c != 0) {
      EXPECT_TRUE(raw.supportsCharacter(static_cast<uint>(c))) << static_cast<unsigned>(c);
    }
  }
}

}  // namespace
}  // namespace sayloom::ui
