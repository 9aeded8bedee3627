#pragma once
// A global shortcut on X11: XGrabKey on the root window for Super+Shift+key, once for every
// combination of Caps Lock and Num Lock so that they do not stop it. It uses a connection of its
// own to the X server, whose events are read when its socket becomes readable, so a refused grab
// (BadAccess: another client holds the key) is caught by an X error handler during the grab
// instead of ending the process. Main thread only.
#include <QSocketNotifier>
#include <memory>
#include <optional>

#include "ui/overlays/global_hot_key.h"

struct _XDisplay;  // Xlib's Display, kept out of this header so its macros stay out of Qt code

namespace sayloom::ui {

class X11HotKey final : public GlobalHotKey {
  Q_OBJECT
public:
  // Connects to `displayName` (the one the application shows its windows on). Without a
  // connection every registration fails.
  explicit X11HotKey(const QByteArray& displayName, QObject* parent = nullptr);
  ~X11HotKey() override;

  bool registerKey(Qt::Key key) override;
  void unregisterKey() override;

private:
  void readEvents();
  // Grabs (or ungrabs) `keycode` with `modifiers` and every Lock/NumLock variant; false when the
  // server refused any of them.
  bool grab(int keycode, unsigned int modifiers);
  void ungrab(int keycode, unsigned int modifiers);

  _XDisplay* m_display = nullptr;
  std::unique_ptr<QSocketNotifier> m_notifier;
  unsigned int m_superMask = 0;
  unsigned int m_numLockMask = 0;
  std::optional<int> m_keycode;  // the grabbed key
  bool m_down = false;           // the grabbed key is held (a repeat is no new press)
};

}  // namespace sayloom::ui
