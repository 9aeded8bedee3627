// Looking up the sources on the real sound server of scripts/test-services.sh, and the failure
// when there is none.
#include <gtest/gtest.h>

#include "platform/pulse_source.h"
#include "support/temp_dir.h"

namespace sayloom::platform {
namespace {

TEST(PulseSourceProbe, FindsTheDefaultSourceAndTheDefaultSinkMonitorWithTheirNativeFormats) {
  if (std::getenv("PULSE_SERVER") == nullptr) {
    GTEST_SKIP() << "needs the sound server of scripts/test-services.sh";
  }
  EXPECT_EQ(PulseSource::probe(SourceKind::defaultSource), (SourceFormat{48'000, 1}));
  EXPECT_EQ(PulseSource::probe(SourceKind::defaultSinkMonitor), (SourceFormat{48'000, 2}));
}

TEST(PulseSourceProbe, ReportsAnUnreachableServerWithoutStartingOne) {
  test::TempDir temp;
  test::ScopedEnv server("PULSE_SERVER", ("unix:" + (temp / "native").string()).c_str());
  for (SourceKind kind : {SourceKind::defaultSource, SourceKind::defaultSinkMonitor}) {
    try {
      PulseSource::probe(kind);
      ADD_FAILURE() << "the probe succeeded";
    } catch (const SourceError& error) {
      EXPECT_EQ(error.kind(), SourceError::Kind::unreachable);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(temp / "native"));
}

}  // namespace
}  // namespace sayloom::platform
