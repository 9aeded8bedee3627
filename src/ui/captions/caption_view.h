#pragma once
// A widget that shows one caption in a preset's style (CaptionRenderer), following the desktop's
// accessibility settings: the border widens under increased contrast and the background turns flat
// and opaque when transparency is reduced. It draws its whole rectangle; a translucent top-level
// window around it lets the rounded corners show what lies behind. For assistive technology it
// offers its rows as static texts: the header as "Sayloom 자막", the original and the translation
// as their text. It keeps its drawn background between captions. Main thread only.
#include <QImage>
#include <QWidget>
#include <array>

#include "core/overlay_preset.h"
#include "platform/accessibility_settings.h"
#include "ui/captions/caption_renderer.h"

namespace sayloom::ui {

class CaptionView : public QWidget {
  Q_OBJECT
public:
  // Follows the shared desktop settings.
  explicit CaptionView(QWidget* parent = nullptr);
  explicit CaptionView(platform::AccessibilitySettings& accessibility, QWidget* parent = nullptr);
  ~CaptionView() override;

  const OverlayPreset& preset() const { return m_preset; }
  void setPreset(const OverlayPreset& preset);

  const CaptionText& caption() const { return m_caption; }
  void setCaption(const CaptionText& caption);

  // What the drawing reads from the desktop now (never forced opaque).
  RenderOptions renderOptions() const;
  // Where the rows are, in this widget's coordinates.
  CaptionLayout captionLayout() const;

  QSize sizeHint() const override;

  static inline const QString headerAccessibleName = QStringLiteral("Sayloom 자막");

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  friend class CaptionAccessible;

  platform::AccessibilitySettings* m_accessibility;
  OverlayPreset m_preset;
  CaptionText m_caption;
  // The background as last drawn, at the widget's size and pixel ratio with `m_backgroundOptions`;
  // null after the preset changed. A new caption, the common update, then costs only its text.
  QImage m_background;
  RenderOptions m_backgroundOptions;
  // Ids of the rows' accessibility elements (header, original, translation), 0 until asked for.
  mutable std::array<unsigned, 3> m_rowAccessibleIds{};
};

}  // namespace sayloom::ui
