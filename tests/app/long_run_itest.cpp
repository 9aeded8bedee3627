// A long real recording on the test PulseAudio's sine source with a slow scripted engine: the
// resident memory stays flat after the first minute, the recognition backlog never exceeds its
// bound, every second of audio reaches its chunk files, and no file descriptor is left open once
// the recording has stopped and the model has shut down. `make test` runs two minutes;
// SAYLOOM_LONG_RUN_MINUTES (as `make soak` sets it) makes it longer.
#include <unistd.h>

#include <QThreadPool>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/app_model_fixture.h"
#include "core/chunk_files.h"

namespace sayloom::test {
namespace {

// Resident memory of this process in KiB, from /proc.
long residentKiB() {
  const std::string status = readFile("/proc/self/status");
  const std::size_t at = status.find("VmRSS:");
  return at == std::string::npos ? -1 : std::strtol(status.c_str() + at + 6, nullptr, 10);
}

// What every open descriptor of this process refers to ("socket:[123]", "anon_inode:[eventfd]", a
// path), sorted, so that a leak is named. Every thread Qt starts keeps an event dispatcher with its
// own eventfd, and the global pool keeps an idle thread for 30 s and starts a second one when work
// arrives while the first is busy (as it does on a loaded machine): its threads are ended first, so
// that the count does not depend on how busy the machine was.
std::multiset<std::string> openDescriptors() {
  QThreadPool::globalInstance()->waitForDone();
  std::multiset<std::string> names;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const fs::path target = fs::read_symlink(entry.path(), error);
    names.insert(error ? "(closed)" : target.string());
  }
  return names;
}

int minutes() {
  const char* value = std::getenv("SAYLOOM_LONG_RUN_MINUTES");
  const int parsed = value != nullptr ? std::atoi(value) : 0;
  return parsed > 0 ? parsed : 2;
}

using LongRunTest = AppModelTest;

TEST_F(LongRunTest, MemoryStaysFlatTheBacklogBoundHoldsAndNoDescriptorLeaks) {
  installModel();
  engineSays("sine");
  // Half as fast as real time: the backlog grows for the whole run (it reaches its bound after
  // about seventeen minutes).
  engineRunsFirst("sleep 16");
  // What the first model opens for the life of the process (bus connections, the sound server's
  // thread) is not a leak: count from after one model has come and gone.
  makeModel();
  shutdown();
  const std::multiset<std::string> descriptorsBefore = openDescriptors();
  AppModel& model = makeModel();

  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording()) << model.appStatus().warning().value_or(QString()).toStdString();
  const std::string id = model.session().activeNoteID()->toStdString();

  const int total = minutes() * 60;
  long settled = -1;
  long highest = 0;
  std::size_t longestBacklog = 0;
  for (int second = 1; second <= total; ++second) {
    QTest::qWait(1'000);
    ASSERT_TRUE(model.session().recording()) << model.appStatus().warning().value_or(QString()).toStdString();
    longestBacklog = std::max(longestBacklog, model.recognition().pending().size());
    if (second == 60) {
      settled = residentKiB();
    } else if (second > 60) {
      highest = std::max(highest, residentKiB());
    }
  }
  const double recorded = model.session().elapsed();
  QCoro::waitFor(model.stopRecording());
  shutdown();

  // Memory: what grows with the recording (the note's entries, the queue) is small; a leak of a
  // chunk's buffer per chunk would add about a megabyte a minute.
  ASSERT_GT(settled, 0);
  EXPECT_LT(highest - settled, 8 * 1024 + 512 * (minutes() - 1)) << "KiB after the first minute: " << settled;
  EXPECT_LE(longestBacklog, 64U);

  // Every recorded second is in the chunk files (the capture keeps at most one tick in memory).
  const std::uint64_t bytes = chunks::totalBytes(chunks::list(audioFolder(id)));
  EXPECT_GE(static_cast<double>(bytes), (recorded - 0.1) * 32'000);

  // A leak adds descriptors; one fewer is something the process had open before and let go of
  // meanwhile.
  const std::multiset<std::string> descriptorsAfter = openDescriptors();
  std::vector<std::string> added;
  std::set_difference(descriptorsAfter.begin(), descriptorsAfter.end(), descriptorsBefore.begin(),
                      descriptorsBefore.end(), std::back_inserter(added));
  EXPECT_LE(descriptorsAfter.size(), descriptorsBefore.size())
      << "opened meanwhile: " << testing::PrintToString(added);
}

}  // namespace
}  // namespace sayloom::test
