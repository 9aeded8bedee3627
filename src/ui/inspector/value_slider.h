#pragma once
// A slider over one numeric preset field with its label and the value as shown: the field times a
// factor (100 for fractions shown in "%", 1 for "°" and "pt"), rounded to a whole number and
// followed by the unit ("50%", "135°", "26pt"). The slider moves in whole shown units. Main thread
// only.
#include <QWidget>

class QLabel;
class QSlider;

namespace sayloom::ui {

class ValueSlider : public QWidget {
  Q_OBJECT
public:
  struct Scale {
    QString unit;
    double factor = 1;
    int minimum = 0;  // in shown units
    int maximum = 100;
  };

  enum class Layout { labelAbove, compact };

  // `label` names the slider for assistive technology and, unless compact, is shown above it.
  ValueSlider(const QString& label, Scale scale, Layout layout = Layout::labelAbove,
              QWidget* parent = nullptr);

  // The field's value from the model; announces nothing.
  void setValue(double value);
  // "%lld" of the rounded shown value followed by the unit.
  QString shownText() const;

  QSlider* slider() const { return m_slider; }
  QLabel* valueLabel() const { return m_value; }
  // Puts `widget` (a numeric field, say) after the slider on its row.
  void addTrailing(QWidget* widget);

signals:
  // The user moved the slider to this field value.
  void valueEdited(double value);

private:
  void display(long long shown);

  Scale m_scale;
  int m_sliderRow = 0;
  QSlider* m_slider;
  QLabel* m_value;
};

}  // namespace sayloom::ui
