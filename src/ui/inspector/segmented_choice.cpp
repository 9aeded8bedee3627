#include "ui/inspector/segmented_choice.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

namespace sayloom::ui {

SegmentedChoice::SegmentedChoice(const QString& name, std::vector<Option> options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_group(new QButtonGroup(this)) {
  setAccessibleName(name);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (std::size_t i = 0; i < m_options.size(); ++i) {
    const Option& option = m_options[i];
    auto* button = new QToolButton(this);
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setAccessibleName(option.label);
    button->setToolTip(option.label);
    const QIcon icon = option.iconName.isEmpty() ? QIcon() : QIcon::fromTheme(option.iconName);
    if (icon.isNull()) {
      button->setText(option.label);
      button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    } else {
      button->setIcon(icon);
      button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    m_group->addButton(button, static_cast<int>(i));
    layout->addWidget(button);
  }
  connect(m_group, &QButtonGroup::idClicked, this,
          [this](int id) { emit chosen(m_options[static_cast<std::size_t>(id)].value); });
}

void SegmentedChoice::setCurrent(const QString& value) {
  const QSignalBlocker blocker(m_group);
  QAbstractButton* target = button(value);
  if (target != nullptr) {
    target->setChecked(true);
  } else if (QAbstractButton* checked = m_group->checkedButton()) {
    m_group->setExclusive(false);
    checked->setChecked(false);
    m_group->setExclusive(true);
  }
}

QString SegmentedChoice::current() const {
  const int id = m_group->checkedId();
  return id < 0 ? QString() : m_options[static_cast<std::size_t>(id)].value;
}

QAbstractButton* SegmentedChoice::button(const QString& value) const {
  for (std::size_t i = 0; i < m_options.size(); ++i) {
    if (m_options[i].value == value) {
      return m_group->button(static_cast<int>(i));
    }
  }
  return nullptr;
}

}  // namespace sayloom::ui
