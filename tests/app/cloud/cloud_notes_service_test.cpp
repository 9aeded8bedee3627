// Saving notes to the cloud against a cloud kept in memory: linking before anything is created,
// repair after a crash, segments created once, charges resent with the same key, shortfalls,
// translation that never overwrites the web's edits, and the checks that refuse a sync.
#include "app/cloud/cloud_notes_service.h"

#include <gtest/gtest.h>

#include "app/cloud/memory_cloud_session.h"
#include "core/cloud_messages.h"
#include "core/cloud_notes_rules.h"
#include "support/run_task.h"

namespace sayloom {
namespace {

using nlohmann::json;
using test::MemoryCloudSession;
using test::runTask;

const CloudWorkspace personal{"w1", "Mine", "personal", "owner"};

json membership(const CloudWorkspace& workspace) {
  return CloudContract::fields({{"workspaceId", workspace.id},
                                {"workspaceName", workspace.name},
                                {"workspaceType", workspace.type},
                                {"role", workspace.role},
                                {"status", "active"}});
}

NativeNote recordedNote(int entries, double seconds) {
  NativeNote note;
  note.id = "N1";
  note.language = "ko";
  note.durationSeconds = seconds;
  note.completed = true;
  for (int i = 0; i < entries; ++i) {
    note.segments.push_back(
        {"E" + std::to_string(i), i, "문장 " + std::to_string(i), i * 8000, i * 8000 + 7000, ""});
  }
  return note;
}

// The message of the NativeError the task throws, or "" when it succeeds.
std::string failure(QCoro::Task<NativeNote> task) {
  try {
    runTask(std::move(task));
  } catch (const NativeError& error) {
    return error.description();
  }
  return "";
}

class CloudNotesServiceTest : public ::testing::Test {
protected:
  CloudNotesServiceTest() {
    cloud.signIn("u1");
    cloud.put("users/u1/workspaceMemberships/m1", membership(personal));
  }

  // The note as last saved to the "disk".
  const NativeNote& savedNote() const { return saved.back(); }
  // The cloud note's name in the database (its address escapes the "_").
  std::string notePath() const { return "workspaces/w1/notes/native_N1"; }

  MemoryCloudSession cloud;
  std::vector<NativeNote> saved;
  CloudNotesService service{cloud, [this](NativeNote note) -> QCoro::Task<void> {
                              saved.push_back(std::move(note));
                              co_return;
                            }};
};

TEST_F(CloudNotesServiceTest, WorkspacesNeedAnAccount) {
  EXPECT_EQ(runTask(service.workspaces()), std::vector<CloudWorkspace>{personal});
  cloud.signOut();
  EXPECT_EQ(failure(service.sync(recordedNote(1, 10), personal, false)), messages::notSignedIn);
}

TEST_F(CloudNotesServiceTest, FirstSyncLinksBeforeCreatingAndIsRepairedAfterACrash) {
  // The process dies when it first tries to create the cloud note.
  bool crashed = false;
  cloud.fault = [&](const std::string& request) {
    if (request == "POST :commit" && !crashed) {
      crashed = true;
      throw std::runtime_error("killed");
    }
  };
  EXPECT_THROW(runTask(service.sync(recordedNote(3, 20), personal, false)), std::runtime_error);
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(saved.front().cloudNoteId, "native_N1");
  EXPECT_EQ(saved.front().workspaceId, "w1");
  EXPECT_EQ(saved.front().cloudOwnerId, "u1");
  EXPECT_EQ(saved.front().cloudBilledLanguages, 1);
  EXPECT_FALSE(cloud.documents.contains(notePath()));
  EXPECT_FALSE(savedNote().cloudTranslationStoppedAtSeconds) << "a sync without translation stops nothing";

  // The next sync, from what was on disk, reads 404 and creates the note, then every segment once.
  const NativeNote synced = runTask(service.sync(savedNote(), personal, false));
  EXPECT_TRUE(cloud.documents.contains(notePath()));
  EXPECT_TRUE(cloud.documents.contains(notePath() + "/access/u1"));
  EXPECT_EQ(cloud.children(notePath() + "/segments").size(), 3u);
  EXPECT_EQ(synced.cloudBilledSeconds, 20);
  EXPECT_EQ(cloud.document(notePath())["fields"]["status"], json({{"stringValue", "completed"}}));
  EXPECT_EQ(cloud.document(notePath())["fields"]["durationSeconds"], json({{"integerValue", "20"}}));

  // A later sync creates only what is new; an existing segment is never rewritten, even when its
  // local text changed.
  NativeNote grown = synced;
  grown.segments[0].text = "고친 문장";
  grown.segments.push_back({"E9", 9, "새 문장", 72000, 79000, ""});
  const int commits = cloud.count("POST :commit");
  runTask(service.sync(grown, personal, false));
  EXPECT_EQ(cloud.count("POST :commit") - commits, 2) << "the access entry (409) and the new segment";
  EXPECT_EQ(cloud.document(notePath() + "/segments/native_E0")["fields"]["originalText"],
            json({{"stringValue", "문장 0"}}));
  EXPECT_EQ(cloud.children(notePath() + "/segments").size(), 4u);
}

TEST_F(CloudNotesServiceTest, AHiddenCloudNoteIsCreatedLikeAMissingOne) {
  cloud.fault = [&](const std::string& request) {
    if (request == "GET /" + CloudNotes::notePath("w1", "native_N1") &&
        !cloud.documents.contains(notePath())) {
      throw NativeError::http(403);
    }
  };
  runTask(service.sync(recordedNote(1, 5), personal, false));
  EXPECT_TRUE(cloud.documents.contains(notePath()));

  cloud.fault = [](const std::string& request) {
    if (request.starts_with("GET /workspaces/w1/notes/native%5FN1")) {
      throw NativeError::http(500);
    }
  };
  EXPECT_EQ(failure(service.sync(savedNote(), personal, false)), NativeError::http(500).description());
}

TEST_F(CloudNotesServiceTest, ALostChargeAnswerIsResentWithTheSameKeyAndChargedOnce) {
  std::map<std::string, json> charged;  // the service's own idempotency: one charge per key
  bool dropAnswer = true;
  cloud.functions["consumeCredits"] = [&](const json& data) {
    const std::string key = data["idempotencyKey"];
    cloud.chargeKeys.push_back(key);
    if (key.ends_with("-balance")) {
      return json{{"balance", {{"paidRemaining", 100}}}};
    }
    charged.emplace(key, data);
    if (std::exchange(dropAnswer, false)) {
      throw std::runtime_error("connection dropped");
    }
    return json{{"shortfall", 0}};
  };
  NativeNote note = recordedNote(1, 90);
  note.completed = false;
  EXPECT_THROW(runTask(service.sync(note, personal, false)), std::runtime_error);
  EXPECT_EQ(savedNote().cloudPendingCharge, (ChargeSlice{0, 90, 1}));
  EXPECT_EQ(savedNote().cloudBilledSeconds, 0);

  // Meanwhile the recording went on: the pending slice is still sent first, unchanged.
  note = savedNote();
  note.durationSeconds = 200;
  note.completed = true;
  const NativeNote synced = runTask(service.sync(note, personal, false));
  EXPECT_EQ(cloud.chargeKeys, (std::vector<std::string>{"native-N1-0", "native-N1-0", "native-N1-90"}));
  EXPECT_EQ(charged.size(), 2u);
  EXPECT_EQ(charged["native-N1-0"]["seconds"], 90);
  EXPECT_EQ(charged["native-N1-90"]["seconds"], 110);
  EXPECT_EQ(synced.cloudBilledSeconds, 200);
  EXPECT_FALSE(synced.cloudPendingCharge);
}

TEST_F(CloudNotesServiceTest, ChargeAnswers) {
  const struct {
    const char* name;
    json answer;
    const char* message;
    bool exhausted;
    bool pending;
  } cases[] = {
      {"no shortfall", {{"shortfall", 0}}, "", false, false},
      {"shortfall", {{"shortfall", 0.5}}, messages::chargeShortfall, true, false},
      {"unreadable", {{"charged", true}}, messages::chargeAnswerUnreadable, false, true},
  };
  for (const auto& c : cases) {
    cloud.functions["consumeCredits"] = [&](const json&) { return c.answer; };
    saved.clear();
    EXPECT_EQ(failure(service.sync(recordedNote(1, 30), personal, true)), c.message) << c.name;
    EXPECT_EQ(savedNote().cloudCreditsExhausted, c.exhausted) << c.name;
    EXPECT_EQ(savedNote().cloudPendingCharge.has_value(), c.pending) << c.name;
    EXPECT_EQ(savedNote().cloudBilledSeconds, c.pending ? 0 : 30) << c.name;
    if (c.exhausted) {
      // Every later sync of that note is refused, and the charge is not tried again.
      const int calls = cloud.count("CALL consumeCredits");
      EXPECT_EQ(failure(service.sync(savedNote(), personal, false)), messages::creditsExhausted);
      EXPECT_EQ(cloud.count("CALL consumeCredits"), calls);
    }
  }
}

TEST_F(CloudNotesServiceTest, TranslationStopsAtASegmentEditedOnTheWebAndNeverRepeats) {
  NativeNote note = recordedNote(4, 32);
  note.translationLanguage = "en";
  runTask(service.sync(note, personal, false));  // uploaded, not translated
  cloud.document(notePath() + "/segments/native_E2")["fields"]["status"] = {{"stringValue", "refined"}};
  note = savedNote();
  note.segments[0].translation = "done before";

  EXPECT_EQ(failure(service.sync(note, personal, true)), messages::editedOnWeb);
  EXPECT_EQ(cloud.count("CALL translate"), 1) << "E1 only: E0 had a translation, E2 was refined";
  EXPECT_EQ(savedNote().segments[1].translation, "[en] 문장 1");
  EXPECT_EQ(savedNote().segments[2].translation, "");
  EXPECT_EQ(savedNote().cloudTranslationStoppedAtSeconds, 32);
  const json& segment = cloud.document(notePath() + "/segments/native_E1")["fields"];
  EXPECT_EQ(segment["translatedText"], json({{"stringValue", "[en] 문장 1"}}));
  EXPECT_EQ(segment["translations"]["mapValue"]["fields"]["en"], json({{"stringValue", "[en] 문장 1"}}));

  // Once the web's version is gone, the rest is translated; E1 is not translated twice.
  cloud.document(notePath() + "/segments/native_E2")["fields"]["status"] = {{"stringValue", "final"}};
  const NativeNote synced = runTask(service.sync(savedNote(), personal, true));
  EXPECT_EQ(cloud.count("CALL translate"), 3);
  EXPECT_EQ(synced.segments[3].translation, "[en] 문장 3");
}

TEST_F(CloudNotesServiceTest, TranslationChecksLanguageAndBalance) {
  NativeNote note = recordedNote(1, 30);
  note.translationLanguage = "english";
  EXPECT_EQ(failure(service.sync(note, personal, true)), messages::translationLanguageInvalid);
  EXPECT_EQ(savedNote().cloudTranslationStoppedAtSeconds, 30);

  saved.clear();
  cloud.documents.erase(notePath());
  note = recordedNote(1, 30);
  note.id = "N2";
  note.translationLanguage = "en";
  note.completed = false;  // 30 s stay unbilled while recording
  cloud.functions["consumeCredits"] = [](const json&) {
    return json{{"shortfall", 0}, {"balance", {{"freeRemaining", 0}}}};
  };
  EXPECT_EQ(failure(service.sync(note, personal, true)), messages::noTranslationCredits);
  EXPECT_EQ(cloud.count("CALL translate"), 0);
}

TEST_F(CloudNotesServiceTest, ChecksThatRefuseASyncLeaveTheNoteAlone) {
  cloud.put(
      "users/u1/workspaceMemberships/m2",
      CloudContract::fields({{"workspaceId", "w2"}, {"workspaceType", "team"}, {"status", "inactive"}}));
  NativeNote linked = recordedNote(1, 10);
  linked.workspaceId = "w1";
  linked.cloudNoteId = "native_N1";
  linked.cloudOwnerId = "u1";
  linked.cloudBilledLanguages = 1;
  NativeNote otherOwner = linked;
  otherOwner.cloudOwnerId = "u9";
  NativeNote translated = linked;
  translated.translationLanguage = "en";
  NativeNote sameLanguage = linked;
  sameLanguage.translationLanguage = "ko";
  const struct {
    const char* name;
    NativeNote note;
    CloudWorkspace workspace;
    const char* message;
  } cases[] = {
      {"another owner", otherOwner, personal, messages::wrongAccount},
      {"another workspace", linked, {"w2", "", "team", "member"}, messages::workspaceLocked},
      {"inactive membership",
       recordedNote(1, 10),
       {"w2", "", "team", "member"},
       messages::membershipRequired},
      {"languages changed", translated, personal, messages::languagesLocked},
      {"translation into its own language", sameLanguage, personal, ""},
  };
  for (const auto& c : cases) {
    saved.clear();
    EXPECT_EQ(failure(service.sync(c.note, c.workspace, true)), c.message) << c.name;
    EXPECT_EQ(saved.empty(), *c.message != '\0') << c.name;
  }
}

TEST_F(CloudNotesServiceTest, ASecondSyncWhileOneWaitsIsRefused) {
  cloud.hold = true;
  QCoro::Task<NativeNote> first = service.sync(recordedNote(1, 10), personal, false);
  EXPECT_TRUE(service.busy());
  EXPECT_EQ(failure(service.sync(recordedNote(1, 10), personal, false)), messages::cloudBusy);
  cloud.hold = false;
  EXPECT_EQ(runTask(std::move(first)).cloudBilledSeconds, 10);
  EXPECT_FALSE(service.busy());
}

TEST_F(CloudNotesServiceTest, ACloudNoteWithoutVersionIsNotPatched) {
  cloud.fault = [&](const std::string& request) {
    if (request.starts_with("CALL consumeCredits")) {
      cloud.document(notePath()).erase("updateTime");
    }
  };
  EXPECT_EQ(failure(service.sync(recordedNote(1, 10), personal, false)), messages::noteVersionUnknown);
  EXPECT_EQ(cloud.count("PATCH"), 0);
}

}  // namespace
}  // namespace sayloom
