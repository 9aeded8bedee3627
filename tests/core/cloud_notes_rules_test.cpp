// The network-free rules of saving a note to the cloud.
#include "core/cloud_notes_rules.h"

#include <gtest/gtest.h>

#include "core/cloud_protocol.h"

namespace sayloom {
namespace {

using nlohmann::json;
namespace cn = CloudNotes;

json membership(const char* id, const char* type, std::optional<const char*> status) {
  json fields = {{"workspaceId", {{"stringValue", id}}},
                 {"workspaceName", {{"stringValue", std::string("name of ") + id}}},
                 {"workspaceType", {{"stringValue", type}}},
                 {"role", {{"stringValue", "member"}}}};
  if (status) {
    fields["status"] = {{"stringValue", *status}};
  }
  return {{"name", std::string("x/") + id}, {"fields", fields}};
}

TEST(CloudNotesRulesTest, OnlyActiveMembershipsAreWorkspacesPersonalFirst) {
  const std::vector<json> listed = {
      membership("team1", "team", "active"),
      membership("caps", "personal", "Active"),
      membership("gone", "personal", "inactive"),
      membership("none", "team", std::nullopt),
      membership("mine", "personal", "active"),
      membership("team2", "team", "active"),
      {{"name", "x/empty"}, {"fields", {{"status", {{"stringValue", "active"}}}}}},
  };
  std::vector<std::string> ids;
  for (const CloudWorkspace& workspace : cn::activeWorkspaces(listed)) {
    ids.push_back(workspace.id);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"mine", "team1", "team2", ""}));
  EXPECT_EQ(cn::activeWorkspaces(listed).front(),
            (CloudWorkspace{"mine", "name of mine", "personal", "member"}));
}

TEST(CloudNotesRulesTest, TranslationLanguagePattern) {
  const struct {
    const char* language;
    bool valid;
  } cases[] = {{"ko", true},  {"pt-BR", true},    {"yue", true},         {"zh-Hant", true},
               {"PT", false}, {"english", false}, {"zh-Hans-CN", false}, {"", false},
               {"e", false},  {"en-", false},     {"en-B", false},       {"en_US", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(cn::validTranslationLanguage(c.language), c.valid) << c.language;
  }
}

TEST(CloudNotesRulesTest, LanguageCountIsTwoOnlyForAnotherLanguage) {
  NativeNote note;
  note.language = "ko";
  EXPECT_EQ(cn::languageCount(note), 1);
  note.translationLanguage = "ko";
  EXPECT_EQ(cn::languageCount(note), 1);
  note.translationLanguage = "en";
  EXPECT_EQ(cn::languageCount(note), 2);
}

TEST(CloudNotesRulesTest, AnswersOfTheCreditAndTranslationCalls) {
  EXPECT_EQ(cn::shortfall({{"shortfall", 0.5}}), 0.5);
  EXPECT_EQ(cn::shortfall({{"shortfall", "0"}}), std::nullopt);
  EXPECT_EQ(cn::shortfall(json::array()), std::nullopt);
  EXPECT_EQ(
      cn::balanceTotal({{"balance", {{"freeRemaining", 1}, {"couponRemaining", 2.5}, {"paidRemaining", 3}}}}),
      6.5);
  EXPECT_EQ(cn::balanceTotal({{"balance", {{"paidRemaining", 3}, {"freeRemaining", "9"}}}}), 3);
  EXPECT_EQ(cn::balanceTotal({{"balance", 7}}), 0);
  EXPECT_EQ(cn::balanceTotal(json::object()), 0);
  EXPECT_EQ(cn::translatedText({{"translatedText", "hi"}}), "hi");
  EXPECT_EQ(cn::translatedText({{"translatedText", 1}}), std::nullopt);
}

TEST(CloudNotesRulesTest, SegmentsTakenOverByTheWebAreNotOverwritten) {
  const auto segment = [](std::optional<const char*> status, bool stamped) {
    json document = {{"fields", json::object()}};
    if (status) {
      document["fields"]["status"] = {{"stringValue", *status}};
    }
    if (stamped) {
      document["updateTime"] = "2026-01-01T00:00:00.1Z";
    }
    return document;
  };
  EXPECT_FALSE(cn::editedOnWeb(segment("final", true)));
  EXPECT_FALSE(cn::editedOnWeb(segment(std::nullopt, true)));
  EXPECT_TRUE(cn::editedOnWeb(segment("edited", true)));
  EXPECT_TRUE(cn::editedOnWeb(segment("refined", true)));
  EXPECT_TRUE(cn::editedOnWeb(segment("final", false)));
}

TEST(CloudNotesRulesTest, PathsAndPatches) {
  const std::string note = cn::notePath("w-1", "native_AB");
  EXPECT_EQ(note, "workspaces/w%2D1/notes/native%5FAB");
  EXPECT_EQ(cn::segmentPath(note, "E-1"), note + "/segments/native_E%2D1");
  EXPECT_EQ(cn::accessPath(note, "u.1"), note + "/access/u%2E1");
  EXPECT_EQ(cn::documentId({{"name", "projects/p/databases/(default)/documents/a/b/native_E-1"}}),
            "native_E-1");
  EXPECT_EQ(cn::documentId(json::object()), "");

  const auto fixed = [] {
    return std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000));
  };
  const cn::TranslationPatch patch = cn::translationPatch("pt-BR", "olá", fixed);
  EXPECT_EQ(patch.masks, (std::vector<std::string>{"translatedText", "translations.`pt-BR`", "updatedAt"}));
  EXPECT_EQ(CloudContract::fields(patch.fields)["translations"],
            json({{"mapValue", {{"fields", {{"pt-BR", {{"stringValue", "olá"}}}}}}}}));
  EXPECT_EQ(CloudProtocol::patchPath("a/b", patch.masks, "2024-05-01T10:00:00.1Z"),
            "/a/b?currentDocument.updateTime=2024%2D05%2D01T10%3A00%3A00%2E1Z"
            "&updateMask.fieldPaths=translatedText&updateMask.fieldPaths=translations%2E%60pt%2DBR%60"
            "&updateMask.fieldPaths=updatedAt");
}

TEST(CloudNotesRulesTest, StopSecondIsKeptOrTakenFromTheDuration) {
  NativeNote note;
  note.durationSeconds = 130.9;
  cn::stopTranslation(note);
  EXPECT_EQ(note.cloudTranslationStoppedAtSeconds, 130);
  note.durationSeconds = 500;
  cn::stopTranslation(note);
  EXPECT_EQ(note.cloudTranslationStoppedAtSeconds, 130);
}

TEST(CloudNotesRulesTest, MergingASyncedNoteLosesNothingRecordedLocally) {
  NativeNote synced;
  synced.durationSeconds = 16;
  synced.cloudBilledSeconds = 16;
  synced.segments = {{"A", 0, "하나", 0, 7000, "one"}, {"B", 1, "둘", 8000, 15000, ""}};
  NativeNote local = synced;
  local.cloudBilledSeconds = 0;
  local.durationSeconds = 24.5;
  local.completed = true;
  local.segments[1].translation = "two";
  local.segments.push_back({"C", 2, "셋", 16000, 23000, ""});
  local.segments.insert(local.segments.begin(), {"Z", -1, "영", 0, 0, ""});

  const NativeNote merged = cn::mergeLocal(synced, local);
  EXPECT_EQ(merged.durationSeconds, 24.5);
  EXPECT_TRUE(merged.completed);
  EXPECT_EQ(merged.cloudBilledSeconds, 16) << "the cloud's own progress is the synced note's";
  std::vector<std::string> ids;
  for (const TranscriptEntry& entry : merged.segments) {
    ids.push_back(entry.id + ":" + entry.translation);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"Z:", "A:one", "B:two", "C:"}));

  NativeNote shorter = local;
  shorter.durationSeconds = 3;
  shorter.completed = false;
  shorter.segments[1].translation = "local";
  const NativeNote kept = cn::mergeLocal(local, shorter);
  EXPECT_EQ(kept.durationSeconds, 24.5);
  EXPECT_TRUE(kept.completed);
  EXPECT_EQ(kept.segments[1].translation, "one") << "a translation the synced note has stays";
}

}  // namespace
}  // namespace sayloom
