// The account's tokens stay in the keyring: the application model signs in for real (the stand-in
// browser approves the pairing, the Auth emulator issues the tokens), chooses a workspace, saves a
// note to the cloud, restarts from the keyring and signs out, while everything it logs is
// captured; afterwards no refresh token or ID token it held appears in any file of its data,
// settings, cache or state folders, nor in its Qt messages, its stderr or its status texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "app/app_model_fixture.h"
#include "app/cloud/account_cloud_access.h"
#include "app/cloud/cloud_fixture.h"
#include "core/cloud_notes_rules.h"
#include "fakes/precondition_proxy.h"
#include "platform/web_browser.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

// Everything the process writes to stderr (its children's too) and every Qt message, from
// construction until `finish`. The messages still reach the previous handler, whose output lands
// in the captured stderr.
class CapturedLog {
public:
  explicit CapturedLog(const fs::path& file) : m_file(file) {
    std::fflush(stderr);
    m_savedStderr = ::dup(STDERR_FILENO);
    std::FILE* sink = std::fopen(file.c_str(), "wb");
    ::dup2(::fileno(sink), STDERR_FILENO);
    std::fclose(sink);
    s_messages = &m_messages;
    s_previous = qInstallMessageHandler(&CapturedLog::handle);
  }
  ~CapturedLog() { finish(); }

  // Stops capturing and returns what was captured.
  std::string finish() {
    if (m_savedStderr >= 0) {
      qInstallMessageHandler(s_previous);
      s_messages = nullptr;
      std::fflush(stderr);
      ::dup2(m_savedStderr, STDERR_FILENO);
      ::close(m_savedStderr);
      m_savedStderr = -1;
    }
    return m_messages + readFile(m_file);
  }

private:
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (s_messages != nullptr) {
      *s_messages += message.toStdString() + "\n";
    }
    if (s_previous != nullptr) {
      s_previous(type, context, message);
    }
  }

  static inline std::string* s_messages = nullptr;
  static inline QtMessageHandler s_previous = nullptr;
  fs::path m_file;
  int m_savedStderr = -1;
  std::string m_messages;
};

// Where `needle` occurs under `root`: the paths of the files holding it or named with it.
std::vector<std::string> filesHolding(const fs::path& root, const std::string& needle) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = fs::relative(entry.path(), root).string();
    if (relative.find(needle) != std::string::npos ||
        (entry.is_regular_file() && readFile(entry.path()).find(needle) != std::string::npos)) {
      found.push_back(relative);
    }
  }
  return found;
}

class CredentialConfinementTest : public AppModelTest {
protected:
  void SetUp() override {
    m_store.remove();
    m_proxy = std::make_unique<PreconditionProxy>(qEnvironmentVariable("FIRESTORE_EMULATOR_HOST"));
  }
  void TearDown() override { m_store.remove(); }

  // The model as a program start makes it: the account in the keyring, the settings file.
  AppModel& start() {
    CloudEndpoints endpoints = emulatorEndpoints();
    endpoints.firestore = m_proxy->endpoint();
    auto account =
        std::make_unique<FirebaseAccountLink>(std::make_unique<platform::LibsecretStore>(), endpoints);
    m_account = account.get();
    m_cloud = std::make_unique<AccountCloudAccess>(std::move(account),
                                                   std::make_unique<platform::DesktopWebBrowser>());
    AppModel& model = makeModel();
    QObject::connect(&model.appStatus(), &AppStatus::statusChanged,
                     [&] { m_shown += model.appStatus().status().toStdString() + "\n"; });
    QObject::connect(&model.appStatus(), &AppStatus::warningChanged, [&] {
      m_shown += model.appStatus().warning().value_or(QString()).toStdString() + "\n";
    });
    return model;
  }

  // Notes the tokens the account holds now: the refresh token, which the keyring must hold too,
  // and a current ID token.
  void noteTokens(const std::string& uid) {
    const std::optional<std::string> secret = m_store.read();
    ASSERT_TRUE(secret) << "no credential in the keyring";
    const StoredCredential kept = decodeCredential(*secret);
    ASSERT_FALSE(kept.refreshToken.empty());
    ASSERT_TRUE(m_account->stored());
    EXPECT_EQ(m_account->stored()->refreshToken, kept.refreshToken);
    m_tokens[kept.refreshToken] = "a refresh token";
    const std::string idToken = runTask(m_account->token(uid));
    ASSERT_FALSE(idToken.empty());
    m_tokens[idToken] = "an ID token";
  }

  // Saves note `id` to workspace `workspace` through the model and checks it reached the cloud.
  void saveToCloud(AppModel& model, const std::string& id, const std::string& workspace) {
    model.cloud().setWorkspaceID(QString::fromStdString(workspace));
    model.library().setSelectedNoteID(QString::fromStdString(id));
    QCoro::waitFor(model.cloud().syncSelected(false));
    EXPECT_EQ(model.appStatus().status(), QStringLiteral("클라우드 노트에 저장했습니다"))
        << model.appStatus().warning().value_or(QString()).toStdString();
    const NativeNote* saved = model.library().find(QString::fromStdString(id));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->workspaceId, workspace);
    EXPECT_EQ(saved->cloudNoteId, CloudNotes::cloudNoteId(id));
  }

  // Every folder of the application's own files lies under the test folder.
  ScopedEnv m_cache{"XDG_CACHE_HOME", (m_dir / "cache").c_str()};
  ScopedEnv m_state{"XDG_STATE_HOME", (m_dir / "state").c_str()};
  // The stand-in browser approves every pairing; its log and the captured stderr lie outside.
  TempDir m_outside;
  ScopedEnv m_browserFirst{"PATH",
                           (std::string(SAYLOOM_TEST_FAKES_DIR) + "/browser:" + std::getenv("PATH")).c_str()};
  ScopedEnv m_browserLog{"SAYLOOM_TEST_BROWSER_LOG", (m_outside / "browser.log").c_str()};
  ScopedEnv m_functions{"SAYLOOM_TEST_FUNCTIONS_URL", emulatorEndpoints().functions.toUtf8().constData()};

  platform::LibsecretStore m_store;
  std::unique_ptr<PreconditionProxy> m_proxy;
  FirebaseAccountLink* m_account = nullptr;     // owned by the model's cloud part
  std::map<std::string, std::string> m_tokens;  // token → what it is
  std::string m_shown;                          // every status and warning text shown
};

TEST_F(CredentialConfinementTest, NoTokenReachesTheDataFolderTheSettingsOrTheLog) {
  const std::string uid = uniqueUid("confined");
  const std::string personal = uniqueUid("confined-ws");
  const std::string team = uniqueUid("confined-team");
  Emulators().addMembership(uid, personal, "m1", "personal");
  Emulators().addMembership(uid, team, "m2", "team");
  Emulators::setCredits(team, {{"paidRemaining", 3600}});
  ScopedEnv pairing("SAYLOOM_TEST_PAIRING", json({{"uid", uid}, {"displayName", "테스터"}}).dump().c_str());
  NativeNote note;
  note.title = "회의";
  note.language = "ko";
  note.completed = true;
  note.durationSeconds = 8;
  note.segments.push_back({"E0", 0, "첫 문장", 0, 7000, ""});
  LocalNoteStore(root()).save(note);

  CapturedLog log(m_outside / "stderr");
  {
    AppModel& model = start();
    model.cloud().signIn();
    ASSERT_TRUE(eventually([&] { return !model.cloud().signingIn(); }));
    ASSERT_TRUE(model.cloud().profile()) << model.appStatus().warning().value_or(QString()).toStdString();
    ASSERT_EQ(model.cloud().workspaces().size(), 2u);
    noteTokens(uid);
    saveToCloud(model, note.id, team);
    model.settings().setCpuOnly(true);  // the settings file gets written
    shutdown();
  }
  {
    // A restart: the account comes back from the keyring and fetches a new ID token.
    AppModel& model = start();
    ASSERT_TRUE(model.cloud().profile()) << model.appStatus().warning().value_or(QString()).toStdString();
    saveToCloud(model, note.id, team);
    noteTokens(uid);
    QCoro::waitFor(model.cloud().signOut());
    EXPECT_FALSE(model.cloud().profile());
    EXPECT_EQ(m_store.read(), std::nullopt);
    shutdown();
  }
  std::fprintf(stderr, "stderr is captured\n");
  qInfo("Qt messages are captured");
  const std::string logged = log.finish() + m_shown;

  // The scan covers what the run wrote: the note, the settings file, both logs.
  ASSERT_GE(m_tokens.size(), 2u);
  EXPECT_NE(logged.find("stderr is captured"), std::string::npos) << logged;
  EXPECT_NE(logged.find("Qt messages are captured"), std::string::npos) << logged;
  EXPECT_NE(readFile(m_dir / "config" / "kr.tovik" / "sayloom.conf").find("cpuOnly"), std::string::npos);
  EXPECT_NE(readFile(noteFolder(note.id) / "note.json").find(team), std::string::npos);
  for (const auto& [token, what] : m_tokens) {
    EXPECT_EQ(filesHolding(m_dir.path(), token), std::vector<std::string>()) << what << " is on disk";
    EXPECT_EQ(logged.find(token), std::string::npos) << what << " is in the log";
  }
}

}  // namespace
}  // namespace sayloom::test
