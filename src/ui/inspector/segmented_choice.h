#pragma once
// A row of mutually exclusive buttons, one per stored value ("Solid", "Linear", "Radial"; "Left",
// "Center", "Right"), showing a text or an icon. Main thread only.
#include <QIcon>
#include <QString>
#include <QWidget>
#include <vector>

class QAbstractButton;
class QButtonGroup;

namespace sayloom::ui {

class SegmentedChoice : public QWidget {
  Q_OBJECT
public:
  struct Option {
    QString value;       // what the field stores
    QString label;       // the button's text, and its accessible name
    QString iconName{};  // a theme icon shown instead of the text, when the theme has it
  };

  // `name` names the group for assistive technology.
  SegmentedChoice(const QString& name, std::vector<Option> options, QWidget* parent = nullptr);

  // The stored value from the model; a value with no button leaves none checked. Announces nothing.
  void setCurrent(const QString& value);
  QString current() const;
  QAbstractButton* button(const QString& value) const;

signals:
  void chosen(const QString& value);

private:
  std::vector<Option> m_options;
  QButtonGroup* m_group;
};

}  // namespace sayloom::ui
