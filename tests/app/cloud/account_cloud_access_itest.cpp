// The model's cloud part with the real account: sign-in through the desktop's browser opener (the
// stand-in browser that approves the pairing), the account and its workspaces back after a
// restart from gnome-keyring, and sign-out clearing both; the real account's credential is left
// alone while emulators stand in for the cloud.
#include <gtest/gtest.h>

#include <QTest>

#include "app/app_status.h"
#include "app/cloud/account_cloud_access.h"
#include "app/cloud/cloud_fixture.h"
#include "app/notes/note_library.h"
#include "platform/web_browser.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

class AccountCloudAccessEmulatorTest : public ::testing::Test {
protected:
  void SetUp() override { m_store.remove(); }
  void TearDown() override { m_store.remove(); }

  // The model's cloud part as a fresh program start makes it.
  std::unique_ptr<AccountCloudAccess> start() {
    auto sync = std::make_unique<AccountCloudAccess>(
        std::make_unique<FirebaseAccountLink>(std::make_unique<platform::LibsecretStore>(),
                                              emulatorEndpoints()),
        std::make_unique<platform::DesktopWebBrowser>());
    sync->attach({library, status, [] { return false; }, [] { return QStringLiteral("en"); }, [] {}});
    return sync;
  }

  platform::LibsecretStore m_store;
  TempDir dir;
  AppStatus status;
  NoteLibrary library{dir.path(), status};
};

TEST_F(AccountCloudAccessEmulatorTest, SignInThroughTheBrowserSurvivesARestartAndSignOutClearsIt) {
  const std::string uid = uniqueUid("studio");
  const std::string workspace = uniqueUid("studio-ws");
  Emulators().addMembership(uid, workspace);
  const std::string path = std::string(SAYLOOM_TEST_FAKES_DIR) + "/browser:" + std::getenv("PATH");
  ScopedEnv browserFirst("PATH", path.c_str());
  ScopedEnv browserLog("SAYLOOM_TEST_BROWSER_LOG", (dir.path() / "browser.log").c_str());
  ScopedEnv functions("SAYLOOM_TEST_FUNCTIONS_URL", emulatorEndpoints().functions.toUtf8().constData());
  ScopedEnv pairing("SAYLOOM_TEST_PAIRING", json({{"uid", uid}, {"displayName", "테스터"}}).dump().c_str());

  auto first = start();
  ASSERT_TRUE(runTask(first->restore()));
  EXPECT_FALSE(first->profile());
  first->signIn();
  EXPECT_TRUE(first->signingIn());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !first->signingIn(); }, 60'000));
  ASSERT_TRUE(first->profile()) << status.warning().value_or(QString()).toStdString();
  EXPECT_EQ(first->profile()->displayName, "테스터");
  EXPECT_EQ(first->workspaceID().toStdString(), workspace);
  const std::string opened = readFile(dir.path() / "browser.log");
  EXPECT_NE(opened.find("/desktop-auth?p="), std::string::npos) << opened;
  EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 1);
  first.reset();

  auto second = start();
  ASSERT_TRUE(runTask(second->restore()));
  ASSERT_TRUE(second->profile());
  EXPECT_EQ(second->profile()->userId, uid);
  EXPECT_EQ(second->workspaceID().toStdString(), workspace);
  runTask(second->signOut());
  EXPECT_FALSE(second->profile());
  EXPECT_TRUE(second->workspaces().empty());
  EXPECT_EQ(m_store.read(), std::nullopt);
  EXPECT_FALSE(status.warning());

  auto third = start();
  ASSERT_TRUE(runTask(third->restore()));
  EXPECT_FALSE(third->profile());
}

// The test services set the emulator variables, as a developer might in a shell that later starts
// the real app: the desktop's account then lives in an item of its own, so the real account's
// credential is neither read, sent to an emulator, nor deleted by one's answers or a sign-out.
TEST_F(AccountCloudAccessEmulatorTest, UnderEmulatorsTheRealAccountsCredentialIsLeftAlone) {
  const std::string real =
      encodeCredential({{"real-user", "me@example.com", "나"}, "the real account's refresh token"});
  m_store.write(real);  // the item of the configured cloud's account
  AccountCloudAccess sync(FirebaseAccountLink::forThisDesktop(),
                          std::make_unique<platform::DesktopWebBrowser>());
  sync.attach({library, status, [] { return false; }, [] { return QStringLiteral("en"); }, [] {}});

  ASSERT_TRUE(runTask(sync.restore()));
  EXPECT_FALSE(sync.profile());
  runTask(sync.signOut());
  EXPECT_EQ(m_store.read(), real);
  EXPECT_FALSE(status.warning()) << status.warning()->toStdString();
}

}  // namespace
}  // namespace sayloom::test
