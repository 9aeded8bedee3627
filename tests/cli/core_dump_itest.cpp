// Both programs hold the cloud account's refresh token in memory, so neither may leave a core file:
// while each runs (the app's window up, the tool recording), its core file size limit is 0, and its
// /proc entries belong to root (the kernel's sign of a non-dumpable process) when the test does not
// run as root itself.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <fstream>
#include <sstream>

#include "app/app_model_fixture.h"

namespace sayloom::test {
namespace {

// The soft and hard core size limits of process `pid` as /proc shows them ("0 0"), or "" when
// the process is gone.
std::string coreLimits(qint64 pid) {
  std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
  for (std::string line; std::getline(limits, line);) {
    if (line.starts_with("Max core file size")) {
      std::istringstream fields(line.substr(std::string("Max core file size").size()));
      std::string soft;
      std::string hard;
      fields >> soft >> hard;
      return soft + " " + hard;
    }
  }
  return "";
}

class CoreDumpTest : public AppModelTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CoreDumpTest, TheRunningProgramCannotDumpItsMemory) {
  const std::string program = GetParam();
  if (program == "sayloom" && qEnvironmentVariableIsEmpty("DISPLAY")) {
    GTEST_SKIP() << "needs the test services' display";
  }
  rlimit own{};
  getrlimit(RLIMIT_CORE, &own);
  if (own.rlim_max == 0 && getuid() != 0) {
    GTEST_SKIP() << "core files are off for this test already: nothing to tell apart";
  }
  installModel();
  engineSays("안녕하세요");
  QProcess process;
  process.setProgram(QString::fromStdString(std::string(SAYLOOM_BINARY_DIR "/") + program));
  if (program == "sayloom-cli") {
    process.setArguments({QStringLiteral("record")});
  }
  process.setStandardInputFile(QProcess::nullDevice());
  // Core files as a developer turns them on ("ulimit -c unlimited"), or as far as this test may.
  process.setChildProcessModifier([] {
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    if (setrlimit(RLIMIT_CORE, &unlimited) != 0) {
      rlimit limit{};
      getrlimit(RLIMIT_CORE, &limit);
      limit.rlim_cur = limit.rlim_max;
      setrlimit(RLIMIT_CORE, &limit);
    }
  });
  process.start();
  ASSERT_TRUE(process.waitForStarted());
  const qint64 pid = process.processId();

  // Until main has run its first lines; a program that never gets there stays at the old limit.
  std::string limits;
  EXPECT_TRUE(eventually(
      [&] {
        limits = coreLimits(pid);
        return limits == "0 0" || process.state() == QProcess::NotRunning;
      },
      60'000));
  EXPECT_EQ(limits, "0 0") << program;
  EXPECT_EQ(process.state(), QProcess::Running)
      << program << " " << process.readAllStandardError().toStdString();
  if (getuid() != 0) {
    struct stat entry {};
    ASSERT_EQ(stat(("/proc/" + std::to_string(pid)).c_str(), &entry), 0);
    EXPECT_EQ(entry.st_uid, 0u) << program << " is dumpable";
  }
  process.kill();
  process.waitForFinished();
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, CoreDumpTest, ::testing::Values("sayloom", "sayloom-cli"),
                         [](const auto& info) {
                           return std::string(info.param) == "sayloom" ? "App" : "Tool";
                         });

}  // namespace
}  // namespace sayloom::test
