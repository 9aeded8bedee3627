#include "core/subtitle_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

TranscriptEntry entry(std::int64_t startMs, std::int64_t endMs, std::string text,
                      std::string translation = "") {
  static std::int64_t sequence = 0;
  ++sequence;
  return TranscriptEntry{"e" + std::to_string(sequence), sequence, std::move(text), startMs, endMs,
                         std::move(translation)};
}

TEST(SubtitleTimestampTest, HoursMinutesSecondsMilliseconds) {
  const struct {
    std::int64_t ms;
    const char* srt;
    const char* vtt;
  } cases[] = {
      {0, "00:00:00,000", "00:00:00.000"},         {999, "00:00:00,999", "00:00:00.999"},
      {61'005, "00:01:01,005", "00:01:01.005"},    {3'599'999, "00:59:59,999", "00:59:59.999"},
      {3'600'000, "01:00:00,000", "01:00:00.000"}, {360'000'000, "100:00:00,000", "100:00:00.000"},
      {-1, "00:00:00,000", "00:00:00.000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(subtitles::timestamp(c.ms, SubtitleFormat::srt), c.srt) << c.ms;
    EXPECT_EQ(subtitles::timestamp(c.ms, SubtitleFormat::webVtt), c.vtt) << c.ms;
  }
}

struct SubtitleCase {
  const char* name;
  std::vector<TranscriptEntry> entries;
  std::string srt;
  std::string vtt;
};

std::vector<SubtitleCase> subtitleCases() {
  return {
      {"ordinary entries",
       {entry(0, 2'500, "Hello"), entry(2'500, 4'000, "world")},
       "1\n00:00:00,000 --> 00:00:02,500\nHello\n\n2\n00:00:02,500 --> 00:00:04,000\nworld\n\n",
       "WEBVTT\n\n00:00:00.000 --> 00:00:02.500\nHello\n\n00:00:02.500 --> 00:00:04.000\nworld\n\n"},
      {"an entry crossing the hour",
       {entry(3'599'500, 3'601'250, "자정 무렵")},
       "1\n00:59:59,500 --> 01:00:01,250\n자정 무렵\n\n",
       "WEBVTT\n\n00:59:59.500 --> 01:00:01.250\n자정 무렵\n\n"},
      {"a translation as second line",
       {entry(1'000, 3'000, "안녕하세요", "Hello"), entry(3'000, 4'000, "네", " ")},
       "1\n00:00:01,000 --> 00:00:03,000\n안녕하세요\nHello\n\n2\n00:00:03,000 --> 00:00:04,000\n네\n\n",
       "WEBVTT\n\n00:00:01.000 --> 00:00:03.000\n안녕하세요\nHello\n\n00:00:03.000 --> 00:00:04.000\n네\n\n"},
      {"empty entries skipped, numbering stays dense",
       {entry(0, 1'000, ""), entry(1'000, 2'000, " \n\t", "lonely translation"),
        entry(2'000, 3'000, "남은 말")},
       "1\n00:00:02,000 --> 00:00:03,000\n남은 말\n\n",
       "WEBVTT\n\n00:00:02.000 --> 00:00:03.000\n남은 말\n\n"},
      {"an end before its start gets display time up to the next cue",
       {entry(5'000, 4'000, "거꾸로"), entry(6'000, 6'000, "길이 없음"), entry(20'000, 21'000, "끝")},
       "1\n00:00:05,000 --> 00:00:06,000\n거꾸로\n\n2\n00:00:06,000 --> 00:00:08,000\n길이 없음\n\n"
       "3\n00:00:20,000 --> 00:00:21,000\n끝\n\n",
       "WEBVTT\n\n00:00:05.000 --> 00:00:06.000\n거꾸로\n\n00:00:06.000 --> 00:00:08.000\n길이 없음\n\n"
       "00:00:20.000 --> 00:00:21.000\n끝\n\n"},
      {"overlaps cut back, out-of-order starts sorted, negative times held at zero",
       {entry(8'000, 38'000, "second"), entry(-300, 30'000, "first")},
       "1\n00:00:00,000 --> 00:00:08,000\nfirst\n\n2\n00:00:08,000 --> 00:00:38,000\nsecond\n\n",
       "WEBVTT\n\n00:00:00.000 --> 00:00:08.000\nfirst\n\n00:00:08.000 --> 00:00:38.000\nsecond\n\n"},
      {"entries starting together share one cue",
       {entry(1'000, 2'000, "하나", "one"), entry(1'000, 3'000, "둘")},
       "1\n00:00:01,000 --> 00:00:03,000\n하나\none\n둘\n\n",
       "WEBVTT\n\n00:00:01.000 --> 00:00:03.000\n하나\none\n둘\n\n"},
      {"blank lines inside a text dropped, markup characters escaped in WebVTT",
       {entry(0, 1'000, "a <b> & c\r\n\r\n--> d")},
       "1\n00:00:00,000 --> 00:00:01,000\na <b> & c\n--> d\n\n",
       "WEBVTT\n\n00:00:00.000 --> 00:00:01.000\na &lt;b&gt; &amp; c\n--&gt; d\n\n"},
      {"no entries", {}, "", "WEBVTT\n\n"},
  };
}

TEST(SubtitleTextTest, Vectors) {
  for (const SubtitleCase& c : subtitleCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(subtitles::text(c.entries, SubtitleFormat::srt), c.srt);
    EXPECT_EQ(subtitles::text(c.entries, SubtitleFormat::webVtt), c.vtt);
  }
}

TEST(SubtitleTextTest, CuesNeverRunBackwardsOrOverlap) {
  const std::vector<SubtitleCue> cues =
      subtitles::cues({entry(4'000, 4'000, "a"), entry(4'000, 1'000, "b"), entry(4'001, 9'000, "c"),
                       entry(3'000, 100, "d"), entry(INT64_MAX, INT64_MAX, "e")});
  ASSERT_EQ(cues.size(), 4U);
  for (std::size_t i = 0; i < cues.size(); ++i) {
    EXPECT_LT(cues[i].startMs, cues[i].endMs) << i;
    if (i + 1 < cues.size()) {
      EXPECT_LE(cues[i].endMs, cues[i + 1].startMs) << i;
    }
  }
  EXPECT_EQ(cues[1], (SubtitleCue{4'000, 4'001, {"a", "b"}}));
  EXPECT_EQ(cues[3].endMs, INT64_MAX);
}

// --- read back by ffmpeg --------------------------------------------------------------------------

struct CommandRun {
  int status = -1;
  std::string out;
};

CommandRun run(const std::string& command) {
  CommandRun result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    return result;
  }
  char buffer[4096];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
    result.out.append(buffer, got);
  }
  result.status = pclose(pipe);
  return result;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

TEST(SubtitleTextTest, FfmpegReadsBothFormatsAsSubtitleStreams) {
  const std::vector<TranscriptEntry> entries = {
      entry(0, 2'500, "안녕하세요, 반갑습니다", "Hello, nice to meet you"),
      entry(2'000, 1'000, "<거꾸로> & 끝"),
      entry(3'599'500, 3'601'250, "한 시간 넘어서"),
  };
  const struct {
    SubtitleFormat format;
    const char* codec;
  } formats[] = {{SubtitleFormat::srt, "subrip"}, {SubtitleFormat::webVtt, "webvtt"}};
  test::TempDir dir;
  for (const auto& f : formats) {
    SCOPED_TRACE(f.codec);
    const std::filesystem::path file = dir / (std::string("note.") + subtitles::extension(f.format));
    test::writeFile(file, subtitles::text(entries, f.format));
    ASSERT_NE(test::readFile(file).rfind("\xEF\xBB\xBF", 0), 0U);

    const CommandRun probe = run("ffprobe -v error -of json -show_streams -show_packets " + quoted(file));
    ASSERT_EQ(probe.status, 0) << probe.out;
    const nlohmann::json parsed = nlohmann::json::parse(probe.out);
    ASSERT_EQ(parsed["streams"].size(), 1U);
    EXPECT_EQ(parsed["streams"][0]["codec_type"], "subtitle");
    EXPECT_EQ(parsed["streams"][0]["codec_name"], f.codec);
    const nlohmann::json& packets = parsed["packets"];
    ASSERT_EQ(packets.size(), 3U);
    const struct {
      const char* start;
      const char* duration;
    } times[] = {{"0.000000", "2.000000"}, {"2.000000", "2.000000"}, {"3599.500000", "1.750000"}};
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(packets[i]["pts_time"], times[i].start) << i;
      EXPECT_EQ(packets[i]["duration_time"], times[i].duration) << i;
    }

    // The text survives a conversion by ffmpeg's own decoder and encoder.
    CommandRun converted = run("ffmpeg -v error -i " + quoted(file) + " -f srt -");
    ASSERT_EQ(converted.status, 0) << converted.out;
    std::erase(converted.out, '\r');  // its SubRip lines end in CR LF
    EXPECT_NE(converted.out.find("안녕하세요, 반갑습니다\nHello, nice to meet you\n"), std::string::npos)
        << converted.out;
    EXPECT_NE(converted.out.find("01:00:01,250\n한 시간 넘어서"), std::string::npos) << converted.out;
    EXPECT_NE(converted.out.find("& 끝"), std::string::npos) << converted.out;
  }
}

}  // namespace
}  // namespace sayloom
