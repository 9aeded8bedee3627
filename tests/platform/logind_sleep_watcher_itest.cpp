// The logind sleep watcher against a logind stand-in on a private system bus: the sleep signal
// arrives, and the delay inhibitor is taken and given back.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "platform/logind_sleep_watcher.h"
#include "support/logind_standin.h"
#include "support/temp_dir.h"

namespace sayloom::platform {
namespace {

TEST(LogindSleepWatcherTest, ReportsSleepAndHoldsADelayInhibitorUntilReleased) {
  test::TempDir dir;
  test::LogindStandIn logind(dir.path());
  LogindSleepWatcher watcher;
  ASSERT_TRUE(watcher.connected());

  watcher.holdDelay();
  watcher.holdDelay();  // holding twice is holding once
  ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.delayHeld(); }, 20'000));
  EXPECT_EQ(logind.heldInhibitors(), 1U);
  EXPECT_EQ(logind.inhibitCalls(),
            QStringList{QStringLiteral("sleep|Sayloom|Saving the running recording|delay")});

  QSignalSpy sleeping(&watcher, &SleepWatcher::prepareForSleep);
  logind.emitPrepareForSleep(false);  // waking up is not announced
  logind.emitPrepareForSleep(true);
  ASSERT_TRUE(sleeping.wait(20'000));
  EXPECT_EQ(sleeping.count(), 1);

  watcher.releaseDelay();
  EXPECT_FALSE(watcher.delayHeld());
  EXPECT_EQ(logind.heldInhibitors(), 0U);
}

TEST(LogindSleepWatcherTest, AReleaseBeforeTheAnswerDropsTheInhibitor) {
  test::TempDir dir;
  test::LogindStandIn logind(dir.path());
  LogindSleepWatcher watcher;
  watcher.holdDelay();
  watcher.releaseDelay();
  ASSERT_TRUE(QTest::qWaitFor([&] { return logind.inhibitCalls().size() == 1; }, 20'000));
  QTest::qWait(200);  // let the answer arrive
  EXPECT_FALSE(watcher.delayHeld());
  EXPECT_EQ(logind.heldInhibitors(), 0U);
}

TEST(LogindSleepWatcherTest, WithoutASystemBusItStaysSilent) {
  test::TempDir dir;
  test::ScopedEnv nowhere("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir.path() / "none").string()).c_str());
  LogindSleepWatcher watcher;
  EXPECT_FALSE(watcher.connected());
  watcher.holdDelay();
  EXPECT_FALSE(watcher.delayHeld());
  watcher.releaseDelay();
}

}  // namespace
}  // namespace sayloom::platform
