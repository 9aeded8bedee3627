// The table of export formats: each format is told apart by its names and suffix, and each entry
// writes its own format.
#include "core/export_formats.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/chunk_files.h"
#include "core/wave.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

TEST(ExportFormatsTest, EveryFormatHasItsOwnNamesAndSuffix) {
  std::set<std::string> words;
  std::set<std::string> menuTexts;
  std::set<std::string> suffixes;
  for (const ExportFormatDescription& format : exportFormats()) {
    SCOPED_TRACE(format.word);
    EXPECT_TRUE(words.insert(format.word).second) << "a second format with this command word";
    EXPECT_TRUE(menuTexts.insert(format.menuText).second) << "a second format with this menu text";
    EXPECT_TRUE(suffixes.insert(format.suffix).second) << "a second format with this suffix";
    EXPECT_TRUE(std::string(format.filter).ends_with(std::string(" (*.") + format.suffix + ")"))
        << format.filter;
    EXPECT_EQ(&describe(format.format), &format);
    if (format.subtitles) {
      EXPECT_EQ(exportFormat(*format.subtitles), format.format);
      EXPECT_STREQ(subtitles::extension(*format.subtitles), format.suffix);
    }
  }
  for (const SubtitleFormat subtitles : {SubtitleFormat::srt, SubtitleFormat::webVtt}) {
    EXPECT_EQ(describe(exportFormat(subtitles)).subtitles, subtitles);
  }
}

TEST(ExportFormatsTest, EachFormatWritesItsOwnFile) {
  const test::TempDir dir;
  const std::string pcm("\x01\x02\x03\x04", 4);
  std::filesystem::create_directories(dir / "audio");
  test::writeFile(dir / "audio" / chunks::fileName(0), pcm);

  ExportSource source{NativeNote(), dir / "audio"};
  source.note.title = "회의";
  source.note.segments = {{"e1", 1, "안녕 <b>", 1'500, 3'000, "hello"}};

  const auto header = wave::header(pcm.size());
  const struct {
    ExportFormat format;
    std::string written;
  } cases[] = {
      {ExportFormat::transcript, "회의\n\n[00:00:01] 안녕 <b>\nhello"},
      {ExportFormat::audio, std::string(header.data(), header.size()) + pcm},
      {ExportFormat::srt, "1\n00:00:01,500 --> 00:00:03,000\n안녕 <b>\nhello\n\n"},
      {ExportFormat::webVtt, "WEBVTT\n\n00:00:01.500 --> 00:00:03.000\n안녕 &lt;b&gt;\nhello\n\n"},
  };
  for (const auto& c : cases) {
    const ExportFormatDescription& format = describe(c.format);
    SCOPED_TRACE(format.word);
    const std::filesystem::path destination = dir / (std::string("note.") + format.suffix);
    format.write(source, destination);
    EXPECT_EQ(test::readFile(destination), c.written);
  }
}

}  // namespace
}  // namespace sayloom
