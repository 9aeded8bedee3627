// Drawing one caption against filling the same image with a flat colour.
//
// Subject: CaptionRenderer::paint of a 520 x 240 caption in the built-in glass preset (linear
// gradient whose stops differ in alpha, so the sheen is masked through a layer; header; two lines
// of Korean text), at pixel ratio 1 on the offscreen platform.
// Baseline: QPainter::fillRect of the same 520 x 240 image with one solid colour.
//
//   ratio caption_render = caption seconds / fill seconds   (lower is better)
//
// The line also shows the time per caption, for information; the ratio is the tracked figure.
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>

#include "core/overlay_preset.h"
#include "ratio.h"
#include "ui/captions/caption_renderer.h"

namespace {

using sayloom::ui::CaptionRenderer;
using sayloom::ui::CaptionText;

const QRectF area(0, 0, 520, 240);

QImage& canvas() {
  static QImage image(area.size().toSize(), QImage::Format_ARGB32_Premultiplied);
  return image;
}

const sayloom::OverlayPreset& glassPreset() {
  static const sayloom::OverlayPreset preset = sayloom::OverlayPreset::builtIns().at(1);
  return preset;
}

void BM_SolidFill(benchmark::State& state) {
  for (auto _ : state) {
    QPainter painter(&canvas());
    painter.fillRect(area, QColor(0x14, 0x24, 0x31));
  }
}

void BM_CaptionRender(benchmark::State& state) {
  const CaptionText text{QStringLiteral("좋은 아이디어는 대화에서 시작됩니다."),
                         QStringLiteral("대화 속에서 다음 할 일이 정해집니다."), QStringLiteral("ko")};
  for (auto _ : state) {
    canvas().fill(Qt::transparent);
    QPainter painter(&canvas());
    CaptionRenderer::paint(painter, area, glassPreset(), text, {});
  }
}

BENCHMARK(BM_SolidFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaptionRender)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);
  return sayloom::bench::runAndReport(argc, argv, [](const sayloom::bench::Measurements& m) {
    const auto fill = m.find("BM_SolidFill");
    const auto caption = m.find("BM_CaptionRender");
    if (fill == m.end() || caption == m.end()) {
      return;
    }
    std::printf("ratio caption_render %.4f (%.1f us per caption)\n",
                caption->second.cpuSecondsPerIteration / fill->second.cpuSecondsPerIteration,
                caption->second.cpuSecondsPerIteration * 1e6);
    std::fflush(stdout);
  });
}
