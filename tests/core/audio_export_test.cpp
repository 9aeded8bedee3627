#include "core/audio_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/wave.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::EnforcePermissions;
using test::TempDir;

std::uint32_t le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

std::string pattern(std::size_t size, char seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(seed + static_cast<char>(i % 251));
  }
  return bytes;
}

class AudioExportTest : public ::testing::Test {
protected:
  fs::path audio() const { return m_dir / "Audio"; }
  fs::path out() const { return m_dir / "Out"; }
  void SetUp() override {
    fs::create_directories(audio());
    fs::create_directories(out());
  }
  void putChunk(const std::string& name, const std::string& bytes) const {
    AtomicFile::writeBytes(bytes, audio() / name);
  }
  // Every file in the output folder: a failed export must leave no temporary file behind.
  std::size_t outputFiles() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(out()), fs::directory_iterator()));
  }

  TempDir m_dir;
};

TEST_F(AudioExportTest, ConcatenatesChunksInIndexOrderBehindHeader) {
  const std::string first = pattern(256'000, 'a');
  const std::string second = pattern(1'000, 'z');
  putChunk("00000001.pcm", second);  // listed order must not matter
  putChunk("00000000.pcm", first);
  putChunk("00000000.json", "[]");  // transcripts beside the audio are not audio
  putChunk("notes.txt", "x");

  exportAudio(audio(), out() / "Sayloom-audio.wav");

  const std::string wav = AtomicFile::readBytes(out() / "Sayloom-audio.wav");
  ASSERT_EQ(wav.size(), 257'044U);
  EXPECT_EQ(le32(wav, 4), 257'036U);
  EXPECT_EQ(le32(wav, 40), 257'000U);
  const auto header = wave::header(257'000);
  EXPECT_EQ(wav.substr(0, 44), std::string(header.data(), header.size()));
  EXPECT_TRUE(wav.compare(44, first.size(), first) == 0);
  EXPECT_TRUE(wav.compare(44 + first.size(), second.size(), second) == 0);
  EXPECT_EQ(outputFiles(), 1U);
}

TEST_F(AudioExportTest, NothingToExportFailsWithSizeMessageAndWritesNothing) {
  const struct {
    const char* name;
    bool emptyChunks;
  } cases[] = {{"no chunk files", false}, {"only empty chunks", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.emptyChunks) {
      putChunk("00000000.pcm", "");
      putChunk("00000001.pcm", "");
    }
    try {
      exportAudio(audio(), out() / "a.wav");
      ADD_FAILURE() << "export succeeded";
    } catch (const NativeError& error) {
      EXPECT_EQ(error.description(), "WAV로 내보낼 수 있는 오디오 크기를 벗어났습니다.");
    }
    EXPECT_EQ(outputFiles(), 0U);
  }
}

TEST_F(AudioExportTest, MissingAudioFolderFailsWithPlatformError) {
  EXPECT_THROW(exportAudio(m_dir / "absent", out() / "a.wav"), fs::filesystem_error);
  EXPECT_EQ(outputFiles(), 0U);
}

TEST_F(AudioExportTest, ReplacesExistingDestinationOnSuccess) {
  AtomicFile::writeBytes("old", out() / "a.wav");
  putChunk("00000000.pcm", pattern(10, 'q'));
  exportAudio(audio(), out() / "a.wav");
  EXPECT_EQ(AtomicFile::readBytes(out() / "a.wav").size(), 54U);
  EXPECT_EQ(outputFiles(), 1U);
}

TEST_F(AudioExportTest, FailureMidwayLeavesExistingDestinationAndNoTemporaryFile) {
  AtomicFile::writeBytes("previous export", out() / "a.wav");
  putChunk("00000000.pcm", pattern(256'000, 'a'));
  putChunk("00000001.pcm", pattern(1'000, 'b'));
  fs::permissions(audio() / "00000001.pcm", fs::perms::none);
  {
    EnforcePermissions enforce;
    EXPECT_THROW(exportAudio(audio(), out() / "a.wav"), fs::filesystem_error);
  }
  EXPECT_EQ(AtomicFile::readBytes(out() / "a.wav"), "previous export");
  EXPECT_EQ(outputFiles(), 1U);
}

TEST_F(AudioExportTest, DestinationThatIsAFolderFailsAndStaysAsItWas) {
  fs::create_directories(out() / "a.wav" / "inside");
  putChunk("00000000.pcm", pattern(100, 'c'));
  EXPECT_THROW(exportAudio(audio(), out() / "a.wav"), fs::filesystem_error);
  EXPECT_TRUE(fs::is_directory(out() / "a.wav" / "inside"));
  EXPECT_EQ(outputFiles(), 1U);
}

// A chunk whose listed size differs from what reading it yields (it changed after the listing)
// must not leave a header that contradicts the body.
TEST_F(AudioExportTest, HeaderDescribesTheBytesReallyWritten) {
  putChunk("00000000.pcm", pattern(1'000, 'a'));
  putChunk("00000001.pcm", pattern(125, 'b'));
  const std::vector<chunks::ChunkFile> listed = {{audio() / "00000000.pcm", 1'000},
                                                 {audio() / "00000001.pcm", 0}};
  exportAudio(listed, out() / "a.wav");
  const std::string wav = AtomicFile::readBytes(out() / "a.wav");
  ASSERT_EQ(wav.size(), 44U + 1'125U);
  EXPECT_EQ(le32(wav, 40), 1'125U);
  EXPECT_EQ(le32(wav, 4), 1'161U);
}

}  // namespace
}  // namespace sayloom
