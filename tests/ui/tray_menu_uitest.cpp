// The tray icon and its menu: the entries in order, what each runs, the header and icon following
// the recording; and on the test display with a real XEmbed tray host (trayer), the icon standing
// in the tray, turning red when a recording starts on the sound server's sine source, and its menu
// opening from a right click.
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "desktop_session.h"
#include "support/studio_fixture.h"
#include "ui/icons/icons.h"
#include "ui/tray/tray_menu.h"

// Last: its macros (None, Bool ...) would break the Qt headers.
#include <X11/Xlib.h>

namespace sayloom::test {
namespace {

// The visible entries, separators as "—".
QStringList entriesOf(const QMenu* menu) {
  QStringList entries;
  for (const QAction* action : menu->actions()) {
    if (action->isVisible()) {
      entries << (action->isSeparator() ? QStringLiteral("—") : action->text());
    }
  }
  return entries;
}

QImage imageOf(const QIcon& icon) { return icon.pixmap(32, 32).toImage(); }

class TrayMenuTest : public StudioTest {
protected:
  ui::TrayMenu& makeTray() {
    if (!m_model) {
      makeStudio();
    }
    if (!m_actions) {
      m_actions =
          std::make_unique<ui::AppActions>(*m_model, ui::AppActions::Shell{[] {}, [this] { ++m_quits; }});
    }
    m_tray = std::make_unique<ui::TrayMenu>(*m_model, *m_actions, [this] { ++m_opened; });
    return *m_tray;
  }
  ~TrayMenuTest() override { m_tray.reset(); }

  QAction* entry(const QString& text) const {
    for (QAction* action : m_tray->menu()->actions()) {
      if (action->text() == text) {
        return action;
      }
    }
    ADD_FAILURE() << "no entry " << text.toStdString();
    return nullptr;
  }

  std::unique_ptr<ui::TrayMenu> m_tray;
  int m_opened = 0;
};

TEST_F(TrayMenuTest, EntriesTopToBottom) {
  ui::TrayMenu& tray = makeTray();
  EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("Sayloom"));
  EXPECT_EQ(
      entriesOf(tray.menu()),
      (QStringList{QStringLiteral("로컬 작업 공간"), QStringLiteral("기기에서 안전하게 기록하세요"),
                   QStringLiteral("—"), QStringLiteral("Sayloom Studio 열기"), QStringLiteral("녹음 시작"),
                   QStringLiteral("—"), QStringLiteral("모든 오버레이 숨기기"),
                   QStringLiteral("오버레이 편집"), QStringLiteral("모든 오버레이 화면 안으로 이동"),
                   QStringLiteral("—"), QStringLiteral("종료")}));
  EXPECT_EQ(entry(QStringLiteral("종료"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_FALSE(entry(QStringLiteral("로컬 작업 공간"))->isEnabled());

  m_cloud->signInAs({"uid-1", "mina@example.com", "Mina"}, {});
  EXPECT_EQ(entriesOf(tray.menu()).front(), QStringLiteral("Mina"));
}

TEST_F(TrayMenuTest, HeaderRecordEntryAndIconFollowTheRecording) {
  ui::TrayMenu& tray = makeTray();
  const QImage idle = imageOf(ui::Icons::icon(QStringLiteral("waveform")));
  const QImage recording = imageOf(ui::Icons::icon(QStringLiteral("record.circle.fill")));
  ASSERT_NE(idle, recording);
  EXPECT_EQ(imageOf(tray.icon()->icon()), idle);

  entry(QStringLiteral("녹음 시작"))->trigger();
  ASSERT_TRUE(eventually([&] { return m_model->session().recording(); }));
  EXPECT_EQ(imageOf(tray.icon()->icon()), recording) << "the icon changes the moment recording starts";
  m_source.push(std::vector<float>(3 * 16'000, 0.2F));
  ASSERT_TRUE(eventually([&] { return m_model->session().elapsed() >= 3; }));
  const QStringList entries = entriesOf(tray.menu());
  EXPECT_EQ(entries.mid(0, 3),
            (QStringList{QStringLiteral("로컬 작업 공간"), QStringLiteral("기기에서 안전하게 기록하세요"),
                         QStringLiteral("녹음 중 00:00:03")}));
  EXPECT_TRUE(entries.contains(QStringLiteral("녹음 중지")));

  entry(QStringLiteral("녹음 중지"))->trigger();
  ASSERT_TRUE(eventually([&] { return !m_model->session().recording(); }));
  EXPECT_EQ(imageOf(tray.icon()->icon()), idle);
  EXPECT_FALSE(entriesOf(tray.menu()).join(QLatin1Char('|')).contains(QStringLiteral("녹음 중 ")));
}

TEST_F(TrayMenuTest, EntriesRunTheirCommands) {
  makeTray();
  struct Case {
    const char* name;
    QString entry;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"open the studio", QStringLiteral("Sayloom Studio 열기"), [&] { EXPECT_EQ(m_opened, 1); }},
      {"hide all captions", QStringLiteral("모든 오버레이 숨기기"),
       [&] {
         EXPECT_TRUE(m_model->overlays().hidden());
         EXPECT_TRUE(entry(QStringLiteral("모든 오버레이 숨기기"))->isChecked());
       }},
      {"show them again", QStringLiteral("모든 오버레이 숨기기"),
       [&] {
         EXPECT_FALSE(m_model->overlays().hidden());
         EXPECT_FALSE(entry(QStringLiteral("모든 오버레이 숨기기"))->isChecked());
       }},
      {"edit mode", QStringLiteral("오버레이 편집"),
       [&] {
         EXPECT_TRUE(m_model->overlays().editing());
         EXPECT_TRUE(m_overlays->manualEdit);
         EXPECT_TRUE(entry(QStringLiteral("오버레이 편집"))->isChecked());
       }},
      {"bring windows on screen", QStringLiteral("모든 오버레이 화면 안으로 이동"),
       [&] { EXPECT_EQ(m_overlays->recoveries, 1); }},
      {"quit", QStringLiteral("종료"), [&] { EXPECT_EQ(m_quits, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    entry(c.entry)->trigger();
    c.check();
  }
  // The model's own changes reach the toggles too.
  m_model->toggleHidden();
  EXPECT_TRUE(entry(QStringLiteral("모든 오버레이 숨기기"))->isChecked());
}

// --- a real tray host on the test display ------------------------------------------------------

// trayer, a GTK XEmbed tray, docked at the top right without reserving screen space; stopped by
// its PID when the test ends.
class TrayHost {
public:
  TrayHost() {
    m_process.setProgram(QStringLiteral("trayer"));
    m_process.setArguments({QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                            QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                            QStringLiteral("--height"), QStringLiteral("32"),
                            QStringLiteral("--SetPartialStrut"), QStringLiteral("false"),
                            QStringLiteral("--transparent"), QStringLiteral("false"),
                            QStringLiteral("--tint"), QStringLiteral("0xffffff")});
    m_process.start();
  }
  ~TrayHost() {
    m_process.terminate();
    if (!m_process.waitForFinished(5'000)) {
      m_process.kill();
      m_process.waitForFinished(5'000);
    }
  }

  // Where the tray stands on the screen (Qt does not know where its icon was embedded).
  static QRect frame() {
    const QStringList windows = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--class"), QStringLiteral("trayer")})
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& window : windows) {
      const QString info = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window.trimmed()});
      const auto field = [&](const QString& name) {
        const qsizetype at = info.indexOf(name);
        return at < 0 ? -1 : info.mid(at + name.size()).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
      };
      const QRect rect(field(QStringLiteral("Absolute upper-left X:")),
                       field(QStringLiteral("Absolute upper-left Y:")), field(QStringLiteral("Width:")),
                       field(QStringLiteral("Height:")));
      if (rect.width() > 1 && rect.height() > 1) {
        return rect;
      }
    }
    return {};
  }

  // The tray's manager selection of screen 0 has an owner.
  static bool ready() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ::Display* display = x11 != nullptr ? x11->display() : nullptr;
    return display != nullptr &&
           XGetSelectionOwner(display, XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False)) != None;
  }

private:
  QProcess m_process;
};

// How many clearly red pixels the screen shows inside `rect`.
int redPixels(const QRect& rect) {
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
                          .toImage();
  int red = 0;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      const QColor pixel = shot.pixelColor(x, y);
      red += pixel.red() > 180 && pixel.green() < 120 && pixel.blue() < 120 ? 1 : 0;
    }
  }
  return red;
}

TEST_F(TrayMenuTest, StandsInARealTrayAndTurnsRedWhileRecordingTheSineSource) {
  if (!onX11() || QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty() ||
      qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
    GTEST_SKIP() << "needs the test display, trayer and the test sound server";
  }
  TrayHost host;
  ASSERT_TRUE(eventually(&TrayHost::ready, 10'000));
  ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());

  makeModel();  // the real capture, on the sound server's sine source
  ui::TrayMenu& tray = makeTray();
  EXPECT_TRUE(tray.inTray());
  QRect spot;
  ASSERT_TRUE(eventually([&] { return (spot = TrayHost::frame()).width() >= 20; }, 10'000))
      << "the icon is embedded";
  QTest::qWait(200);
  EXPECT_EQ(redPixels(spot), 0);

  QCoro::waitFor(m_model->startRecording());
  ASSERT_TRUE(m_model->session().recording())
      << m_model->appStatus().warning().value_or(QString()).toStdString();
  EXPECT_TRUE(eventually([&] { return redPixels(spot) > 40; }, 5'000)) << "the tray shows the recording icon";

  // A right click on the icon opens the menu with the recording's entries.
  moveMouse(spot.center());
  xdotool({QStringLiteral("click"), QStringLiteral("3")});
  ASSERT_TRUE(eventually([&] { return tray.menu()->isVisible(); }, 5'000));
  EXPECT_TRUE(entriesOf(tray.menu()).contains(QStringLiteral("녹음 중지")));
  EXPECT_TRUE(tray.menu()->grab().save(artifactPath(QStringLiteral("tray-menu-recording.png"))));
  tray.menu()->hide();

  QCoro::waitFor(m_model->stopRecording());
  EXPECT_TRUE(eventually([&] { return redPixels(spot) == 0; }, 5'000));
}

}  // namespace
}  // namespace sayloom::test
