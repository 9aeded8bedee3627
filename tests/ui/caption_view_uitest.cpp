// The caption widget: it draws through the caption renderer with the desktop's settings and
// offers its rows to assistive technology.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "support/canvas.h"
#include "support/temp_dir.h"
#include "ui/captions/caption_view.h"

namespace sayloom::ui {
namespace {

class CaptionViewTest : public ::testing::Test {
protected:
  test::TempDir m_dir;
  // The user's settings file in a scratch folder; no desktop portal and GNOME's defaults.
  test::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_dir / "config").c_str()};
  test::ScopedEnv m_bus{"DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (m_dir / "no-bus").string()).c_str()};
  test::ScopedEnv m_gsettings{"GSETTINGS_BACKEND", "memory"};
  platform::AccessibilitySettings m_accessibility;
  // Translucent, as a overlay window holds it, so that what it draws is all there is.
  CaptionView m_view{m_accessibility};

  CaptionViewTest() { m_view.setAttribute(Qt::WA_TranslucentBackground); }
};

// A linear background from red to blue.
OverlayPreset redToBlue() {
  OverlayPreset preset;
  preset.BackgroundMode = "Linear";
  preset.GradientStops = {{"#FF0000", 0}, {"#0000FF", 1}};
  return preset;
}

QStringList rowNames(CaptionView& view) {
  QStringList names;
  QAccessibleInterface* caption = QAccessible::queryAccessibleInterface(&view);
  for (int i = 0; i < caption->childCount(); ++i) {
    QAccessibleInterface* row = caption->child(i);
    EXPECT_EQ(row->role(), QAccessible::StaticText);
    EXPECT_EQ(caption->indexOfChild(row), i);
    names << row->text(QAccessible::Name);
  }
  return names;
}

TEST_F(CaptionViewTest, OffersTheHeaderAndTheTextsToAssistiveTechnology) {
  platform::AccessibilitySettings accessibility;
  CaptionView view(accessibility);
  view.resize(520, 240);
  OverlayPreset preset;
  view.setPreset(preset);
  view.setCaption({QStringLiteral("안녕하세요"), QStringLiteral("Hello"), QStringLiteral("en")});
  EXPECT_EQ(rowNames(view), (QStringList{QStringLiteral("Sayloom 자막"), QStringLiteral("안녕하세요"),
                                         QStringLiteral("Hello")}));

  preset.ShowHeader = false;
  preset.Languages = {"ja"};
  view.setPreset(preset);
  EXPECT_EQ(rowNames(view), QStringList{QStringLiteral("안녕하세요")});
}

TEST_F(CaptionViewTest, DrawsTheFlatBackgroundWhileTheUserReducesTransparency) {
  CaptionView& view = m_view;
  platform::AccessibilitySettings& accessibility = m_accessibility;
  view.resize(300, 120);
  OverlayPreset preset = redToBlue();
  preset.BackgroundColor = "#336699";
  preset.BackgroundOpacity = 0.5;
  preset.ShowHeader = preset.ShowOriginal = preset.ShowTranslations = false;
  view.setPreset(preset);
  auto centre = [&] {
    const QImage image = view.grab().toImage();
    return test::Premultiplied::of(image.pixelColor(image.width() / 2, image.height() / 2));
  };
  const test::Premultiplied flat = test::Premultiplied::of(QColor(0x33, 0x66, 0x99));
  EXPECT_GT(centre().distance(flat), 50);

  accessibility.setUserReduceTransparency(true);
  EXPECT_TRUE(accessibility.reduceTransparency());
  EXPECT_TRUE(view.renderOptions().reduceTransparency);
  EXPECT_LE(centre().distance(flat), 1);
  EXPECT_TRUE(platform::AccessibilitySettings().userReduceTransparency()) << "the choice is stored";

  accessibility.setUserReduceTransparency(false);
  EXPECT_GT(centre().distance(flat), 50);
}

// The largest difference of one channel between two images of the same size, or 256 when their
// sizes differ.
int largestDifference(const QImage& first, const QImage& second) {
  const QImage a = first.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage b = second.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (a.size() != b.size()) {
    return 256;
  }
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      for (int shift : {0, 8, 16, 24}) {
        largest =
            std::max(largest, std::abs(int((rowA[x] >> shift) & 0xFF) - int((rowB[x] >> shift) & 0xFF)));
      }
    }
  }
  return largest;
}

// The view keeps its drawn background between captions; whatever changes, what it shows is what
// the renderer draws afresh.
TEST_F(CaptionViewTest, ShowsWhatTheRendererDrawsAfterEveryKindOfChange) {
  CaptionView& view = m_view;
  platform::AccessibilitySettings& accessibility = m_accessibility;
  view.resize(420, 180);
  OverlayPreset preset = redToBlue();
  preset.GlassIntensity = 0.6;
  view.setPreset(preset);
  view.setCaption({QStringLiteral("안녕하세요"), QStringLiteral("Hello"), QStringLiteral("en")});

  const struct {
    const char* change;
    std::function<void()> apply;
  } changes[] = {
      {"first drawing", [] {}},
      {"new caption",
       [&] {
         view.setCaption({QStringLiteral("다음 문장입니다"), {}, {}});
       }},
      {"new background colours",
       [&] {
         preset.GradientStops = {{"#00FF00", 0}, {"#FFFF00", 1}};
         view.setPreset(preset);
       }},
      {"new corner radius",
       [&] {
         preset.CornerRadius = 40;
         view.setPreset(preset);
       }},
      {"new size", [&] { view.resize(300, 220); }},
      {"reduced transparency", [&] { accessibility.setUserReduceTransparency(true); }},
      {"transparency again", [&] { accessibility.setUserReduceTransparency(false); }},
  };
  for (const auto& step : changes) {
    step.apply();
    QImage expected(view.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
      QPainter painter(&expected);
      CaptionRenderer::paint(painter, QRectF(view.rect()), view.preset(), view.caption(),
                             view.renderOptions());
    }
    EXPECT_LE(largestDifference(view.grab().toImage(), expected), 1) << step.change;
  }
}

}  // namespace
}  // namespace sayloom::ui
