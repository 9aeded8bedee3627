#include "ui/overlays/x11_panel.h"

#include <QCoreApplication>
#include <QWindow>
#include <array>

// Xlib last: its macros (None, KeyPress, Bool...) would clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <xcb/xcb.h>

namespace sayloom::ui {

namespace {

constexpr unsigned long allDesktops = 0xFFFFFFFF;
constexpr long netWmStateAdd = 1;
constexpr long sourceIsApplication = 1;

Window nativeWindow(QWidget& window) { return static_cast<Window>(window.winId()); }

// A request to the window manager about a mapped window (EWMH client message to the root).
void sendToWindowManager(Display* display, Window window, Atom type, std::array<long, 5> data) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  for (std::size_t i = 0; i < data.size(); ++i) {
    event.xclient.data.l[i] = data[i];
  }
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
}

// Input everywhere (no input shape), or nowhere (an empty one).
void setInputRegion(Display* display, Window window, bool accepts) {
  if (accepts) {
    XShapeCombineMask(display, window, ShapeInput, 0, 0, None, ShapeSet);
  } else {
    XShapeCombineRectangles(display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  }
}

}  // namespace

X11Panel::X11Panel(Display* display) : m_display(display) {
  int eventBase = 0;
  int errorBase = 0;
  m_haveShape = XShapeQueryExtension(m_display, &eventBase, &errorBase) != 0;
  QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Panel::~X11Panel() { QCoreApplication::instance()->removeNativeEventFilter(this); }

void X11Panel::prepareToMap(QWidget& window) {
  const Window id = nativeWindow(window);
  const Atom desktop = XInternAtom(m_display, "_NET_WM_DESKTOP", False);
  const Atom state = XInternAtom(m_display, "_NET_WM_STATE", False);
  const std::array<Atom, 3> states{XInternAtom(m_display, "_NET_WM_STATE_STICKY", False),
                                   XInternAtom(m_display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                                   XInternAtom(m_display, "_NET_WM_STATE_SKIP_PAGER", False)};
  if (window.isVisible()) {
    // A mapped window belongs to the window manager: ask it.
    sendToWindowManager(m_display, id, desktop,
                        {static_cast<long>(allDesktops), sourceIsApplication, 0, 0, 0});
    sendToWindowManager(
        m_display, id, state,
        {netWmStateAdd, static_cast<long>(states[0]), static_cast<long>(states[1]), sourceIsApplication, 0});
    sendToWindowManager(m_display, id, state,
                        {netWmStateAdd, static_cast<long>(states[2]), 0, sourceIsApplication, 0});
  } else {
    // Before mapping the properties are the client's; Qt adds its own states to these when it maps.
    const unsigned long everyDesktop = allDesktops;
    XChangeProperty(m_display, id, desktop, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&everyDesktop), 1);
    XChangeProperty(m_display, id, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
  }
  XFlush(m_display);
}

void X11Panel::setAcceptsInput(QWidget& window, bool accepts) {
  if (!m_haveShape) {
    window.windowHandle()->setFlag(Qt::WindowTransparentForInput, !accepts);
    return;
  }
  const Window id = nativeWindow(window);
  std::erase_if(m_panels, [](const auto& entry) { return entry.second.widget.isNull(); });
  m_panels[id] = Panel{&window, accepts};
  applyInput(id, accepts, 0);
}

void X11Panel::applyInput(unsigned long window, bool accepts, unsigned long parent) {
  setInputRegion(m_display, window, accepts);
  if (parent == 0) {
    Window root = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(m_display, window, &root, &parent, &children, &count) == 0) {
      parent = 0;
    }
    if (children != nullptr) {
      XFree(children);
    }
  }
  if (parent != 0 && parent != DefaultRootWindow(m_display)) {
    setInputRegion(m_display, parent, accepts);
  }
  XFlush(m_display);
}

bool X11Panel::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") {
    return false;
  }
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) == XCB_REPARENT_NOTIFY) {
    const auto* reparent = static_cast<const xcb_reparent_notify_event_t*>(message);
    if (const auto it = m_panels.find(reparent->window);
        it != m_panels.end() && !it->second.widget.isNull()) {
      applyInput(reparent->window, it->second.accepts, reparent->parent);
    }
  }
  return false;
}

}  // namespace sayloom::ui
