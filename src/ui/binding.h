#pragma once
// Binding controls to the parts of the application model, so that what a control shows and what
// it does are written next to it: `follow` refreshes a control from a part now and on every change,
// `bindToggle` and `bindChoice` make two-way links to a property, `onClick` and `onTrigger` name a
// control's command, `driveButton` makes a push button one more face of a shared action, `start`
// lets a model command run on by itself. Controls keep no state of the product; the connections
// end with the control. Main thread only.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoro/QCoroTask>
#include <QIcon>
#include <QObject>
#include <QSignalBlocker>
#include <QString>
#include <functional>
#include <vector>

namespace sayloom::ui {

// Calls `refresh` now and every time `source` emits `changed`, as long as `control` lives.
template <typename Source, typename Signal, typename Refresh>
void follow(QObject* control, Source* source, Signal changed, Refresh refresh) {
  QObject::connect(source, changed, control, refresh);
  refresh();
}

// Starts a model command that awaits; it runs to its end on the main thread by itself (the model's
// commands report their failures in the model, never to the caller).
inline void start(QCoro::Task<void> command) { (void)command; }

template <typename Action>
void onClick(QAbstractButton* button, Action action) {
  QObject::connect(button, &QAbstractButton::clicked, button, [action = std::move(action)] { action(); });
}

template <typename Action>
void onTrigger(QAction* item, Action action) {
  QObject::connect(item, &QAction::triggered, item, [action = std::move(action)] { action(); });
}

// `button` shows `action` (text, icon, tool tip, enabled, checkable, checked) now and on every
// change, and a click triggers it: what the button does and when is decided by the action alone.
inline void driveButton(QAbstractButton* button, QAction* action) {
  const auto refresh = [button, action] {
    const QSignalBlocker quiet(button);
    button->setText(action->text());
    button->setIcon(action->icon());
    button->setToolTip(action->toolTip());
    button->setEnabled(action->isEnabled());
    button->setCheckable(action->isCheckable());
    button->setChecked(action->isChecked());
  };
  follow(button, action, &QAction::changed, refresh);
  // A checkable button has flipped itself by now; the action flips the property and its change
  // sets the button back to what the property holds.
  QObject::connect(button, &QAbstractButton::clicked, action, [action, refresh] {
    action->trigger();
    refresh();
  });
}

// A check box or checkable button showing a boolean property; the user's change calls `set`.
template <typename Source, typename Signal>
void bindToggle(QAbstractButton* button, Source* source, Signal changed, std::function<bool()> get,
                std::function<void(bool)> set) {
  button->setCheckable(true);
  follow(button, source, changed, [button, get] {
    const QSignalBlocker quiet(button);
    button->setChecked(get());
  });
  QObject::connect(button, &QAbstractButton::toggled, button, [set = std::move(set)](bool on) { set(on); });
}

// The same for a checkable menu entry.
template <typename Source, typename Signal>
void bindToggle(QAction* item, Source* source, Signal changed, std::function<bool()> get,
                std::function<void(bool)> set) {
  item->setCheckable(true);
  follow(item, source, changed, [item, get] {
    const QSignalBlocker quiet(item);
    item->setChecked(get());
  });
  QObject::connect(item, &QAction::toggled, item, [set = std::move(set)](bool on) { set(on); });
}

// One option of a picker: the label shown, the value stored, and optionally an icon.
struct Choice {
  QString label;
  QString value;
  QIcon icon = {};
};

// Fills `box` with `choices` (or nothing new when it already holds them).
inline void setChoices(QComboBox* box, const std::vector<Choice>& choices) {
  bool same = box->count() == static_cast<int>(choices.size());
  for (int i = 0; same && i < box->count(); ++i) {
    same = box->itemText(i) == choices[static_cast<std::size_t>(i)].label &&
           box->itemData(i).toString() == choices[static_cast<std::size_t>(i)].value;
  }
  if (same) {
    return;
  }
  const QSignalBlocker quiet(box);
  box->clear();
  for (const Choice& choice : choices) {
    box->addItem(choice.icon, choice.label, choice.value);
  }
}

// Shows the option whose value is `value` (none when no option has it).
inline void showChoice(QComboBox* box, const QString& value) {
  const QSignalBlocker quiet(box);
  box->setCurrentIndex(box->findData(value));
}

// A picker of fixed options showing a text property; the user's pick calls `set` with its value.
template <typename Source, typename Signal>
void bindChoice(QComboBox* box, const std::vector<Choice>& choices, Source* source, Signal changed,
                std::function<QString()> get, std::function<void(const QString&)> set) {
  setChoices(box, choices);
  follow(box, source, changed, [box, get] { showChoice(box, get()); });
  QObject::connect(box, &QComboBox::activated, box,
                   [box, set = std::move(set)](int index) { set(box->itemData(index).toString()); });
}

}  // namespace sayloom::ui
