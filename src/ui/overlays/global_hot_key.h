#pragma once
// The system-wide shortcut Super+Shift+<letter> that hides and shows the overlay windows. On X11 it
// is a key grab on the root window (see X11HotKey); elsewhere there is no such service and every
// registration fails. Main thread only.
#include <QObject>
#include <memory>

namespace sayloom::ui {

class GlobalHotKey : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;

  // Drops the key registered before, then registers Super+Shift+`key` (a letter, Qt::Key_A to
  // Qt::Key_Z). False when the window system refuses it (another client holds it, no X11); no
  // key is registered then.
  virtual bool registerKey(Qt::Key key) = 0;
  // Drops the registered key, if any.
  virtual void unregisterKey() = 0;

  // The X11 grab when the application runs on X11, otherwise a stand-in that always refuses.
  static std::unique_ptr<GlobalHotKey> forApplication();

signals:
  // Once per press of the registered key (held keys do not repeat).
  void pressed();
};

}  // namespace sayloom::ui
