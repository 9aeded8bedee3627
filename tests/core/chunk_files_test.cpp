// The chunk file format: names and the indexes they stand for, the transcript name beside a chunk,
// and the writer that splits a recording into chunk files.
#include "core/chunk_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();

// `count` bytes that differ from their neighbours, starting at position `from` of a recording.
std::string pattern(std::size_t from, std::size_t count) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<char>((from + i) * 7 % 251);
  }
  return bytes;
}

TEST(ChunkFilesTest, NamesAndIndexesRoundTrip) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "00000000.pcm"},
      {7, "00000007.pcm"},
      {12'345'678, "12345678.pcm"},
      {123'456'789, "123456789.pcm"},  // wider than eight digits: no truncation
      {-1, "-0000001.pcm"},
      {int64Max, "9223372036854775807.pcm"},
      {int64Min, "-9223372036854775808.pcm"},
  };
  for (const auto& [index, name] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(chunks::fileName(index), name);
    EXPECT_EQ(chunks::indexOf(name), index);
  }
}

TEST(ChunkFilesTest, IndexOfAcceptsASignedDecimalWithin64BitsAndNothingElse) {
  const std::pair<fs::path, std::optional<std::int64_t>> cases[] = {
      {"1.pcm", 1},
      {"+00000005.pcm", 5},
      {"-00000005.pcm", -5},
      {"-0.pcm", 0},
      {"Notes/x/Audio/00000003.pcm", 3},  // only the file name counts
      {"000000000000000000000000042.pcm", 42},
      {"9223372036854775808.pcm", std::nullopt},  // overflow by one
      {"-9223372036854775809.pcm", std::nullopt},
      {"18446744073709551616.pcm", std::nullopt},  // beyond 64 unsigned bits too
      {".pcm", std::nullopt},
      {"+.pcm", std::nullopt},
      {"-.pcm", std::nullopt},
      {"--1.pcm", std::nullopt},
      {"+-1.pcm", std::nullopt},
      {" 1.pcm", std::nullopt},
      {"1 .pcm", std::nullopt},
      {"x1.pcm", std::nullopt},
      {"1x.pcm", std::nullopt},
      {"0x10.pcm", std::nullopt},
      {"1e3.pcm", std::nullopt},
      {"1.5.pcm", std::nullopt},
      {"\xD9\xA1.pcm", std::nullopt},  // ARABIC-INDIC DIGIT ONE is not a decimal digit here
      {"00000001.PCM", std::nullopt},
      {"00000001", std::nullopt},
      {"00000001.wav", std::nullopt},
      {"00000001.pcm.transcript.json", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [name, index] : cases) {
    SCOPED_TRACE(name.string());
    EXPECT_EQ(chunks::indexOf(name), index);
  }
}

TEST(ChunkFilesTest, TheTranscriptLivesBesideItsChunk) {
  EXPECT_EQ(chunks::transcriptFile(fs::path("Audio") / "00000002.pcm"),
            fs::path("Audio") / "00000002.pcm.transcript.json");
}

// What a writer reported, and what is on disk.
struct Written {
  std::vector<std::pair<fs::path, std::int64_t>> finished;
  chunks::Writer::Finished recorder() {
    return [this](const fs::path& file, std::int64_t index) { finished.emplace_back(file, index); };
  }
};

TEST(ChunkWriterTest, SplitsExactlyAtTheChunkSizeAndReportsEachChunkWhenFinished) {
  // Writes of 100,000 bytes cross the boundaries in the middle; the last chunk stays open.
  TempDir dir;
  Written written;
  chunks::Writer writer(dir.path(), written.recorder());
  constexpr std::size_t total = 2 * chunks::bytesPerChunk + 12'345;
  for (std::size_t done = 0; done < total; done += 100'000) {
    writer.write(pattern(done, std::min<std::size_t>(100'000, total - done)));
  }
  EXPECT_THAT(written.finished,
              ::testing::ElementsAre(std::pair(dir / "00000000.pcm", 0), std::pair(dir / "00000001.pcm", 1)));
  EXPECT_TRUE(writer.chunkOpen());
  EXPECT_EQ(writer.index(), 2);
  EXPECT_EQ(writer.totalBytes(), static_cast<std::int64_t>(total));
  // The open chunk is already on disk in full: every write ends synchronised.
  EXPECT_EQ(readFile(dir / "00000002.pcm"), pattern(2 * chunks::bytesPerChunk, 12'345));

  writer.finish();
  writer.finish();  // nothing open: nothing happens
  ASSERT_EQ(written.finished.size(), 3U);
  EXPECT_EQ(written.finished[2], std::pair(dir / "00000002.pcm", std::int64_t{2}));
  EXPECT_FALSE(writer.chunkOpen());
  EXPECT_EQ(writer.index(), 3);
  for (std::int64_t i = 0; i < 2; ++i) {
    EXPECT_EQ(readFile(dir / chunks::fileName(i)), pattern(i * chunks::bytesPerChunk, chunks::bytesPerChunk));
  }
  EXPECT_EQ(chunks::list(dir.path()).size(), 3U);
}

TEST(ChunkWriterTest, OpensAChunkOnlyForBytesAndEmptiesAStaleFileOfItsName) {
  struct Case {
    const char* name;
    std::vector<std::size_t> writes;
    std::vector<std::string> files;  // after finish()
    std::size_t reported;
  };
  const Case cases[] = {
      {"nothing written", {}, {}, 0},
      {"an empty write", {0}, {}, 0},
      {"exactly one chunk", {chunks::bytesPerChunk}, {"00000000.pcm"}, 1},
      {"one chunk and a byte", {chunks::bytesPerChunk - 1, 2}, {"00000000.pcm", "00000001.pcm"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Written written;
    chunks::Writer writer(dir.path(), written.recorder());
    std::size_t done = 0;
    for (const std::size_t count : c.writes) {
      writer.write(pattern(done, count));
      done += count;
    }
    writer.finish();
    EXPECT_EQ(written.finished.size(), c.reported);
    std::vector<std::string> names;
    for (const chunks::ChunkFile& file : chunks::list(dir.path())) {
      names.push_back(file.path.filename().string());
    }
    EXPECT_EQ(names, c.files);
  }

  // A file left by an earlier run under the same name is emptied first, not overwritten in part.
  TempDir dir;
  writeFile(dir / "00000000.pcm", std::string(1'000, 'x'));
  chunks::Writer writer(dir.path());
  writer.write("new");
  writer.finish();
  EXPECT_EQ(readFile(dir / "00000000.pcm"), "new");
}

TEST(ChunkWriterTest, FailuresPassOnAndNeverTouchWhatWasWritten) {
  TempDir dir;
  fs::create_directories(dir / "00000001.pcm");  // occupies the second chunk's name
  Written written;
  chunks::Writer writer(dir.path(), written.recorder());
  try {
    writer.write(pattern(0, chunks::bytesPerChunk + 10));
    ADD_FAILURE() << "wrote into a folder";
  } catch (const fs::filesystem_error& error) {
    EXPECT_EQ(error.code().value(), EISDIR);
    EXPECT_EQ(error.path1(), dir / "00000001.pcm");
  }
  EXPECT_THAT(written.finished, ::testing::ElementsAre(std::pair(dir / "00000000.pcm", 0)));
  EXPECT_EQ(readFile(dir / "00000000.pcm"), pattern(0, chunks::bytesPerChunk));

  // A writer dropped with a chunk open leaves the chunk with what reached it.
  {
    chunks::Writer dropped(dir / "00000001.pcm");
    dropped.write("kept");
  }
  EXPECT_EQ(readFile(dir / "00000001.pcm" / "00000000.pcm"), "kept");

  // The index moves on before the report: a report that throws cannot make the next write empty
  // the chunk it was about.
  TempDir other;
  chunks::Writer throwing(other.path(), [](const fs::path&, std::int64_t) { throw std::runtime_error("x"); });
  EXPECT_THROW(throwing.write(pattern(0, chunks::bytesPerChunk)), std::runtime_error);
  throwing.write("next");
  EXPECT_EQ(readFile(other / "00000000.pcm"), pattern(0, chunks::bytesPerChunk));
  EXPECT_EQ(readFile(other / "00000001.pcm"), "next");
}

TEST(ChunkWriterTest, WriteWholeKeepsEveryByteInOneFile) {
  TempDir dir;
  writeFile(dir / "00000000.pcm", std::string(2 * chunks::bytesPerChunk, 'x'));
  const std::string bytes = pattern(0, chunks::bytesPerChunk + 1);  // longer than a full chunk
  EXPECT_EQ(chunks::writeWhole(dir.path(), 0, bytes), dir / "00000000.pcm");
  EXPECT_EQ(readFile(dir / "00000000.pcm"), bytes);
  EXPECT_EQ(chunks::list(dir.path()).size(), 1U);

  try {
    chunks::writeWhole(dir / "missing", 4, "x");
    ADD_FAILURE() << "wrote into a missing folder";
  } catch (const fs::filesystem_error& error) {
    EXPECT_EQ(error.code().value(), ENOENT);
    EXPECT_EQ(error.path1(), dir / "missing" / "00000004.pcm");
  }
}

}  // namespace
}  // namespace sayloom
