#pragma once
// The scenes a caption can be previewed over: a dark screen, a light screen and a busy screen full
// of shapes and colours, so a preset's transparency and contrast can be judged. Stateless.
#include <QRectF>
#include <QString>
#include <array>

class QPainter;

namespace sayloom::ui {

class PreviewBackdrop {
public:
  enum class Kind { dark, light, busy };
  static constexpr std::array<Kind, 3> kinds{Kind::dark, Kind::light, Kind::busy};

  // "어두운 화면", "밝은 화면", "복잡한 화면".
  static QString label(Kind kind);
  static void paint(QPainter& painter, const QRectF& rect, Kind kind);
};

}  // namespace sayloom::ui
