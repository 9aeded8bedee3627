#pragma once
// The preview stage: the selected preset's caption drawn over a sample screen (a dark, light or
// busy backdrop with a slide's header and large text), the picker of that backdrop, and the hint
// about moving the real overlay windows with Alt+Super held. Main thread only.
#include <QFrame>
#include <QWidget>

#include "ui/captions/caption_renderer.h"
#include "ui/captions/preview_backdrop.h"

namespace sayloom {
class PresetEditor;
}

namespace sayloom::ui {

// The sample screen with the caption, drawn by the caption renderer.
class PreviewCanvas : public QWidget {
  Q_OBJECT
public:
  explicit PreviewCanvas(PresetEditor& presets, QWidget* parent = nullptr);

  PreviewBackdrop::Kind backdrop() const { return m_backdrop; }
  void setBackdrop(PreviewBackdrop::Kind kind);
  // Where the caption is drawn, and at what scale of the preset's own size.
  QRectF captionRect() const;
  qreal captionScale() const;

  static inline const CaptionText sample{QStringLiteral("좋은 아이디어는 대화에서 시작됩니다."),
                                         QStringLiteral("Great ideas begin with a conversation."),
                                         QStringLiteral("en")};
  static inline const QString slideHeader = QStringLiteral("PROJECT / WEEKLY SYNC");
  static inline const QString slideText = QStringLiteral("Ideas become\nwhat comes next.");

  QSize sizeHint() const override { return {420, 260}; }
  QSize minimumSizeHint() const override { return {300, 200}; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  PresetEditor& m_presets;
  PreviewBackdrop::Kind m_backdrop = PreviewBackdrop::Kind::dark;
};

class PreviewStage : public QFrame {
  Q_OBJECT
public:
  explicit PreviewStage(PresetEditor& presets, QWidget* parent = nullptr);
  PreviewCanvas* canvas() const { return m_canvas; }

  static inline const QString hint =
      QStringLiteral("키를 누른 채 실제 자막 창을 이동하거나 크기를 조절하세요.");

private:
  PreviewCanvas* m_canvas;
};

}  // namespace sayloom::ui
