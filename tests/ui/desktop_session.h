#pragma once
// Driving the real X display of the ui tests (Xvfb with openbox, see scripts/test-services.sh):
// input through xdotool (XTEST), window state through xprop and xwininfo, screen size through
// RandR, and a plain window that counts the clicks it receives.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <ostream>

// Frames in test messages.
inline std::ostream& operator<<(std::ostream& out, const QRect& r) {
  return out << "QRect(" << r.x() << ", " << r.y() << " " << r.width() << "x" << r.height() << ")";
}

namespace sayloom::test {

inline bool onX11() { return QGuiApplication::platformName() == QStringLiteral("xcb"); }

// Runs a tool to its end and returns what it printed; the event loop then catches up with what the
// tool caused. The X server queues those events, so nothing is lost while the tool runs.
inline QString runTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(10000);
  QTest::qWait(30);
  return QString::fromUtf8(process.readAllStandardOutput());
}

inline QString xdotool(const QStringList& arguments) { return runTool(QStringLiteral("xdotool"), arguments); }

inline QString xprop(WId window, const QString& property) {
  return runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), property});
}
inline QString rootProperty(const QString& property) {
  return runTool(QStringLiteral("xprop"), {QStringLiteral("-root"), property});
}

// "IsViewable", "IsUnMapped" or "IsUnviewable", as xwininfo reports the window.
inline QString mapState(WId window) {
  const QString info = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
  const qsizetype at = info.indexOf(QStringLiteral("Map State: "));
  return at < 0 ? QString() : info.mid(at + 11).section(QLatin1Char('\n'), 0, 0).trimmed();
}

// Moves the pointer to a point in Qt's (top-left) screen coordinates.
inline void moveMouse(QPointF point) {
  xdotool(
      {QStringLiteral("mousemove"), QString::number(qRound(point.x())), QString::number(qRound(point.y()))});
}

// Keys held down with xdotool until released, at the latest when the guard ends.
class HeldKeys {
public:
  explicit HeldKeys(QStringList keys) : m_keys(std::move(keys)) {
    xdotool(QStringList{QStringLiteral("keydown")} + m_keys);
  }
  ~HeldKeys() { release(); }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;

  void release() {
    if (!m_keys.isEmpty()) {
      xdotool(QStringList{QStringLiteral("keyup")} + m_keys);
      m_keys.clear();
    }
  }

private:
  QStringList m_keys;
};

// The mouse button held down, released at the latest when the guard ends.
class HeldButton {
public:
  HeldButton() { xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}); }
  ~HeldButton() { release(); }
  HeldButton(const HeldButton&) = delete;
  HeldButton& operator=(const HeldButton&) = delete;

  void release() {
    if (m_down) {
      xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
      m_down = false;
    }
  }

private:
  bool m_down = true;
};

// An ordinary window that counts the presses of the mouse it receives.
class ClickCounter final : public QWidget {
public:
  ClickCounter() { setWindowTitle(QStringLiteral("click counter")); }
  int clicks = 0;

protected:
  void mousePressEvent(QMouseEvent* event) override {
    ++clicks;
    event->accept();
  }
};

}  // namespace sayloom::test
