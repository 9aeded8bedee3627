// The cloud part of the model against an account kept in memory: start-up restore, pairing
// through the (recorded) browser, sign-out (by the user or by the account itself) dropping what
// was still loading for the account, saving the selected note, live syncs that stop
// translating on failure without losing anything recorded, and the web pages.
#include "app/cloud/account_cloud_access.h"

#include <gtest/gtest.h>

#include <QTest>

#include "app/app_status.h"
#include "app/cloud/memory_cloud_session.h"
#include "app/notes/note_library.h"
#include "core/cloud_notes_rules.h"
#include "platform/web_browser.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using nlohmann::json;
using test::MemoryCloudSession;
using test::runTask;

struct RecordingBrowser final : platform::WebBrowser {
  explicit RecordingBrowser(std::vector<QUrl>& opened) : opened(opened) {}
  void open(const QUrl& url) override { opened.push_back(url); }
  std::vector<QUrl>& opened;
};

class AccountCloudAccessTest : public ::testing::Test {
protected:
  AccountCloudAccessTest() {
    auto account = std::make_unique<MemoryCloudSession>();
    cloud = account.get();
    cloud->put(
        "users/u1/workspaceMemberships/m1",
        CloudContract::fields({{"workspaceId", "team"}, {"workspaceType", "team"}, {"status", "active"}}));
    cloud->put("users/u1/workspaceMemberships/m2",
               CloudContract::fields(
                   {{"workspaceId", "mine"}, {"workspaceType", "personal"}, {"status", "active"}}));
    sync =
        std::make_unique<AccountCloudAccess>(std::move(account), std::make_unique<RecordingBrowser>(opened));
    sync->attach({library, status, [this] { return busy; }, [] { return QStringLiteral("en"); },
                  [this] { ++refreshed; }});
  }

  NativeNote& addNote(double seconds) {
    NativeNote note;
    note.durationSeconds = seconds;
    note.completed = true;
    note.segments = {{"E0", 0, "안녕하세요", 0, 7000, ""}};
    runTask(library.save(note));
    library.addFirst(note);
    library.setSelectedNoteID(QString::fromStdString(note.id));
    return *library.find(QString::fromStdString(note.id));
  }

  test::TempDir dir;
  AppStatus status;
  NoteLibrary library{dir.path(), status};
  std::vector<QUrl> opened;
  MemoryCloudSession* cloud = nullptr;
  std::unique_ptr<AccountCloudAccess> sync;
  bool busy = false;
  int refreshed = 0;
};

TEST_F(AccountCloudAccessTest, RestoreListsWorkspacesOrWarnsAndGoesOn) {
  EXPECT_TRUE(runTask(sync->restore()));
  EXPECT_FALSE(sync->profile());

  cloud->signIn("u1");
  EXPECT_TRUE(runTask(sync->restore()));
  EXPECT_EQ(sync->profile()->userId, "u1");
  ASSERT_EQ(sync->workspaces().size(), 2u);
  EXPECT_EQ(sync->workspaceID(), QStringLiteral("mine"));
  EXPECT_FALSE(status.warning());

  cloud->fault = [](const std::string&) { throw NativeError::http(503); };
  EXPECT_TRUE(runTask(sync->restore()));
  EXPECT_EQ(status.warning(),
            QStringLiteral("계정은 기기에 보관되어 있습니다. 온라인에서 워크스페이스를 다시 불러와 주세요."));
  EXPECT_EQ(sync->profile()->userId, "u1");

  cloud->restoreFailure = "키링 계정을 읽지 못했습니다 (5).";
  EXPECT_FALSE(runTask(sync->restore()));
  EXPECT_EQ(status.warning(), QStringLiteral("키링 계정을 읽지 못했습니다 (5)."));
}

TEST_F(AccountCloudAccessTest, PairingOpensTheBrowserOnceAndCancelsSilently) {
  sync->signIn();
  sync->signIn();
  ASSERT_EQ(opened.size(), 1u);
  const QString page = opened.front().toString();
  EXPECT_TRUE(page.endsWith(QStringLiteral("/desktop-auth?p=") + QString::fromStdString(cloud->pairingID)));
  EXPECT_EQ(cloud->pairingID.size(), 36u);
  EXPECT_EQ(QString::fromStdString(cloud->pairingID), QString::fromStdString(cloud->pairingID).toUpper());
  EXPECT_TRUE(sync->signingIn());

  cloud->approve("u1");
  QTRY_VERIFY_WITH_TIMEOUT(!sync->signingIn(), 5000);
  EXPECT_EQ(sync->profile()->userId, "u1");
  EXPECT_EQ(sync->workspaceID(), QStringLiteral("mine"));

  runTask(sync->signOut());
  EXPECT_FALSE(sync->profile());
  EXPECT_TRUE(sync->workspaces().empty());
  EXPECT_TRUE(sync->workspaceID().isEmpty());

  sync->signIn();
  sync->cancelSignIn();
  QTRY_VERIFY_WITH_TIMEOUT(!sync->signingIn(), 5000);
  EXPECT_FALSE(sync->profile());
  EXPECT_FALSE(status.warning());
}

// The answers still on their way for an account that is gone fill nothing in: signing out while
// the workspaces of a fresh pairing load, or the account going by itself (a refused refresh).
TEST_F(AccountCloudAccessTest, AnAccountThatIsGoneGetsNoWorkspaces) {
  sync->signIn();
  cloud->hold = true;
  cloud->approve("u1");
  QTRY_VERIFY_WITH_TIMEOUT(!cloud->log.empty(), 5000);  // the workspaces are being listed
  EXPECT_EQ(sync->profile()->userId, "u1");
  runTask(sync->signOut());
  cloud->hold = false;
  QTRY_VERIFY_WITH_TIMEOUT(!sync->signingIn(), 5000);
  EXPECT_FALSE(sync->profile());
  EXPECT_TRUE(sync->workspaces().empty());
  EXPECT_TRUE(sync->workspaceID().isEmpty());
  EXPECT_FALSE(status.warning());

  cloud->signIn("u1");
  ASSERT_TRUE(runTask(sync->restore()));
  ASSERT_EQ(sync->workspaces().size(), 2u);
  runTask(cloud->signOut());  // as the session does when its refresh is refused
  EXPECT_FALSE(sync->profile());
  EXPECT_TRUE(sync->workspaces().empty());
  EXPECT_TRUE(sync->workspaceID().isEmpty());
}

TEST_F(AccountCloudAccessTest, SavingTheSelectedNote) {
  cloud->signIn("u1");
  runTask(sync->restore());
  NativeNote& note = addNote(12);
  const QString id = QString::fromStdString(note.id);

  busy = true;
  runTask(sync->syncSelected(true));
  EXPECT_EQ(cloud->count("CALL"), 0) << "nothing while recording or working";
  busy = false;

  runTask(sync->syncSelected(true));
  EXPECT_EQ(status.status(), QStringLiteral("클라우드 노트에 저장했습니다"));
  const NativeNote* saved = library.find(id);
  EXPECT_EQ(saved->cloudNoteId, "native_" + saved->id);
  EXPECT_EQ(saved->translationLanguage, "en");
  EXPECT_EQ(saved->segments[0].translation, "[en] 안녕하세요");
  EXPECT_EQ(saved->cloudBilledSeconds, 12);
  EXPECT_FALSE(status.working());

  sync->openWebNote();
  EXPECT_EQ(opened.back().path(), QStringLiteral("/note"));
  EXPECT_EQ(opened.back().query(), QStringLiteral("w=mine&n=native_") + id);
  EXPECT_EQ(AccountCloudAccess::notePage(std::nullopt, std::nullopt).path(), QStringLiteral("/notes"));
}

TEST_F(AccountCloudAccessTest, AFailedLiveSyncStopsTranslatingAndKeepsWhatWasRecorded) {
  cloud->signIn("u1");
  runTask(sync->restore());
  NativeNote& note = addNote(70);
  note.completed = false;
  ASSERT_TRUE(sync->bindLiveNote(note, QStringLiteral("en"), true));
  EXPECT_EQ(note.workspaceId, "mine");
  EXPECT_EQ(note.cloudOwnerId, "u1");
  const QString id = QString::fromStdString(note.id);

  // The recording moves on while the charge is on the way; then the network goes.
  cloud->fault = [&](const std::string& request) {
    if (request == "CALL consumeCredits") {
      NativeNote* growing = library.find(id);
      growing->durationSeconds = 80;
      growing->segments.push_back({"E1", 1, "두 번째", 8000, 15000, ""});
      throw std::runtime_error("network down");
    }
  };
  runTask(sync->syncLiveNote(id, true));
  const NativeNote* after = library.find(id);
  EXPECT_EQ(after->cloudTranslationStoppedAtSeconds, 70) << "the service's stop second";
  EXPECT_EQ(after->durationSeconds, 80);
  EXPECT_EQ(after->segments.size(), 2u);
  EXPECT_EQ(after->cloudNoteId, "native_" + after->id);
  EXPECT_EQ(status.warning(),
            QStringLiteral("클라우드 번역을 중지했습니다. 로컬 녹음은 계속됩니다. network down"));
  EXPECT_EQ(runTask(library.stored(id))->segments.size(), 2u);

  // Without a workspace (signed out) nothing is synced.
  runTask(sync->signOut());
  const int requests = static_cast<int>(cloud->log.size());
  runTask(sync->syncLiveNote(id, false));
  EXPECT_EQ(static_cast<int>(cloud->log.size()), requests);
}

}  // namespace
}  // namespace sayloom
