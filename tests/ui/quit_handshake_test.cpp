// The quit handshake: the first request starts the shutdown and ends the process when it has
// finished; a second request while it runs ends the process at once; without a shutdown to wait
// for, the process ends at once.
#include "ui/shell/quit_handshake.h"

#include <gtest/gtest.h>

#include <QCoroSignal>
#include <QTest>
#include <csignal>
#include <stdexcept>

#include "ui/shell/unix_signals.h"

namespace sayloom::test {
namespace {

// A shutdown that ends when the test opens its gate.
class Gate : public QObject {
  Q_OBJECT
signals:
  void opened();
};

struct Ends {
  int finished = 0;
  int aborted = 0;
};

TEST(QuitHandshake, AnswersLaterAndEndsOnceTheShutdownHasFinished) {
  Ends ends;
  Gate gate;
  int shutdowns = 0;
  ui::QuitHandshake handshake([&] { ++ends.finished; }, [&] { ++ends.aborted; });
  handshake.attach([&]() -> QCoro::Task<void> {
    ++shutdowns;
    co_await qCoro(&gate, &Gate::opened);
  });

  EXPECT_EQ(handshake.request(), ui::QuitHandshake::Reply::later);
  EXPECT_TRUE(handshake.started());
  EXPECT_EQ(shutdowns, 1);
  EXPECT_EQ(ends.finished, 0) << "the process waits for the shutdown";
  emit gate.opened();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ends.finished == 1; }, 5'000));
  EXPECT_EQ(ends.aborted, 0);
}

TEST(QuitHandshake, ASecondRequestWhileOneIsPendingEndsAtOnce) {
  Ends ends;
  Gate gate;
  int shutdowns = 0;
  ui::QuitHandshake handshake([&] { ++ends.finished; }, [&] { ++ends.aborted; });
  handshake.attach([&]() -> QCoro::Task<void> {
    ++shutdowns;
    co_await qCoro(&gate, &Gate::opened);
  });
  ASSERT_EQ(handshake.request(), ui::QuitHandshake::Reply::later);
  EXPECT_EQ(handshake.request(), ui::QuitHandshake::Reply::now);
  EXPECT_EQ(ends.aborted, 1);
  EXPECT_EQ(shutdowns, 1) << "the shutdown is not started again";
  // The first shutdown still runs to its end, as it would while the process goes down.
  emit gate.opened();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ends.finished == 1; }, 5'000));
}

TEST(QuitHandshake, AShutdownThatFailsStillEndsTheProcess) {
  Ends ends;
  ui::QuitHandshake handshake([&] { ++ends.finished; }, [&] { ++ends.aborted; });
  handshake.attach([]() -> QCoro::Task<void> {
    throw std::runtime_error("the settings could not be saved");
    co_return;
  });
  handshake.request();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ends.finished == 1; }, 5'000));
  EXPECT_EQ(ends.aborted, 0);
}

TEST(QuitHandshake, WithoutAShutdownToWaitForEndsAtOnce) {
  Ends ends;
  ui::QuitHandshake handshake([&] { ++ends.finished; }, [&] { ++ends.aborted; });
  EXPECT_EQ(handshake.request(), ui::QuitHandshake::Reply::now);
  EXPECT_EQ(ends.finished, 1);
  EXPECT_EQ(ends.aborted, 0);
}

TEST(UnixSignals, EverySignalBecomesOneEmissionOnTheMainThread) {
  std::vector<int> received;
  {
    ui::UnixSignals watcher({SIGTERM, SIGINT});
    QObject::connect(&watcher, &ui::UnixSignals::received, [&](int number) { received.push_back(number); });
    std::raise(SIGTERM);
    std::raise(SIGINT);
    std::raise(SIGTERM);
    EXPECT_TRUE(received.empty()) << "nothing runs inside the handler";
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() == 3; }, 5'000));
  }
  EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGTERM}));
  // The handlers before it are back: SIGINT's default would end this test, so only look.
  struct sigaction current {};
  ::sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace sayloom::test

#include "quit_handshake_test.moc"
