#include "core/native_note.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

#include "core/uuid.h"

namespace sayloom {
namespace {

using nlohmann::json;

std::set<std::string> keysOf(const json& object) {
  std::set<std::string> keys;
  for (const auto& [key, value] : object.items()) {
    keys.insert(key);
  }
  return keys;
}

const std::set<std::string> kRequiredNoteKeys = {"id",
                                                 "title",
                                                 "createdAt",
                                                 "language",
                                                 "source",
                                                 "durationSeconds",
                                                 "completed",
                                                 "segments",
                                                 "cloudBilledSeconds",
                                                 "cloudBilledLanguages",
                                                 "cloudCreditsExhausted"};
const std::set<std::string> kOptionalNoteKeys = {"workspaceId",        "cloudNoteId",
                                                 "cloudOwnerId",       "translationLanguage",
                                                 "cloudPendingCharge", "cloudTranslationStoppedAtSeconds",
                                                 "cloudSyncPending"};

// Both decoders, the one of the document tree and the one of the text (used when listing), must
// agree.
NativeNote decode(const json& document) {
  NativeNote borrowed = document.get<NativeNote>();
  EXPECT_EQ(decodeNote(document.dump()), borrowed);
  return borrowed;
}

void expectUnreadable(const json& document, const ::testing::Message& what = {}) {
  SCOPED_TRACE(what);
  EXPECT_ANY_THROW(document.get<NativeNote>());
  EXPECT_ANY_THROW(decodeNote(document.dump()));
}

// A stored note as another writer could have left it: every key present, in no particular order.
const json kStoredNote = json::parse(R"({
  "cloudTranslationStoppedAtSeconds": 480,
  "segments": [
    {"translation": "", "endTimeMs": 2500, "text": "안녕하세요", "startTimeMs": 0, "sequence": 0, "id": "c0-0"},
    {"id": "c1-0", "sequence": 1, "text": "two", "startTimeMs": 8000, "endTimeMs": 9000, "translation": "둘"}
  ],
  "id": "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB",
  "title": "회의",
  "createdAt": "2026-03-01T09:30:00Z",
  "language": "en",
  "source": "system",
  "durationSeconds": 16.5,
  "completed": true,
  "workspaceId": "ws-1",
  "cloudNoteId": "note-1",
  "cloudOwnerId": "owner-1",
  "translationLanguage": "ja",
  "cloudBilledSeconds": 420,
  "cloudBilledLanguages": 2,
  "cloudPendingCharge": {"startSeconds": 420, "seconds": 60, "languageCount": 2},
  "cloudCreditsExhausted": false,
  "cloudSyncPending": true
})");

TEST(NativeNoteTest, NewNoteHasDefaultsAndWritesNoOptionalKeys) {
  const auto before = currentTimestamp();
  const NativeNote note;
  const auto after = currentTimestamp();

  ASSERT_TRUE(uuid::isValid(note.id));
  EXPECT_EQ(note.id, uuid::format(*uuid::parse(note.id))) << "canonical upper-case form";
  EXPECT_NE(note.id, NativeNote().id);
  EXPECT_EQ(note.title, "새 음성 노트");
  EXPECT_GE(note.createdAt, before);
  EXPECT_LE(note.createdAt, after);
  EXPECT_EQ(note.language, "ko");
  EXPECT_EQ(note.source, "microphone");
  EXPECT_EQ(note.durationSeconds, 0);
  EXPECT_FALSE(note.completed);
  EXPECT_TRUE(note.segments.empty());
  EXPECT_EQ(note.cloudBilledSeconds, 0);
  EXPECT_EQ(note.cloudBilledLanguages, 0);
  EXPECT_FALSE(note.cloudCreditsExhausted);
  EXPECT_FALSE(note.workspaceId || note.cloudNoteId || note.cloudOwnerId || note.translationLanguage ||
               note.cloudPendingCharge || note.cloudTranslationStoppedAtSeconds || note.cloudSyncPending);

  const json encoded = note;
  EXPECT_EQ(keysOf(encoded), kRequiredNoteKeys);
  EXPECT_EQ(decode(encoded), note);
}

TEST(NativeNoteTest, StoredNoteReadsEveryFieldAndWritesBackTheSameDocument) {
  const NativeNote note = decode(kStoredNote);
  EXPECT_EQ(note.id, "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB");
  EXPECT_EQ(note.createdAt, *parseIsoDate("2026-03-01T09:30:00Z"));
  EXPECT_EQ(note.durationSeconds, 16.5);
  EXPECT_EQ(note.segments, (std::vector<TranscriptEntry>{{"c0-0", 0, "안녕하세요", 0, 2500, ""},
                                                         {"c1-0", 1, "two", 8000, 9000, "둘"}}));
  EXPECT_EQ(note.cloudPendingCharge, (ChargeSlice{420, 60, 2}));
  EXPECT_EQ(note.cloudTranslationStoppedAtSeconds, 480);
  EXPECT_EQ(note.translationLanguage, "ja");

  EXPECT_EQ(json(note), kStoredNote);
  EXPECT_EQ(json(note)["segments"][0]["translation"], "") << "an empty translation is an empty string";
}

TEST(NativeNoteTest, OptionalKeysMayBeAbsentOrNull) {
  for (const std::string& key : kOptionalNoteKeys) {
    SCOPED_TRACE(key);
    for (bool asNull : {false, true}) {
      json stored = kStoredNote;
      if (asNull) {
        stored[key] = nullptr;
      } else {
        stored.erase(key);
      }
      const NativeNote note = decode(stored);
      stored.erase(key);
      EXPECT_EQ(json(note), stored) << "the field reads as absent and is written without a key";
    }
  }
}

TEST(NativeNoteTest, MissingRequiredKeyMakesTheNoteUnreadable) {
  for (const std::string& key : kRequiredNoteKeys) {
    json stored = kStoredNote;
    stored.erase(key);
    expectUnreadable(stored, ::testing::Message() << key);
  }
  for (const char* key : {"id", "sequence", "text", "startTimeMs", "endTimeMs", "translation"}) {
    json stored = kStoredNote;
    stored["segments"][1].erase(key);
    expectUnreadable(stored, ::testing::Message() << "segment without " << key);
  }
  for (const char* key : {"startSeconds", "seconds", "languageCount"}) {
    json stored = kStoredNote;
    stored["cloudPendingCharge"].erase(key);
    expectUnreadable(stored, ::testing::Message() << "pending charge without " << key);
  }
}

TEST(NativeNoteTest, ValueOfTheWrongTypeMakesTheNoteUnreadable) {
  const std::vector<std::pair<json::json_pointer, json>> cases = {
      {json::json_pointer("/id"), 5},
      {json::json_pointer("/title"), nullptr},
      {json::json_pointer("/createdAt"), 1772357400},
      {json::json_pointer("/language"), json::array()},
      {json::json_pointer("/durationSeconds"), "16.5"},
      {json::json_pointer("/completed"), 1},
      {json::json_pointer("/segments"), json::object()},
      {json::json_pointer("/segments/0"), "c0-0"},
      {json::json_pointer("/segments/0/sequence"), 1.5},
      {json::json_pointer("/segments/0/startTimeMs"), "0"},
      {json::json_pointer("/segments/0/translation"), nullptr},
      {json::json_pointer("/cloudBilledSeconds"), 1.5},
      {json::json_pointer("/cloudBilledSeconds"), json::parse("9223372036854775808")},
      {json::json_pointer("/cloudBilledLanguages"), "2"},
      {json::json_pointer("/cloudCreditsExhausted"), "false"},
      {json::json_pointer("/workspaceId"), 7},
      {json::json_pointer("/cloudPendingCharge"), "420"},
      {json::json_pointer("/cloudPendingCharge/seconds"), 60.5},
      {json::json_pointer("/cloudTranslationStoppedAtSeconds"), 480.5},
      {json::json_pointer("/cloudSyncPending"), "true"},
  };
  for (const auto& [pointer, value] : cases) {
    json stored = kStoredNote;
    stored[pointer] = value;
    expectUnreadable(stored, ::testing::Message() << pointer.to_string() << " = " << value.dump());
  }
  expectUnreadable(json::array());
  expectUnreadable(json("note"));

  // Whole numbers are numbers too, and keys this version does not know are ignored, whatever they
  // hold and wherever they stand.
  json stored = kStoredNote;
  stored["durationSeconds"] = 16;
  stored["futureKey"] = true;
  stored["futureObject"] = json::parse(R"({"segments": [{"id": 1}], "id": [[[]]], "title": {}})");
  stored["segments"][0]["futureList"] = json::parse(R"([{"sequence": "x"}, [1, 2], null])");
  stored["cloudPendingCharge"]["futureObject"] = json::parse(R"({"seconds": "x"})");
  EXPECT_EQ(decode(stored).durationSeconds, 16.0);
}

TEST(NativeNoteTest, TextDecoderKeepsTheLastOfRepeatedKeysButRefusesAnyBadOne) {
  // A document tree keeps the last value of a repeated key, and so does the decoder of the text;
  // it refuses a bad earlier value the tree would have dropped unseen.
  const std::string stored = kStoredNote.dump();
  std::string repeated = stored;
  repeated.insert(1, R"("title": "older", "segments": [], "cloudPendingCharge": null, )");
  EXPECT_EQ(decodeNote(repeated), kStoredNote.get<NativeNote>());
  for (const char* earlier :
       {R"("segments": [{"id": "x"}], )", R"("cloudPendingCharge": {"seconds": "x"}, )", R"("title": 5, )"}) {
    std::string text = stored;
    text.insert(1, earlier);
    EXPECT_ANY_THROW(decodeNote(text)) << earlier;
  }
  EXPECT_ANY_THROW(decodeNote(stored + " {}"));
}

TEST(NativeNoteTest, OnlyWholeSecondUtcDatesAreReadable) {
  const std::vector<std::pair<const char*, bool>> cases = {
      {"2026-03-01T09:30:00Z", true},
      {"9999-12-31T23:59:59Z", true},
      {"0000-01-01T00:00:00Z", true},
      {"1900-01-01T00:00:00Z", true},
      {"2024-02-29T23:59:59Z", true},
      {"2026-03-01T09:30:00.250Z", false},
      {"2026-03-01T09:30:00.000Z", false},
      {"2026-03-01T09:30:00+00:00", false},
      {"2026-03-01T09:30:00", false},
      {"2026-03-01 09:30:00Z", false},
      {"2026-03-01T09:30:00z", false},
      {"2026-02-29T09:30:00Z", false},
      {"2026-13-01T09:30:00Z", false},
      {"2026-03-01T24:00:00Z", false},
      {"2026-03-01T09:60:00Z", false},
      {"2026-03-01T09:30:60Z", false},
      {"+026-03-01T09:30:00Z", false},
      {" 2026-03-01T09:30:00Z", false},
      {"", false},
  };
  for (const auto& [text, readable] : cases) {
    json stored = kStoredNote;
    stored["createdAt"] = text;
    if (readable) {
      EXPECT_EQ(decode(stored).createdAt, *parseIsoDate(text)) << text;
      EXPECT_EQ(json(decode(stored))["createdAt"], text);
    } else {
      expectUnreadable(stored, ::testing::Message() << text);
    }
  }
}

TEST(NativeNoteTest, WritingDropsTheFractionOfASecond) {
  using namespace std::chrono;
  const auto time = sys_days{2026y / March / 1} + 9h + 30min + 999ms;
  EXPECT_EQ(formatIsoDate(time), "2026-03-01T09:30:00Z");
  EXPECT_EQ(formatIsoDate(sys_days{1969y / December / 31} + 23h + 59min + 59s + 500ms),
            "1969-12-31T23:59:59Z");
}

TEST(NativeNoteTest, NonFiniteDurationIsStoredAsZeroSoTheNoteStaysReadable) {
  for (double duration :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    NativeNote note;
    note.durationSeconds = duration;
    const nlohmann::json encoded = note;
    EXPECT_EQ(nlohmann::json::parse(encoded.dump()).get<NativeNote>().durationSeconds, 0.0);
  }
}

TEST(TranscriptEntryTest, WritesExactlyItsSixKeysAndReadsThemBack) {
  const TranscriptEntry entry{"c3-1", 31, "문장", 24000, 26500, ""};
  const json encoded = entry;
  EXPECT_EQ(keysOf(encoded),
            (std::set<std::string>{"id", "sequence", "text", "startTimeMs", "endTimeMs", "translation"}));
  EXPECT_EQ(encoded["translation"], "");
  EXPECT_EQ(encoded.get<TranscriptEntry>(), entry);

  // A per-chunk transcript file is an array of entries.
  const json file = std::vector<TranscriptEntry>{entry, {"c3-2", 32, "", -1, 0, "x"}};
  EXPECT_EQ(file.get<std::vector<TranscriptEntry>>()[1].startTimeMs, -1);

  json withoutTranslation = encoded;
  withoutTranslation.erase("translation");
  EXPECT_ANY_THROW(withoutTranslation.get<TranscriptEntry>());
}

}  // namespace
}  // namespace sayloom
