// The accessibility settings against a desktop portal stand-in on a private session bus, and
// against GNOME's own high-contrast key through GSettings and dconf on that bus.
#include <gtest/gtest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "platform/accessibility_settings.h"
#include "support/standin_bus.h"
#include "support/temp_dir.h"

namespace sayloom::platform {
namespace {

const QString appearance = QStringLiteral("org.freedesktop.appearance");

class AccessibilitySettingsTest : public ::testing::Test {
protected:
  // A portal stand-in holding `settings` (namespace, key, value triples), made the session bus.
  void startPortal(QStringList arguments) {
    m_portal = std::make_unique<test::StandInBus>(m_dir.path(), "portal-standin", arguments);
    m_session.emplace("DBUS_SESSION_BUS_ADDRESS", m_portal->address().toUtf8().constData());
  }

  void setPortal(const QString& key, uint value) {
    m_portal->call(QStringLiteral("org.freedesktop.portal.Desktop"),
                   QStringLiteral("/org/freedesktop/portal/desktop"),
                   QStringLiteral("org.sayloom.test.PortalStandIn"), QStringLiteral("Set"),
                   {appearance, key, QVariant::fromValue(value)});
  }

  static bool eventually(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 10'000);
  }

  test::TempDir m_dir;
  // Settings file, dconf database and dconf's shared memory in scratch folders; the private bus
  // and the dconf service it starts inherit them.
  test::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_dir / "config").c_str()};
  test::ScopedEnv m_runtime{"XDG_RUNTIME_DIR", (m_dir / "").c_str()};
  std::unique_ptr<test::StandInBus> m_portal;
  std::optional<test::ScopedEnv> m_session;
};

struct PortalVersion {
  const char* label;
  QStringList arguments;
};

TEST_F(AccessibilitySettingsTest, FollowsThePortalsContrastWithReadOneOrTheOlderRead) {
  const PortalVersion versions[] = {{"version 2 (ReadOne)", {}}, {"version 1 (Read)", {"--version-1"}}};
  test::ScopedEnv gsettings("GSETTINGS_BACKEND", "memory");
  for (const PortalVersion& version : versions) {
    SCOPED_TRACE(version.label);
    startPortal(version.arguments + QStringList{appearance, QStringLiteral("contrast"), QStringLiteral("1")});
    AccessibilitySettings settings;
    QSignalSpy changed(&settings, &AccessibilitySettings::changed);
    ASSERT_TRUE(eventually([&] { return settings.increasedContrast(); }));

    setPortal(QStringLiteral("contrast"), 0);
    ASSERT_TRUE(eventually([&] { return !settings.increasedContrast(); }));
    setPortal(QStringLiteral("contrast"), 2);  // unknown values mean "no preference"
    setPortal(QStringLiteral("color-scheme"), 1);
    QTest::qWait(200);
    EXPECT_FALSE(settings.increasedContrast());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_FALSE(settings.reduceTransparency());
    m_session.reset();
    m_portal.reset();
  }
}

TEST_F(AccessibilitySettingsTest, ReducesTransparencyForTheUserOrForThePortal) {
  test::ScopedEnv gsettings("GSETTINGS_BACKEND", "memory");
  startPortal({});
  AccessibilitySettings settings;
  QSignalSpy changed(&settings, &AccessibilitySettings::changed);
  settings.setUserReduceTransparency(true);
  EXPECT_TRUE(settings.reduceTransparency());
  EXPECT_TRUE(AccessibilitySettings().userReduceTransparency()) << "kept in the settings file";
  settings.setUserReduceTransparency(false);
  EXPECT_EQ(changed.count(), 2);

  setPortal(QStringLiteral("reduced-transparency"), 1);
  ASSERT_TRUE(eventually([&] { return settings.reduceTransparency(); }));
  EXPECT_FALSE(settings.userReduceTransparency());
  EXPECT_FALSE(settings.increasedContrast());
}

TEST_F(AccessibilitySettingsTest, FallsBackToGnomesHighContrastWhileThePortalHasNoContrast) {
  // GSettings with its key-file backend: `gsettings` in another process writes the key file, and
  // the change reaches this process through the file monitor, as a desktop's change would. (The
  // dconf backend would tie this process to the private bus, and GLib ends a process whose session
  // bus goes away.) GSettings chooses its backend once per process; CTest runs each test alone.
  test::ScopedEnv backend("GSETTINGS_BACKEND", "keyfile");
  startPortal({});
  AccessibilitySettings settings;
  QTest::qWait(200);
  EXPECT_FALSE(settings.increasedContrast());

  QProcess gsettings;
  gsettings.start(QStringLiteral("gsettings"),
                  {QStringLiteral("set"), QStringLiteral("org.gnome.desktop.a11y.interface"),
                   QStringLiteral("high-contrast"), QStringLiteral("true")});
  ASSERT_TRUE(gsettings.waitForFinished(20'000));
  ASSERT_EQ(gsettings.exitCode(), 0) << gsettings.readAllStandardError().toStdString();
  ASSERT_TRUE(eventually([&] { return settings.increasedContrast(); }));

  // Once the portal speaks for the contrast, its word counts.
  setPortal(QStringLiteral("contrast"), 0);
  ASSERT_TRUE(eventually([&] { return !settings.increasedContrast(); }));
}

}  // namespace
}  // namespace sayloom::platform
