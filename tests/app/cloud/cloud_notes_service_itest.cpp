// Saving notes to the cloud against the emulators: an account paired through the Auth and
// Functions emulators, documents in the Firestore emulator (behind the proxy that mends its patch
// precondition), and the test functions charging and translating. A crash between linking and
// creating the cloud note, a lost charge answer, a shortfall, and a segment refined on the web.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app_status.h"
#include "app/cloud/cloud_fixture.h"
#include "app/cloud/cloud_notes_service.h"
#include "app/cloud/firestore_client.h"
#include "app/notes/note_library.h"
#include "core/cloud_messages.h"
#include "core/cloud_notes_rules.h"
#include "core/data_paths.h"
#include "core/native_error.h"
#include "fakes/precondition_proxy.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using nlohmann::json;
using test::runTask;
using namespace std::chrono_literals;
namespace cc = CloudContract;

// The message of the error a sync ends with ("HTTP n" for an HTTP failure), "" when it succeeds.
std::string failure(QCoro::Task<NativeNote> task) {
  try {
    runTask(std::move(task));
  } catch (const NativeError& error) {
    return error.kind() == NativeError::Kind::http ? "HTTP " + std::to_string(error.number())
                                                   : error.description();
  }
  return "";
}

class CloudNotesServiceEmulatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_store.remove();
    CloudEndpoints endpoints = test::emulatorEndpoints();
    m_proxy = std::make_unique<test::PreconditionProxy>(qEnvironmentVariable("FIRESTORE_EMULATOR_HOST"));
    endpoints.firestore = m_proxy->endpoint();
    FirebaseSession::Options options;
    options.pairingPoll = 10ms;
    m_session = std::make_unique<FirebaseSession>(m_store, endpoints, options);
    uid = test::uniqueUid("notes");
    test::pair(*m_session, uid);
    workspace = {test::uniqueUid("ws"), "Mine", "personal", "owner"};
    putMembership("m1", workspace.id, "personal", "active");
    service = std::make_unique<CloudNotesService>(*m_session, [this](NativeNote note) { return save(note); });
  }
  void TearDown() override { m_store.remove(); }

  QCoro::Task<void> save(NativeNote note) {
    co_await library.save(note);
    if (crashAfterSaves > 0 && --crashAfterSaves == 0) {
      throw NativeError::message("the process was killed here");
    }
  }

  // Creates or replaces a document in the emulator with plain fields.
  void put(const std::string& path, const cc::PlainMap& fields) {
    const json write = {
        {"update", {{"name", std::string(cc::root) + "/" + path}, {"fields", cc::fields(fields)}}}};
    runTask(m_session->firestore("POST", ":commit", json{{"writes", json::array({write})}}, uid));
  }
  void putMembership(const std::string& id, const std::string& workspaceId, const std::string& type,
                     const std::optional<std::string>& status) {
    cc::PlainMap fields = {{"workspaceId", workspaceId},
                           {"workspaceName", workspaceId},
                           {"workspaceType", type},
                           {"role", "owner"}};
    if (status) {
      fields["status"] = *status;
    }
    put("users/" + uid + "/workspaceMemberships/" + id, fields);
  }

  void setCredits(const json& account) { test::Emulators::setCredits(workspace.id, account); }
  json credits() const { return json::parse(std::ifstream(test::Emulators::creditsFile(workspace.id))); }
  // The idempotency keys of this workspace's charges, in the order the functions received them.
  std::vector<std::string> chargeKeys() const {
    std::vector<std::string> keys;
    for (const json& data : test::Emulators::calls("consumeCredits")) {
      if (data.value("workspaceId", "") == workspace.id && data.value("seconds", 0) > 0) {
        keys.push_back(data.value("idempotencyKey", ""));
      }
    }
    return keys;
  }
  std::vector<std::string> translatedTexts() const {
    std::vector<std::string> texts;
    for (const json& data : test::Emulators::calls("translate")) {
      if (data.value("workspaceId", "") == workspace.id) {
        texts.push_back(data.value("text", ""));
      }
    }
    return texts;
  }

  NativeNote recordedNote(int entries, double seconds) {
    NativeNote note;
    note.language = "ko";
    note.title = "회의";
    note.durationSeconds = seconds;
    note.completed = true;
    for (int i = 0; i < entries; ++i) {
      note.segments.push_back(
          {"E" + std::to_string(i), i, "문장 " + std::to_string(i), i * 8000, i * 8000 + 7000, ""});
    }
    runTask(library.save(note));
    return note;
  }
  NativeNote stored(const NativeNote& note) {
    return *runTask(library.stored(QString::fromStdString(note.id)));
  }

  std::string notePath(const NativeNote& note) const {
    return CloudNotes::notePath(workspace.id, CloudNotes::cloudNoteId(note.id));
  }
  json get(const std::string& path) { return runTask(FirestoreClient(*m_session).get(path, uid)); }
  std::vector<json> segments(const NativeNote& note) {
    return runTask(FirestoreClient(*m_session).documents(CloudNotes::segmentsPath(notePath(note)), uid));
  }
  std::int64_t status(const std::string& path) {
    try {
      get(path);
    } catch (const NativeError& error) {
      return error.number();
    }
    return 200;
  }

  platform::LibsecretStore m_store;
  std::unique_ptr<test::PreconditionProxy> m_proxy;
  std::unique_ptr<FirebaseSession> m_session;
  test::TempDir dir;
  AppStatus appStatus;
  NoteLibrary library{dir.path(), appStatus};
  std::unique_ptr<CloudNotesService> service;
  std::string uid;
  CloudWorkspace workspace;
  int crashAfterSaves = 0;  // the save that many saves ahead is the last before the process dies
};

TEST_F(CloudNotesServiceEmulatorTest, OnlyActiveMembershipsAreWorkspacesPersonalFirst) {
  putMembership("a-team", "team", "team", "active");
  putMembership("b-capital", "capital", "team", "Active");
  putMembership("c-inactive", "inactive", "personal", "inactive");
  putMembership("d-none", "none", "personal", std::nullopt);
  const std::vector<CloudWorkspace> listed = runTask(service->workspaces());
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].id, workspace.id);
  EXPECT_EQ(listed[1].id, "team");
}

TEST_F(CloudNotesServiceEmulatorTest, ACrashBetweenLinkingAndCreatingIsRepairedWithoutDuplicates) {
  setCredits({{"paidRemaining", 3600}});
  NativeNote note = recordedNote(2, 20);

  crashAfterSaves = 1;  // dies right after the link reached the disk
  EXPECT_EQ(failure(service->sync(note, workspace, false)), "the process was killed here");
  EXPECT_EQ(stored(note).cloudNoteId, CloudNotes::cloudNoteId(note.id));
  EXPECT_EQ(stored(note).workspaceId, workspace.id);
  EXPECT_EQ(status(notePath(note)), 404) << "the link is on disk before any cloud document exists";

  // The restarted program syncs the note it finds on disk: the read answers 404, the note is made.
  note = runTask(service->sync(stored(note), workspace, false));
  const json cloudNote = get(notePath(note));
  EXPECT_EQ(cc::string(cloudNote, "ownerId"), uid);
  EXPECT_EQ(cc::string(cloudNote, "status"), "completed");
  EXPECT_EQ(cloudNote["fields"]["durationSeconds"], cc::value(std::int64_t{20}));
  EXPECT_EQ(status(CloudNotes::accessPath(notePath(note), uid)), 200);
  EXPECT_EQ(segments(note).size(), 2u);
  EXPECT_EQ(note.cloudBilledSeconds, 20);

  // Later syncs add new entries only; a segment already there keeps its first text.
  note.segments[0].text = "고친 문장";
  note.segments.push_back({"E2", 2, "문장 2", 16000, 19000, ""});
  note = runTask(service->sync(note, workspace, false));
  const std::vector<json> uploaded = segments(note);
  ASSERT_EQ(uploaded.size(), 3u);
  EXPECT_EQ(cc::string(uploaded[0], "originalText"), "문장 0");
  EXPECT_EQ(chargeKeys(), std::vector<std::string>{"native-" + note.id + "-0"});
}

TEST_F(CloudNotesServiceEmulatorTest, ALostChargeAnswerIsResentWithTheSameKeyAndChargedOnce) {
  setCredits({{"paidRemaining", 100}, {"loseAnswers", 1}});
  NativeNote note = recordedNote(1, 30);

  EXPECT_EQ(failure(service->sync(note, workspace, false)), "HTTP 500");
  const ChargeSlice pending{0, 30, 1};
  EXPECT_EQ(stored(note).cloudPendingCharge, pending);
  EXPECT_EQ(stored(note).cloudBilledSeconds, 0);

  note = runTask(service->sync(stored(note), workspace, false));
  EXPECT_EQ(note.cloudBilledSeconds, 30);
  EXPECT_FALSE(note.cloudPendingCharge);
  const std::string key = "native-" + note.id + "-0";
  EXPECT_EQ(chargeKeys(), (std::vector<std::string>{key, key}));
  EXPECT_EQ(credits()["paidRemaining"], 70) << "charged once";
}

TEST_F(CloudNotesServiceEmulatorTest, AShortfallExhaustsTheNoteAndLeavesTheLocalRecordingAlone) {
  setCredits({{"paidRemaining", 10}});
  NativeNote note = recordedNote(2, 30);
  const std::filesystem::path chunk = DataPaths::audioDirectory(note.id, dir.path()) / "00000000.pcm";
  std::filesystem::create_directories(chunk.parent_path());
  const std::string audio(32'000, '\x11');
  std::ofstream(chunk, std::ios::binary) << audio;

  EXPECT_EQ(failure(service->sync(note, workspace, false)), messages::chargeShortfall);
  EXPECT_TRUE(stored(note).cloudCreditsExhausted);
  EXPECT_EQ(stored(note).cloudBilledSeconds, 30) << "the answered slice is confirmed";

  EXPECT_EQ(failure(service->sync(stored(note), workspace, false)), messages::creditsExhausted);
  EXPECT_EQ(stored(note).segments, note.segments);
  EXPECT_EQ(test::readFile(chunk), audio);
  EXPECT_EQ(chargeKeys().size(), 1u);
}

TEST_F(CloudNotesServiceEmulatorTest, TranslationStopsAtASegmentRefinedOnTheWebAndNeverRepeats) {
  setCredits({{"paidRemaining", 3600}});
  NativeNote note = recordedNote(3, 24);
  note.translationLanguage = "en";
  note = runTask(service->sync(note, workspace, false));
  ASSERT_EQ(segments(note).size(), 3u);

  // The web application refines the second segment.
  const std::string refined = CloudNotes::segmentPath(notePath(note), "E1");
  json document = get(refined);
  document["fields"]["status"] = cc::value("refined");
  const json write = {{"update", {{"name", document["name"]}, {"fields", document["fields"]}}}};
  runTask(m_session->firestore("POST", ":commit", json{{"writes", json::array({write})}}, uid));

  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    EXPECT_EQ(failure(service->sync(stored(note), workspace, true)), messages::editedOnWeb);
    const NativeNote after = stored(note);
    EXPECT_EQ(after.segments[0].translation, "[en] 문장 0");
    EXPECT_EQ(after.segments[1].translation, "");
    EXPECT_EQ(after.segments[2].translation, "");
    EXPECT_EQ(after.cloudTranslationStoppedAtSeconds, 24);
  }
  EXPECT_EQ(translatedTexts(), std::vector<std::string>{"문장 0"}) << "translated once, never twice";

  // The translation reached the segment under its read version, as the mask named it.
  const json first = get(CloudNotes::segmentPath(notePath(note), "E0"));
  EXPECT_EQ(cc::string(first, "translatedText"), "[en] 문장 0");
  EXPECT_EQ(first["fields"]["translations"]["mapValue"]["fields"]["en"], cc::value("[en] 문장 0"));
  EXPECT_EQ(cc::string(first, "originalText"), "문장 0") << "fields outside the mask keep their values";
  EXPECT_EQ(cc::string(get(refined), "status"), "refined");
}

}  // namespace
}  // namespace sayloom
