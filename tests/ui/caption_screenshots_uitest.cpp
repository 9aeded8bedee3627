// Screenshots of the four built-in presets at their caption size over the three preview scenes,
// written under the build tree (artifacts/captions) for people to look at. The test checks only
// that the caption covers its place; the pictures are for the eye.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "support/canvas.h"
#include "ui/captions/caption_renderer.h"
#include "ui/captions/preview_backdrop.h"

namespace sayloom::ui {
namespace {

TEST(CaptionScreenshotsTest, BuiltInPresetsOverEveryPreviewScene) {
  const QString folder = test::artifactsDir() + QStringLiteral("/captions");
  QDir().mkpath(folder);
  const CaptionText text{QStringLiteral("좋은 아이디어는 대화에서 시작됩니다."),
                         QStringLiteral("Great ideas begin with a conversation."), QStringLiteral("en")};
  constexpr qreal margin = 40;
  for (const OverlayPreset& preset : OverlayPreset::builtIns()) {
    const QSizeF scene(preset.Width + 2 * margin, preset.Height + 2 * margin);
    QImage sheet(QSizeF(scene.width() * 3, scene.height()).toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    for (std::size_t i = 0; i < PreviewBackdrop::kinds.size(); ++i) {
      const QRectF place(QPointF(scene.width() * static_cast<qreal>(i), 0), scene);
      PreviewBackdrop::paint(painter, place, PreviewBackdrop::kinds[i]);
      CaptionRenderer::paint(painter, place.adjusted(margin, margin, -margin, -margin), preset, text, {});
    }
    painter.end();
    const QString file = folder + QStringLiteral("/%1.png").arg(QString::fromStdString(preset.Id));
    ASSERT_TRUE(sheet.save(file)) << file.toStdString();
    EXPECT_FALSE(sheet.isNull());
  }
}

}  // namespace
}  // namespace sayloom::ui
