// The self-test's fixture reading: the format is checked from the header before any frame is read.
#include "app/self_test/self_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/native_error.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;

// A 16-bit PCM WAV file whose header announces `dataBytes` of samples: `samples` are written, and
// the rest is a hole in a sparse file, so a file of half a gigabyte costs nothing to make.
fs::path wav(const fs::path& file, std::uint32_t rate, std::uint16_t channels, const std::string& samples,
             std::uint32_t dataBytes) {
  auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  {
    std::ofstream out(file, std::ios::binary);
    out << "RIFF" << u32(36 + dataBytes) << "WAVEfmt " << u32(16) << u16(1) << u16(channels) << u32(rate)
        << u32(rate * channels * 2) << u16(static_cast<std::uint16_t>(channels * 2)) << u16(16) << "data"
        << u32(dataBytes) << samples;
  }
  fs::resize_file(file, 44 + static_cast<std::uintmax_t>(dataBytes));
  return file;
}

TEST(SelfTestFixtureTest, AWrongFormatFailsBeforeAnyFrameIsRead) {
  test::TempDir dir;
  constexpr std::uint32_t halfAGigabyte = 512U << 20;
  const struct {
    const char* name;
    std::uint32_t rate;
    std::uint16_t channels;
  } cases[] = {{"44.1 kHz", 44'100, 1}, {"stereo", 16'000, 2}, {"44.1 kHz stereo", 44'100, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::SoundFileReader reader(wav(dir / "big.wav", c.rate, c.channels, "", halfAGigabyte));
    EXPECT_EQ(reader.frames(), halfAGigabyte / (2 * c.channels));
    try {
      readFixture(reader);
      ADD_FAILURE() << "accepted";
    } catch (const NativeError& error) {
      EXPECT_EQ(error.description(), "Fixture must be 16 kHz mono");
    }
    EXPECT_EQ(reader.framesRead(), 0);
  }
}

TEST(SelfTestFixtureTest, A16KilohertzMonoFileBecomesItsPcm) {
  test::TempDir dir;
  const std::string samples{'\x01', '\x00', '\xff', '\x7f', '\x00', '\x80'};  // 1, 32767, -32768
  platform::SoundFileReader reader(wav(dir / "ok.wav", 16'000, 1, samples, 6));
  // The reader delivers x / 32,768; the conversion scales by 32,767 and truncates toward zero.
  EXPECT_EQ(readFixture(reader), (std::string{'\x00', '\x00', '\xfe', '\x7f', '\x01', '\x80'}));
  EXPECT_EQ(reader.framesRead(), 3);
}

}  // namespace
}  // namespace sayloom
