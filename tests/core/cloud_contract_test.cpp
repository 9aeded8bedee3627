#include "core/cloud_contract.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

namespace sayloom {
namespace {

using namespace std::chrono;
using nlohmann::json;
namespace cc = CloudContract;

sys_seconds at(int y, unsigned mo, unsigned d, int h, int mi, int s) {
  return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

const system_clock::time_point fixedNow = at(2026, 3, 2, 10, 0, 0) + milliseconds(999);
cc::Clock fixedClock() {
  return [] { return fixedNow; };
}

TEST(CloudContractTest, RootIsBuiltFromTheProject) {
  EXPECT_FALSE(cc::project.empty());
  EXPECT_EQ(cc::root, "projects/" + std::string(cc::project) + "/databases/(default)/documents");
  EXPECT_FALSE(cc::origin.ends_with("/"));
}

TEST(CloudContractTest, EncodesEveryKindOfPlainValue) {
  const json null = {{"nullValue", "NULL_VALUE"}};
  const struct {
    const char* name;
    cc::PlainValue plain;
    json typed;
  } cases[] = {
      {"true", true, {{"booleanValue", true}}},
      {"false", false, {{"booleanValue", false}}},
      {"integer", 42, {{"integerValue", "42"}}},
      {"zero", 0, {{"integerValue", "0"}}},
      {"smallest integer",
       std::numeric_limits<std::int64_t>::min(),
       {{"integerValue", "-9223372036854775808"}}},
      {"unsigned beyond signed range", std::numeric_limits<std::uint64_t>::max(), null},
      {"text", "회의 ✓", {{"stringValue", "회의 ✓"}}},
      {"empty text", "", {{"stringValue", ""}}},
      {"time drops its fraction",
       at(2026, 3, 1, 9, 30, 0) + milliseconds(750),
       {{"timestampValue", "2026-03-01T09:30:00Z"}}},
      {"time before 1970 rounds down",
       sys_seconds{} - milliseconds(500),
       {{"timestampValue", "1969-12-31T23:59:59Z"}}},
      {"time past year 9999 held at its end",
       cc::Instant::max(),
       {{"timestampValue", "9999-12-31T23:59:59Z"}}},
      {"time before year 1 held at its start",
       cc::Instant::min(),
       {{"timestampValue", "0001-01-01T00:00:00Z"}}},
      {"empty list", cc::PlainValue::Texts{}, {{"arrayValue", {{"values", json::array()}}}}},
      {"list",
       cc::PlainValue::Texts{"ko", "en"},
       {{"arrayValue", {{"values", {{{"stringValue", "ko"}}, {{"stringValue", "en"}}}}}}}},
      {"nested map",
       cc::PlainMap{{"a", cc::PlainMap{{"b", 1}}}, {"c", nullptr}},
       {{"mapValue",
         {{"fields",
           {{"a", {{"mapValue", {{"fields", {{"b", {{"integerValue", "1"}}}}}}}}}, {"c", null}}}}}}},
      {"empty map", cc::PlainMap{}, {{"mapValue", {{"fields", json::object()}}}}},
      {"floating-point number", 1.5, null},
      {"explicit null", nullptr, null},
      {"default", cc::PlainValue{}, null},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cc::value(c.plain), c.typed) << c.name;
  }
}

TEST(CloudContractTest, ReadsTypedValuesBack) {
  const struct {
    const char* name;
    json typed;
    cc::PlainValue plain;
  } cases[] = {
      {"boolean", {{"booleanValue", true}}, true},
      {"integer", {{"integerValue", "-42"}}, -42},
      {"integer beyond 64 bits", {{"integerValue", "9223372036854775808"}}, nullptr},
      {"integer with a sign only", {{"integerValue", "-"}}, nullptr},
      {"integer as a JSON number", {{"integerValue", 42}}, nullptr},
      {"double", {{"doubleValue", 1.5}}, 1.5},
      {"text", {{"stringValue", "회의"}}, "회의"},
      {"whole-second time", {{"timestampValue", "2026-03-01T09:30:00Z"}}, at(2026, 3, 1, 9, 30, 0)},
      {"server time with microseconds",
       {{"timestampValue", "2026-03-01T09:30:00.123456Z"}},
       at(2026, 3, 1, 9, 30, 0) + milliseconds(123)},
      {"time with one fraction digit",
       {{"timestampValue", "2026-03-01T09:30:00.5Z"}},
       at(2026, 3, 1, 9, 30, 0) + milliseconds(500)},
      {"time with an empty fraction", {{"timestampValue", "2026-03-01T09:30:00.Z"}}, nullptr},
      {"time with an offset", {{"timestampValue", "2026-03-01T09:30:00+09:00"}}, nullptr},
      {"impossible date", {{"timestampValue", "2026-02-30T09:30:00Z"}}, nullptr},
      {"list",
       {{"arrayValue", {{"values", {{{"stringValue", "ko"}}, {{"stringValue", "en"}}}}}}},
       cc::PlainValue::Texts{"ko", "en"}},
      {"empty list as the database sends it", {{"arrayValue", json::object()}}, cc::PlainValue::Texts{}},
      {"list with a number", {{"arrayValue", {{"values", {{{"integerValue", "1"}}}}}}}, nullptr},
      {"map", {{"mapValue", {{"fields", {{"a", {{"integerValue", "1"}}}}}}}}, cc::PlainMap{{"a", 1}}},
      {"empty map as the database sends it", {{"mapValue", json::object()}}, cc::PlainMap{}},
      {"null", {{"nullValue", "NULL_VALUE"}}, nullptr},
      {"two kinds at once", {{"stringValue", "a"}, {"booleanValue", true}}, nullptr},
      {"unknown kind", {{"geoPointValue", {{"latitude", 1}}}}, nullptr},
      {"not an object", json::array({1}), nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cc::plain(c.typed), c.plain) << c.name;
  }
}

TEST(CloudContractTest, EveryEncodedKindReadsBackEqual) {
  const cc::PlainMap original{
      {"flag", false},
      {"count", std::numeric_limits<std::int64_t>::min()},
      {"title", "주간 회의"},
      {"createdAt", cc::Instant(at(2026, 3, 1, 9, 30, 0))},
      {"languages", cc::PlainValue::Texts{"ko", "en"}},
      {"none", cc::PlainValue::Texts{}},
      {"access", cc::PlainMap{{"uid-1", "owner"}, {"nested", cc::PlainMap{{"deep", true}}}}},
      {"folderId", nullptr},
  };
  EXPECT_EQ(cc::plainFields({{"fields", cc::fields(original)}}), original);
  EXPECT_EQ(cc::plainFields({{"name", "no fields"}}), cc::PlainMap{});
}

TEST(CloudContractTest, StringReadsTextFieldsAndNeverFails) {
  const struct {
    const char* name;
    json document;
    std::string text;
  } cases[] = {
      {"text field", {{"fields", {{"role", {{"stringValue", "admin"}}}}}}, "admin"},
      {"no fields", {{"name", "x"}}, ""},
      {"field missing", {{"fields", {{"other", {{"stringValue", "x"}}}}}}, ""},
      {"integer field", {{"fields", {{"role", {{"integerValue", "3"}}}}}}, ""},
      {"stringValue not text", {{"fields", {{"role", {{"stringValue", 3}}}}}}, ""},
      {"field not an object", {{"fields", {{"role", "admin"}}}}, ""},
      {"fields not an object", {{"fields", json::array({1})}}, ""},
      {"document is an array", json::array({1, 2}), ""},
      {"document is null", json(), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cc::string(c.document, "role"), c.text) << c.name;
  }
}

NativeNote sampleNote() {
  NativeNote note;
  note.id = "0F8FAD5B-D9CB-469F-A165-70867728950E";
  note.title = "주간 회의";
  note.createdAt = at(2026, 3, 1, 9, 30, 0);
  note.language = "ko";
  note.cloudNoteId = "cloud-1";
  return note;
}

TEST(CloudContractTest, NoteFieldsDescribeANewPrivateDraft) {
  const NativeNote note = sampleNote();
  const json expected = {
      {"workspaceId", {{"stringValue", "ws-1"}}},
      {"workspaceType", {{"stringValue", "team"}}},
      {"folderId", {{"nullValue", "NULL_VALUE"}}},
      {"ownerId", {{"stringValue", "uid-1"}}},
      {"createdBy", {{"stringValue", "uid-1"}}},
      {"updatedBy", {{"stringValue", "uid-1"}}},
      {"title", {{"stringValue", "주간 회의"}}},
      {"mode", {{"stringValue", "meeting"}}},
      {"status", {{"stringValue", "draft"}}},
      {"visibility", {{"stringValue", "private"}}},
      {"collaborationMode", {{"stringValue", "view_only"}}},
      {"speakerDetection", {{"stringValue", "auto"}}},
      {"inputLanguages", {{"arrayValue", {{"values", {{{"stringValue", "ko"}}}}}}}},
      {"outputLanguage", {{"stringValue", "ko"}}},
      {"realtimeTranslationEnabled", {{"booleanValue", false}}},
      {"saveOriginalAudio", {{"booleanValue", false}}},
      {"durationSeconds", {{"integerValue", "0"}}},
      {"activeEditorCount", {{"integerValue", "0"}}},
      {"summaryStatus", {{"stringValue", "not_requested"}}},
      {"accessMap", {{"mapValue", {{"fields", {{"uid-1", {{"stringValue", "owner"}}}}}}}}},
      {"readerIds", {{"arrayValue", {{"values", {{{"stringValue", "uid-1"}}}}}}}},
      {"createdAt", {{"timestampValue", "2026-03-01T09:30:00Z"}}},
      {"updatedAt", {{"timestampValue", "2026-03-02T10:00:00Z"}}},
  };
  EXPECT_EQ(cc::noteFields(note, "uid-1", "ws-1", "team", fixedClock()), expected);
}

TEST(CloudContractTest, NoteFieldsFollowTheTranslationLanguage) {
  NativeNote note = sampleNote();
  note.translationLanguage = "en";
  const json fields = cc::noteFields(note, "u", "w", "personal", fixedClock());
  EXPECT_EQ(fields["outputLanguage"], json({{"stringValue", "en"}}));
  EXPECT_EQ(fields["realtimeTranslationEnabled"], json({{"booleanValue", true}}));
  EXPECT_EQ(fields["inputLanguages"], json({{"arrayValue", {{"values", {{{"stringValue", "ko"}}}}}}}));
}

TEST(CloudContractTest, SegmentFieldsStampTheEntryStartAfterNoteCreation) {
  NativeNote note = sampleNote();
  const TranscriptEntry entry{"e-7", 7, "안녕하세요", 61'500, 64'000, "Hello"};
  const json expected = {
      {"noteId", {{"stringValue", "cloud-1"}}},
      {"sequence", {{"integerValue", "7"}}},
      {"startTimeMs", {{"integerValue", "61500"}}},
      {"endTimeMs", {{"integerValue", "64000"}}},
      {"originalText", {{"stringValue", "안녕하세요"}}},
      {"translatedText", {{"stringValue", "Hello"}}},
      {"detectedLanguage", {{"stringValue", "ko"}}},
      {"status", {{"stringValue", "final"}}},
      {"source", {{"stringValue", "live"}}},
      {"version", {{"integerValue", "1"}}},
      {"isBookmarked", {{"booleanValue", false}}},
      {"isImportant", {{"booleanValue", false}}},
      {"createdAt", {{"timestampValue", "2026-03-01T09:31:01Z"}}},
      {"updatedAt", {{"timestampValue", "2026-03-02T10:00:00Z"}}},
  };
  EXPECT_EQ(cc::segmentFields(entry, note, fixedClock()), expected);

  // The fraction of the offset is dropped, never rounded up; an unlinked note sends an empty noteId.
  note.cloudNoteId.reset();
  const TranscriptEntry late{"e-8", 8, "", 61'999, 62'000, ""};
  const json fields = cc::segmentFields(late, note, fixedClock());
  EXPECT_EQ(fields["createdAt"], json({{"timestampValue", "2026-03-01T09:31:01Z"}}));
  EXPECT_EQ(fields["noteId"], json({{"stringValue", ""}}));
  EXPECT_EQ(fields["translatedText"], json({{"stringValue", ""}}));
}

TEST(CloudContractTest, QueryFiltersFollowTheRole) {
  const json readers = {{"fieldFilter",
                         {{"field", {{"fieldPath", "readerIds"}}},
                          {"op", "ARRAY_CONTAINS"},
                          {"value", {{"stringValue", "uid-1"}}}}}};
  const json visibility = {
      {"fieldFilter",
       {{"field", {{"fieldPath", "visibility"}}},
        {"op", "IN"},
        {"value",
         {{"arrayValue", {{"values", {{{"stringValue", "workspace"}}, {{"stringValue", "members"}}}}}}}}}}};
  using Filters = std::vector<std::optional<json>>;
  const struct {
    const char* role;
    Filters filters;
  } cases[] = {
      {"owner", Filters{std::nullopt}},
      {"admin", Filters{std::nullopt}},
      {"member", Filters{readers, visibility}},
      {"viewer", Filters{readers}},
      {"", Filters{readers}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cc::queryFilters("uid-1", c.role), c.filters) << "role '" << c.role << "'";
  }
}

}  // namespace
}  // namespace sayloom
