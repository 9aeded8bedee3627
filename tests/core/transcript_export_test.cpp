#include "core/transcript_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sayloom {
namespace {

TEST(DurationTest, FormatsHoursMinutesSeconds) {
  const struct {
    double seconds;
    const char* text;
  } cases[] = {
      {0, "00:00:00"},
      {59.999, "00:00:59"},
      {61.5, "00:01:01"},
      {3725.9, "01:02:05"},
      {360000, "100:00:00"},
      {-0.5, "00:00:00"},
      {-3725, "00:00:00"},
      {std::nan(""), "00:00:00"},
      {std::numeric_limits<double>::infinity(), "00:00:00"},
      {-std::numeric_limits<double>::infinity(), "00:00:00"},
      {1e300, "2562047788015215:30:07"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(duration(c.seconds), c.text) << c.seconds;
  }
}

TranscriptEntry entry(std::int64_t sequence, std::int64_t startMs, std::string text,
                      std::string translation) {
  return TranscriptEntry{"e" + std::to_string(sequence), sequence, std::move(text), startMs, startMs + 500,
                         std::move(translation)};
}

TEST(TranscriptTextTest, BlocksWithTimesAndTranslations) {
  NativeNote note;
  note.title = "회의 메모";
  note.segments = {entry(0, 0, "안녕하세요", ""), entry(1, 61'500, "두 번째", "Second"),
                   entry(2, 3'725'999, "끝", "")};
  EXPECT_EQ(transcriptText(note),
            "회의 메모\n\n"
            "[00:00:00] 안녕하세요\n\n"
            "[00:01:01] 두 번째\nSecond\n\n"
            "[01:02:05] 끝");
}

TEST(TranscriptTextTest, NoteWithoutEntriesIsTitleAndBlankLine) {
  NativeNote note;
  note.title = "빈 노트";
  EXPECT_EQ(transcriptText(note), "빈 노트\n\n");
}

}  // namespace
}  // namespace sayloom
