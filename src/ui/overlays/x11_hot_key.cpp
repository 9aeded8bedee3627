#include "ui/overlays/x11_hot_key.h"

#include <array>

// Xlib last: its macros (None, KeyPress, Bool...) would clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace sayloom::ui {

namespace {

// The error handler is process-wide: it notes errors of the connection being checked and passes
// every other error on to the handler that was installed before.
Display* checkedDisplay = nullptr;
int checkedError = 0;
XErrorHandler previousHandler = nullptr;

int noteError(Display* display, XErrorEvent* error) {
  if (display == checkedDisplay) {
    if (checkedError == 0) {
      checkedError = error->error_code;
    }
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

// Runs `requests` and waits for the server's answer; returns the first error code (0 without).
template <typename Requests>
int checked(Display* display, Requests requests) {
  XSync(display, False);
  checkedDisplay = display;
  checkedError = 0;
  previousHandler = XSetErrorHandler(noteError);
  requests();
  XSync(display, False);
  XSetErrorHandler(previousHandler);
  checkedDisplay = nullptr;
  previousHandler = nullptr;
  return checkedError;
}

// The modifier bit a key symbol is mapped to (0 when it is on no modifier).
unsigned int maskOf(Display* display, KeySym symbol) {
  const KeyCode code = XKeysymToKeycode(display, symbol);
  XModifierKeymap* map = XGetModifierMapping(display);
  unsigned int mask = 0;
  for (int modifier = 0; modifier < 8 && code != 0; ++modifier) {
    for (int k = 0; k < map->max_keypermod; ++k) {
      if (map->modifiermap[modifier * map->max_keypermod + k] == code) {
        mask = 1U << modifier;
      }
    }
  }
  XFreeModifiermap(map);
  return mask;
}

}  // namespace

X11HotKey::X11HotKey(const QByteArray& displayName, QObject* parent) : GlobalHotKey(parent) {
  m_display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
  if (m_display == nullptr) {
    return;
  }
  m_superMask = maskOf(m_display, XK_Super_L);
  if (m_superMask == 0) {
    m_superMask = Mod4Mask;
  }
  m_numLockMask = maskOf(m_display, XK_Num_Lock);
  // A held key then repeats as presses without releases in between, which tells repeats apart.
  XkbSetDetectableAutoRepeat(m_display, True, nullptr);
  m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11HotKey::readEvents);
}

X11HotKey::~X11HotKey() {
  if (m_display != nullptr) {
    m_notifier.reset();
    XCloseDisplay(m_display);  // closing the connection also ends its grabs
  }
}

bool X11HotKey::registerKey(Qt::Key key) {
  unregisterKey();
  if (m_display == nullptr || key < Qt::Key_A || key > Qt::Key_Z) {
    return false;
  }
  const int keycode = XKeysymToKeycode(m_display, XK_a + (key - Qt::Key_A));
  if (keycode == 0) {
    return false;
  }
  if (!grab(keycode, m_superMask | ShiftMask)) {
    // Some variants may have been granted before the refusal: leave nothing behind.
    ungrab(keycode, m_superMask | ShiftMask);
    return false;
  }
  m_keycode = keycode;
  m_down = false;
  return true;
}

void X11HotKey::unregisterKey() {
  if (m_display != nullptr && m_keycode) {
    ungrab(*m_keycode, m_superMask | ShiftMask);
  }
  m_keycode.reset();
}

bool X11HotKey::grab(int keycode, unsigned int modifiers) {
  const std::array<unsigned int, 4> locks{0, LockMask, m_numLockMask, LockMask | m_numLockMask};
  const int error = checked(m_display, [&] {
    for (unsigned int lock : locks) {
      XGrabKey(m_display, keycode, modifiers | lock, DefaultRootWindow(m_display), False, GrabModeAsync,
               GrabModeAsync);
    }
  });
  return error == 0;
}

void X11HotKey::ungrab(int keycode, unsigned int modifiers) {
  const std::array<unsigned int, 4> locks{0, LockMask, m_numLockMask, LockMask | m_numLockMask};
  checked(m_display, [&] {
    for (unsigned int lock : locks) {
      XUngrabKey(m_display, keycode, modifiers | lock, DefaultRootWindow(m_display));
    }
  });
}

void X11HotKey::readEvents() {
  while (XPending(m_display) > 0) {
    XEvent event;
    XNextEvent(m_display, &event);
    const bool key = event.type == KeyPress || event.type == KeyRelease;
    if (!key || !m_keycode || static_cast<int>(event.xkey.keycode) != *m_keycode) {
      continue;
    }
    if (event.type == KeyPress && !m_down) {
      m_down = true;
      emit pressed();
    } else if (event.type == KeyRelease) {
      m_down = false;
    }
  }
}

}  // namespace sayloom::ui
