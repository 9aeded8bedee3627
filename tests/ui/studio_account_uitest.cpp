// The studio with the real account (paired through the Auth and Functions emulators, kept in
// gnome-keyring): when the sign-in is revoked while the app runs, the next cloud action signs the
// desktop out, and the window shows it: the account card gives way to "계정 연결" again.
#include <QPushButton>

#include "app/cloud/account_cloud_access.h"
#include "app/cloud/cloud_fixture.h"
#include "platform/web_browser.h"
#include "support/studio_fixture.h"
#include "ui/studio/sidebar.h"

namespace sayloom::test {
namespace {

using namespace std::chrono_literals;

class StudioAccountTest : public StudioTest {
protected:
  ~StudioAccountTest() override { m_store.remove(); }

  // A button with `text` that the user can see.
  QAbstractButton* shown(const QString& text) {
    for (QAbstractButton* button : findAllByText<QAbstractButton>(studio(), text)) {
      if (button->isVisible()) {
        return button;
      }
    }
    return nullptr;
  }

  const platform::LibsecretStore::Item m_item{"kr.tovik.sayloom.test", "studio-account-uitest",
                                              "Sayloom test item"};
  platform::LibsecretStore m_store{m_item};
};

TEST_F(StudioAccountTest, ARevokedSignInShowsTheInvitationToLinkTheAccountAgain) {
  if (qEnvironmentVariableIsEmpty("FIREBASE_AUTH_EMULATOR_HOST")) {
    GTEST_SKIP() << "needs the test services' cloud emulators";
  }
  m_store.remove();
  const std::string uid = uniqueUid("revoked");
  Emulators emulators;
  emulators.addMembership(uid, uniqueUid("revoked-ws"));
  {
    FirebaseSession earlier(m_store, emulatorEndpoints());
    pair(earlier, uid, "", "테스터");  // an earlier run paired the desktop
  }

  ManualClock clock;
  FirebaseSessionOptions options;
  options.now = clock.function();
  makeStudio(std::make_unique<AccountCloudAccess>(
      std::make_unique<FirebaseAccountLink>(std::make_unique<platform::LibsecretStore>(m_item),
                                            emulatorEndpoints(), options),
      std::make_unique<platform::DesktopWebBrowser>()));
  const NativeNote note = storedNote({}, "to share");
  QCoro::waitFor(m_model->reloadNotes());
  m_model->library().setSelectedNoteID(QString::fromStdString(note.id));
  m_studio->sidebar()->setSection(ui::Section::notes);
  ASSERT_TRUE(eventually([&] {
    QAbstractButton* save = shown(QStringLiteral("클라우드 저장"));
    return save != nullptr && save->isEnabled();
  })) << m_model->appStatus().warning().value_or(QString()).toStdString();
  EXPECT_EQ(shown(QStringLiteral("계정 연결")), nullptr);

  // An hour later, with the account disabled on the web meanwhile, the user saves the note.
  emulators.disableUser(uid);
  clock.now += 1h;
  shown(QStringLiteral("클라우드 저장"))->click();

  ASSERT_TRUE(eventually([&] { return shown(QStringLiteral("계정 연결")) != nullptr; }))
      << m_model->appStatus().warning().value_or(QString()).toStdString();
  EXPECT_EQ(shown(QStringLiteral("클라우드 저장")), nullptr);
  // The save fails once the sign-out has deleted the item.
  ASSERT_TRUE(eventually([&] { return m_model->appStatus().warning().has_value(); }));
  EXPECT_EQ(*m_model->appStatus().warning(), QStringLiteral("클라우드 요청에 실패했습니다 (HTTP 400)."));
  EXPECT_EQ(m_store.read(), std::nullopt);
}

}  // namespace
}  // namespace sayloom::test
