// Reading the engine's JSON: the repair of what the engine leaves unescaped, and text cleaning.
// (The mapping of segments to entries is covered through the recognition service's tests.)
#include "core/whisper_output.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/native_error.h"

namespace sayloom {
namespace {

using whisper_output::cleanText;
using whisper_output::parse;
using whisper_output::repair;

TEST(WhisperOutputTest, RepairMakesStringsParseableAndLeavesTheRestAlone) {
  struct Case {
    std::string raw;
    std::string repaired;
  };
  const Case cases[] = {
      {R"({"a": "plain", "b": [1, 2.5, true]})", R"({"a": "plain", "b": [1, 2.5, true]})"},
      {"{\n\t\"a\": \"line\nbreak\"\r\n}", "{\n\t\"a\": \"line\\u000abreak\"\r\n}"},
      {"\"bell\x07\"", "\"bell\\u0007\""},
      {"\"\\\"quoted\\\" and \\\\\"", "\"\\\"quoted\\\" and \\\\\""},
      {"\"cut \xEC\x95\"", "\"cut \xEF\xBF\xBD\""},
      {"\"lone \x80\xFF end\"", "\"lone \xEF\xBF\xBD\xEF\xBF\xBD end\""},
      {"\"\xED\xA0\x80\"", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a UTF-8 encoded surrogate
      {"\"\xEC\x95\x88\"", "\"\xEC\x95\x88\""},
      {"\"dangling \\\x01\"", "\"dangling \\\\\\u0001\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw);
    EXPECT_EQ(repair(c.raw), c.repaired);
    EXPECT_TRUE(nlohmann::json::accept(c.repaired));
  }
}

TEST(WhisperOutputTest, CleanTextTrimsWhiteSpaceAndDropsControls) {
  struct Case {
    std::string text;
    std::string clean;
  };
  const Case cases[] = {
      {" word\n", "word"},
      {"\r\n\t two words \t", "two words"},
      {"\xE3\x80\x80\xC2\xA0wide\xE3\x80\x80", "wide"},  // ideographic and no-break spaces
      {"a\x07"
       "b\x1B"
       "c\x7F",
       "abc"},
      {"keep\ninner\tspace", "keep\ninner\tspace"},
      {"   ", ""},
      {"\xE2\x80\xA8", ""},  // line separator only
      {"\xC3", "\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(cleanText(c.text), c.clean);
  }
}

TEST(WhisperOutputTest, HugeOffsetsAndIndicesSaturateInsteadOfOverflowing) {
  const auto entries = parse(R"({"transcription": [{"offsets": {"from": -9223372036854775808,
      "to": 9223372036854775807}, "text": "x"}, {"offsets": {"from": 18446744073709551615}, "text": "y"}]})",
                             5, 256'000);
  ASSERT_EQ(entries.size(), 2U);
  EXPECT_EQ(entries[0].startTimeMs, std::numeric_limits<std::int64_t>::min() + 40'000);
  EXPECT_EQ(entries[0].endTimeMs, std::numeric_limits<std::int64_t>::max());
  // An unsigned value beyond the signed range makes "offsets" unusable as a whole.
  EXPECT_EQ(entries[1].startTimeMs, 40'000);
  EXPECT_EQ(entries[1].endTimeMs, 48'000);
}

}  // namespace
}  // namespace sayloom
