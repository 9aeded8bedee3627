// The built application started twice, as from the desktop menu while it already runs: a second
// start for the same data folder brings the first one's studio window forward and ends with status
// 0 without a window of its own; a start for another data folder runs beside it; and where no
// session bus reaches the first, the data folder's lock still keeps the second out and it says so.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <memory>

#include "desktop_session.h"
#include "support/temp_dir.h"

namespace sayloom::test {
namespace {

namespace fs = std::filesystem;

const QString alreadyRunning = QStringLiteral(
    "sayloom: Sayloom이 이 데이터 폴더로 이미 실행 중입니다. 실행 중인 앱의 메뉴에서 \"Sayloom Studio "
    "열기\"를 "
    "선택해 주세요.");

bool eventually(const std::function<bool()>& condition, int timeoutMs = 60'000) {
  return QTest::qWaitFor(condition, timeoutMs);
}

class SingleInstanceTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!onX11() || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
      GTEST_SKIP() << "needs the test services: display and session bus";
    }
  }

  void TearDown() override {
    for (const auto& app : m_apps) {
      if (app->state() != QProcess::NotRunning) {
        app->kill();
        app->waitForFinished(10'000);
      }
    }
  }

  // Starts the built application on data folder `data`; `withBus` false points it at a session bus
  // that is not there.
  QProcess& start(const std::string& data, bool withBus = true) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto set = [&](const char* name, const fs::path& value) {
      environment.insert(QString::fromLatin1(name), QString::fromStdString(value.string()));
    };
    set("SAYLOOM_DATA_DIR", m_dir / data);
    set("XDG_CONFIG_HOME", m_dir / "config");
    set("HOME", m_dir / "home");
    if (!withBus) {
      set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_dir / "no-bus").string());
    }
    auto app = std::make_unique<QProcess>();
    app->setProcessEnvironment(environment);
    app->setProgram(QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom"));
    app->start();
    EXPECT_TRUE(app->waitForStarted(10'000));
    m_apps.push_back(std::move(app));
    return *m_apps.back();
  }

  // The studio window of `app` once it is on screen, or 0.
  static WId studioWindow(const QProcess& app) {
    WId window = 0;
    eventually([&] {
      const QString found =
          xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                   QString::number(app.processId()), QStringLiteral("--name"), QStringLiteral("Studio")});
      window = found.section(QLatin1Char('\n'), 0, 0).trimmed().toULongLong();
      return window != 0;
    });
    return window;
  }

  static bool endsWithZero(QProcess& app) {
    return app.waitForFinished(60'000) && app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0;
  }

  TempDir m_dir;
  std::vector<std::unique_ptr<QProcess>> m_apps;
};

TEST_F(SingleInstanceTest, ASecondStartShowsTheFirstStudioAndEndsWhileAnotherDataFolderRunsBeside) {
  QProcess& first = start("data");
  const WId studio = studioWindow(first);
  ASSERT_NE(studio, 0U) << "the first start shows its studio";
  xdotool({QStringLiteral("windowminimize"), QString::number(studio)});
  ASSERT_TRUE(eventually([&] { return mapState(studio) != QStringLiteral("IsViewable"); })) << "minimised";

  QProcess& second = start("data");
  EXPECT_TRUE(endsWithZero(second)) << second.readAllStandardError().toStdString();
  EXPECT_TRUE(eventually([&] { return mapState(studio) == QStringLiteral("IsViewable"); }))
      << "the first studio came back on screen";
  EXPECT_TRUE(eventually([&] {
    return xdotool({QStringLiteral("getactivewindow")}).trimmed().toULongLong() == studio;
  })) << "and has the focus";
  EXPECT_EQ(first.state(), QProcess::Running);

  QProcess& beside = start("other data");
  EXPECT_NE(studioWindow(beside), 0U) << "another data folder has its own application";
  EXPECT_EQ(beside.state(), QProcess::Running);
  EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, WithoutASessionBusTheLockKeepsTheSecondOutAndItSaysSo) {
  QProcess& first = start("data", false);
  ASSERT_NE(studioWindow(first), 0U);

  QProcess& second = start("data", false);
  EXPECT_TRUE(endsWithZero(second));
  EXPECT_TRUE(QString::fromUtf8(second.readAllStandardError()).contains(alreadyRunning));
  EXPECT_EQ(first.state(), QProcess::Running);
}

}  // namespace
}  // namespace sayloom::test
