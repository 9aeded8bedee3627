#pragma once
// A button that shows a colour over the checkerboard and, when pressed, opens the colour dialog
// (alpha included) at that colour; the colour chosen there is announced. Main thread only.
#include <QColor>
#include <QToolButton>

class QColorDialog;

namespace sayloom::ui {

// "#AARRGGBB" of a colour in sRGB; a colour that cannot be converted gives "#FF101827".
QString argbHex(const QColor& color);

class ColorWell : public QToolButton {
  Q_OBJECT
public:
  // `title` is the well's accessible name and the dialog's title.
  explicit ColorWell(const QString& title, QWidget* parent = nullptr);

  const QColor& color() const { return m_color; }
  void setColor(const QColor& color);

  // The colour dialog while it is open (or was opened), else null.
  QColorDialog* dialog() const { return m_dialog; }

signals:
  void colorPicked(const QColor& color);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void openDialog();

  QColor m_color;
  QColorDialog* m_dialog = nullptr;
};

}  // namespace sayloom::ui
