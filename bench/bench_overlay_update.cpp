// Refreshing the overlay windows with a new caption.
//
// Eight enabled presets (the four built-ins and a copy of each with other colours and alignment),
// each with its overlay window, 520 × 240 points. Each iteration has a new caption. Then:
//   BM_OverlayUpdate   OverlayCoordinator::update with the eight presets and the new caption, and
//                      the event loop until the eight windows have been repainted (on the display
//                      the program runs on: the test services' X display, else the offscreen
//                      platform).
//   BM_RenderCaptions  the baseline: CaptionRenderer::paint of the same eight captions into eight
//                      transparent images of the windows' size, nothing more.
// ratio overlay_update = CPU time of BM_OverlayUpdate / CPU time of BM_RenderCaptions, measured
// in the same run. CPU time, because the event loop waits for the display's next frame between
// updates; the whole process's, because Qt's raster engine hands large fills to a thread pool and
// Qt's X connection reads events on its own thread. It is the price of the windows (matching
// presets to windows, placing, showing, the repaint machinery and handing the pixels to the
// display) over the drawing of the captions; the windows keep their drawn backgrounds, so a new
// caption costs them only its text. Lower is better; target <= 1.5.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <vector>

#include "ratio.h"
#include "ui/captions/caption_renderer.h"
#include "ui/captions/caption_view.h"
#include "ui/overlays/overlay_coordinator.h"
#include "ui/overlays/overlay_panel.h"

namespace {

using sayloom::LayoutMap;
using sayloom::OverlayPreset;

std::vector<OverlayPreset> eightPresets() {
  std::vector<OverlayPreset> presets = OverlayPreset::builtIns();
  for (std::size_t i = 0; i < 4; ++i) {
    OverlayPreset copy = presets[i].duplicate();
    copy.BackgroundColor = "#E0203040";
    copy.Alignment = i % 2 == 0 ? "Center" : "Right";
    presets.push_back(copy);
  }
  for (OverlayPreset& preset : presets) {
    preset.IsEnabled = true;
    preset.Width = 520;
    preset.Height = 240;
  }
  return presets;
}

// Two columns of four on a 1280 × 1024 screen: every window fully on it, none covering another.
LayoutMap layoutsFor(const std::vector<OverlayPreset>& presets) {
  LayoutMap layouts;
  for (std::size_t i = 0; i < presets.size(); ++i) {
    const double x = static_cast<double>(i % 2) * 600;
    const double y = static_cast<double>(i / 2) * 256;
    layouts[presets[i].Id] = sayloom::MacLayout{x, y, 520, 240, 1, "1"};
  }
  return layouts;
}

QString captionNumber(std::int64_t n) {
  return QStringLiteral("오늘 회의에서는 다음 분기 계획을 이야기했습니다 %1").arg(n);
}

const QString translation = QStringLiteral("Today we discussed the plan for the next quarter.");

// Counts the paint events of the widgets it watches.
class PaintCounter final : public QObject {
public:
  int paints = 0;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
    }
    return QObject::eventFilter(watched, event);
  }
};

void BM_OverlayUpdate(benchmark::State& state) {
  const std::vector<OverlayPreset> presets = eightPresets();
  const LayoutMap layouts = layoutsFor(presets);
  sayloom::ui::OverlayCoordinator coordinator;
  coordinator.update(presets, captionNumber(0), translation, QStringLiteral("en"), layouts);
  PaintCounter counter;
  for (const OverlayPreset& preset : presets) {
    coordinator.panel(QString::fromStdString(preset.Id))->caption().installEventFilter(&counter);
  }
  const int windows = static_cast<int>(presets.size());
  const auto repainted = [&](int before) {
    while (counter.paints < before + windows) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  };
  repainted(-windows);  // the first exposure
  std::int64_t n = 1;
  for (auto _ : state) {
    const int before = counter.paints;
    coordinator.update(presets, captionNumber(n++), translation, QStringLiteral("en"), layouts);
    repainted(before);
  }
}

void BM_RenderCaptions(benchmark::State& state) {
  const std::vector<OverlayPreset> presets = eightPresets();
  const qreal ratio = qApp->devicePixelRatio();
  std::vector<QImage> images;
  for (std::size_t i = 0; i < presets.size(); ++i) {
    QImage image(QSize(520, 240) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    images.push_back(std::move(image));
  }
  std::int64_t n = 1;
  for (auto _ : state) {
    const sayloom::ui::CaptionText text{captionNumber(n++), translation, QStringLiteral("en")};
    for (std::size_t i = 0; i < presets.size(); ++i) {
      images[i].fill(Qt::transparent);
      QPainter painter(&images[i]);
      sayloom::ui::CaptionRenderer::paint(painter, QRectF(0, 0, 520, 240), presets[i], text, {});
    }
    benchmark::DoNotOptimize(images.data());
  }
}

BENCHMARK(BM_RenderCaptions)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverlayUpdate)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  return sayloom::bench::runAndReport(argc, argv, [](const sayloom::bench::Measurements& m) {
    const auto update = m.find("BM_OverlayUpdate/process_time");
    const auto render = m.find("BM_RenderCaptions/process_time");
    if (update == m.end() || render == m.end() || render->second.cpuSecondsPerIteration <= 0) {
      std::fprintf(stderr, "overlay_update: missing measurement\n");
      return;
    }
    sayloom::bench::printRatio("overlay_update",
                               update->second.cpuSecondsPerIteration / render->second.cpuSecondsPerIteration);
  });
}
