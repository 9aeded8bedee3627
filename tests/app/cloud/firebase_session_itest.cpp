// The account session against the Auth and Functions emulators and the Secret Service of the test
// services: pairing through a stand-in browser, the credential in gnome-keyring across a restart,
// sign-out, the token rules against the emulator's real token service, and, on a loopback fake
// token service, the answers the emulator cannot be made to give (500, 401, a stall).
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QSignalSpy>
#include <QTimer>

#include "app/cloud/cloud_fixture.h"
#include "app/cloud/firebase_session.h"
#include "core/cloud_messages.h"
#include "core/native_error.h"
#include "fakes/loopback_server.h"
#include "support/file_bytes.h"
#include "support/no_secret_service.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using nlohmann::json;
using test::Emulators;
using test::runTask;
using namespace std::chrono_literals;

// What a call ended with: "ok", the NativeError's text, "cancelled", or the exception's text.
template <typename Call>
std::string outcome(Call call) {
  try {
    call();
    return "ok";
  } catch (const NativeError& error) {
    return error.description();
  } catch (const Cancelled&) {
    return "cancelled";
  } catch (const std::exception& error) {
    return error.what();
  }
}

std::string httpText(int status) { return NativeError::http(status).description(); }

class FirebaseSessionTest : public ::testing::Test {
protected:
  void SetUp() override { m_store.remove(); }
  void TearDown() override { m_store.remove(); }

  // A session on the emulators (the token service on `tokenService` when given) that polls fast
  // and reads the test's wall clock.
  std::unique_ptr<FirebaseSession> session(const test::LoopbackServer* tokenService = nullptr,
                                           std::chrono::milliseconds poll = 50ms) {
    CloudEndpoints endpoints = test::emulatorEndpoints();
    if (tokenService != nullptr) {
      endpoints.secureToken = tokenService->baseUrl();
    }
    FirebaseSession::Options options;
    options.network = &m_network;
    options.pairingPoll = poll;
    options.now = m_clock.function();
    return std::make_unique<FirebaseSession>(m_store, endpoints, options);
  }

  std::optional<StoredCredential> keyringCredential() {
    const auto secret = m_store.read();
    return secret ? std::optional(decodeCredential(*secret)) : std::nullopt;
  }

  platform::LibsecretStore m_store;
  test::CountingNetwork m_network;
  test::ManualClock m_clock;
  Emulators m_emulators;
};

TEST_F(FirebaseSessionTest, PairsThroughTheBrowserKeepsTheAccountAcrossARestartAndSignsOut) {
  test::TempDir dir;
  const std::string uid = test::uniqueUid("paired");
  const std::string email = uid + "@example.com";  // an address belongs to one account
  const std::string pairingId = test::newPairingId();
  const std::string path = std::string(SAYLOOM_TEST_FAKES_DIR) + "/browser:" + std::getenv("PATH");
  test::ScopedEnv browserFirst("PATH", path.c_str());
  test::ScopedEnv browserLog("SAYLOOM_TEST_BROWSER_LOG", (dir / "browser.log").c_str());
  test::ScopedEnv functions("SAYLOOM_TEST_FUNCTIONS_URL",
                            test::emulatorEndpoints().functions.toUtf8().constData());
  const std::string approval = json({{"uid", uid}, {"email", email}, {"displayName", "테스터"}}).dump();
  test::ScopedEnv pairing("SAYLOOM_TEST_PAIRING", approval.c_str());

  // The real poll interval; the browser approves at once, and the pairing function lets the
  // desktop ask twice before it hands over the token.
  auto first = session(nullptr, FirebaseSessionOptions().pairingPoll);
  EXPECT_EQ(FirebaseSessionOptions().pairingPoll, 2s);
  QSignalSpy changed(first.get(), &FirebaseSession::profileChanged);
  const QUrl page(QString::fromUtf8(CloudConfig::origin.data(), CloudConfig::origin.size()) +
                  QStringLiteral("/desktop-auth?p=") + QString::fromStdString(pairingId));
  ASSERT_TRUE(QDesktopServices::openUrl(page));
  const FirebaseProfile profile = runTask(first->signIn(pairingId));

  EXPECT_EQ(profile, (FirebaseProfile{uid, email, "테스터"}));
  EXPECT_EQ(test::readFile(dir / "browser.log"), page.toString().toStdString() + "\n");
  EXPECT_GE(Emulators::claims(pairingId), 3);  // one more when the browser was slower than a poll
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(first->signedIn());
  EXPECT_EQ(first->displayName(), QStringLiteral("테스터"));
  const auto kept = keyringCredential();
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->profile, profile);
  EXPECT_FALSE(kept->refreshToken.empty());
  EXPECT_EQ(first->stored(), kept);
  first.reset();

  // A restart: the credential comes back from the keyring; the first call fetches a token.
  auto second = session();
  EXPECT_FALSE(second->signedIn());
  EXPECT_EQ(runTask(second->restore()), profile);
  EXPECT_TRUE(second->signedIn());
  EXPECT_EQ(m_network.count(QStringLiteral("/token")), 0);
  const json balance = runTask(second->callable(
      "consumeCredits", {{"workspaceId", "w-restore"}, {"noteId", "n"}, {"seconds", 0}}, true, uid));
  EXPECT_TRUE(balance.contains("balance")) << balance.dump();
  EXPECT_EQ(m_network.count(QStringLiteral("/token")), 1);

  QSignalSpy signedOut(second.get(), &FirebaseSession::profileChanged);
  runTask(second->signOut());
  EXPECT_EQ(signedOut.count(), 1);
  EXPECT_FALSE(second->signedIn());
  EXPECT_EQ(m_store.read(), std::nullopt);
  EXPECT_EQ(outcome([&] { runTask(second->token()); }), messages::wrongAccount);
  EXPECT_EQ(runTask(session()->restore()), std::nullopt);
}

TEST_F(FirebaseSessionTest, PairingKeepsPollingUntilApprovedAndStopsOnARefusal) {
  auto s = session();
  const std::string uid = test::uniqueUid("polled");
  const std::string approved = test::newPairingId();
  m_emulators.steerPairing(approved, {"not-found", "already-exists", "invalid-argument", "empty", "token"},
                           uid);
  EXPECT_EQ(runTask(s->signIn(approved)), (FirebaseProfile{uid, "", ""}));  // no e-mail, no name
  EXPECT_EQ(Emulators::claims(approved), 5);

  const std::string refused = test::newPairingId();
  m_emulators.steerPairing(refused, {"not-found", "permission-denied", "token"}, uid);
  EXPECT_EQ(outcome([&] { runTask(s->signIn(refused)); }), httpText(403));
  EXPECT_EQ(Emulators::claims(refused), 2);
  EXPECT_EQ(s->stored()->profile.userId, uid);  // the earlier pairing stays
}

TEST_F(FirebaseSessionTest, PairingEndsAfterItsDeadlineOrWhenStoppedOrSignedOut) {
  // A monotonic clock that moves 100 s every time the session reads it.
  auto elapsed = std::make_shared<std::chrono::steady_clock::duration>();
  CloudEndpoints endpoints = test::emulatorEndpoints();
  FirebaseSession::Options options;
  options.pairingPoll = 10ms;
  options.monotonic = [elapsed] { return std::chrono::steady_clock::time_point(*elapsed += 100s); };
  FirebaseSession slow(m_store, endpoints, options);
  const std::string never = test::newPairingId();
  EXPECT_EQ(outcome([&] { runTask(slow.signIn(never)); }), messages::pairingExpired);
  EXPECT_EQ(Emulators::claims(never), 3);  // at 100, 200 and 300 s; at 400 s it gives up

  auto s = session();
  std::stop_source stop;
  const std::string stopped = test::newPairingId();
  QTimer::singleShot(200, [&] { stop.request_stop(); });
  EXPECT_EQ(outcome([&] { runTask(s->signIn(stopped, stop.get_token())); }), "cancelled");

  // A sign-out while the pairing waits ends it; the approval that follows changes nothing.
  const std::string superseded = test::newPairingId();
  QTimer::singleShot(200, [&] {
    m_emulators.steerPairing(superseded, {"token"}, test::uniqueUid("late"));
    runTask(s->signOut());
  });
  EXPECT_EQ(outcome([&] { runTask(s->signIn(superseded)); }), "cancelled");
  EXPECT_FALSE(s->signedIn());
  EXPECT_EQ(m_store.read(), std::nullopt);
}

TEST_F(FirebaseSessionTest, TokensAreRefreshedSixtySecondsBeforeExpiryOneRefreshAtATime) {
  auto s = session();
  const std::string uid = test::uniqueUid("tokens");
  const auto signedInAt = m_clock.now;
  test::pair(*s, uid);
  const std::string first = runTask(s->token(uid));
  EXPECT_EQ(m_network.count(QStringLiteral("/token")), 0);

  m_clock.now = signedInAt + FirebaseSession::tokenLifetime - 61s;
  EXPECT_EQ(runTask(s->token(uid)), first);
  EXPECT_EQ(m_network.count(QStringLiteral("/token")), 0);

  m_clock.now = signedInAt + FirebaseSession::tokenLifetime - 59s;
  (void)runTask(s->token(uid));
  EXPECT_EQ(m_network.count(QStringLiteral("/token")), 1);

  // Two callers of a stale token share one refresh.
  m_clock.now += 2h;
  std::optional<std::string> a;
  std::optional<std::string> b;
  auto fetch = [&](std::optional<std::string>& into) -> QCoro::Task<void> { into = co_await s->token(uid); };
  auto both = [&]() -> QCoro::Task<void> {
    QCoro::Task<void> one = fetch(a);
    QCoro::Task<void> two = fetch(b);
    co_await one;
    co_await two;
  };
  runTask(both());
  EXPECT_EQ(m_network.count(QStringLiteral("/token")), 2);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, *b);
  EXPECT_EQ(keyringCredential(), s->stored());

  // Another account than the signed-in one is refused before any request.
  const std::size_t sent = m_network.sent.size();
  EXPECT_EQ(outcome([&] { runTask(s->token(std::string("someone-else"))); }), messages::wrongAccount);
  EXPECT_EQ(m_network.sent.size(), sent);
}

TEST_F(FirebaseSessionTest, ARevokedRefreshTokenSignsOutAndDeletesTheItem) {
  auto s = session();
  const std::string uid = test::uniqueUid("revoked");
  test::pair(*s, uid);
  m_emulators.disableUser(uid);
  m_clock.now += 1h;
  QSignalSpy changed(s.get(), &FirebaseSession::profileChanged);
  EXPECT_EQ(outcome([&] { runTask(s->token(uid)); }), httpText(400));
  EXPECT_FALSE(s->signedIn());
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(m_store.read(), std::nullopt);
}

TEST_F(FirebaseSessionTest, RefreshFailuresTheEmulatorCannotGive) {
  test::LoopbackServer tokenService;
  auto s = session(&tokenService);
  const std::string uid = test::uniqueUid("faults");
  test::pair(*s, uid);
  const StoredCredential paired = *s->stored();
  m_clock.now += 1h;

  // A server error or an answer without tokens keeps the account; the next call tries again.
  tokenService.queued.push_back(test::HttpAnswer::json(500, "{}"));
  EXPECT_EQ(outcome([&] { runTask(s->token(uid)); }), httpText(500));
  tokenService.queued.push_back(test::HttpAnswer::json(200, R"({"id_token":"i"})"));
  EXPECT_EQ(outcome([&] { runTask(s->token(uid)); }), messages::tokenRefreshFailed);
  EXPECT_EQ(s->stored(), paired);
  EXPECT_EQ(keyringCredential(), paired);

  tokenService.queued.push_back(
      test::HttpAnswer::json(200, R"({"id_token":"id-2","refresh_token":"refresh 2+/="})"));
  EXPECT_EQ(runTask(s->token(uid)), "id-2");
  ASSERT_EQ(tokenService.requests.size(), 3u);
  const test::HttpRequest& form = tokenService.requests.back();
  EXPECT_EQ(form.method, "POST");
  EXPECT_EQ(form.headers.value("content-type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(form.body.toStdString(),
            "grant_type=refresh_token&refresh_token=" +
                std::string(QUrl::toPercentEncoding(QString::fromStdString(paired.refreshToken))));
  EXPECT_EQ(keyringCredential(), (StoredCredential{paired.profile, "refresh 2+/="}));
  EXPECT_EQ(runTask(s->token(uid)), "id-2");  // fresh for another 3500 s

  // A sign-out during a refresh drops it: nothing comes back into memory or the keyring.
  m_clock.now += 1h;
  tokenService.queued.push_back(test::HttpAnswer::with(test::HttpAnswer::Fault::stall));
  QTimer::singleShot(200, [&] { runTask(s->signOut()); });
  EXPECT_EQ(outcome([&] { runTask(s->token(uid)); }), "cancelled");
  EXPECT_FALSE(s->signedIn());
  EXPECT_EQ(m_store.read(), std::nullopt);

  // 401: the refresh token is invalid; the account is signed out and the caller sees the failure.
  test::pair(*s, uid);
  m_clock.now += 1h;
  tokenService.queued.push_back(test::HttpAnswer::json(401, "{}"));
  EXPECT_EQ(outcome([&] { runTask(s->token(uid)); }), httpText(401));
  EXPECT_FALSE(s->signedIn());
  EXPECT_EQ(m_store.read(), std::nullopt);
}

TEST_F(FirebaseSessionTest, CallableFunctionsWithAndWithoutTheAccount) {
  auto s = session();
  const std::string uid = test::uniqueUid("callable");
  test::pair(*s, uid);
  const json translated = runTask(s->callable("translate",
                                              {{"workspaceId", "w"},
                                               {"noteId", "n"},
                                               {"text", "안녕하세요"},
                                               {"sourceLanguage", "ko"},
                                               {"targetLanguage", "en"}},
                                              true, uid));
  EXPECT_EQ(translated, json({{"translatedText", "[en] 안녕하세요"}}));
  EXPECT_EQ(Emulators::calls("translate").back()["text"], "안녕하세요");
  EXPECT_EQ(outcome([&] { runTask(s->callable("translate", json::object(), false, std::nullopt)); }),
            httpText(401));
  EXPECT_EQ(outcome([&] { runTask(s->callable("noSuchFunction", json::object(), false, std::nullopt)); }),
            httpText(404));
  EXPECT_EQ(outcome([&] { runTask(s->callable("translate", json::object(), true, std::string("other"))); }),
            messages::wrongAccount);
}

// Runs in a fresh process whose session has no Secret Service (`c`); exits with one bit per
// operation that ended as expected: restoring finds no account, signing in and out fail with the
// store's texts, which carry no meaningless code 0.
void secretStoreFailures(const test::NoSecretService& c) {
  c.enter();
  platform::LibsecretStore store;
  FirebaseSession::Options options;
  options.pairingPoll = 10ms;
  FirebaseSession s(store, test::emulatorEndpoints(), options);
  const auto failedWith = [](const std::string& text, const std::string& prefix) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return text.starts_with(prefix) && text.ends_with(".") && text.find("(0)") == std::string::npos;
  };
  int passed = 0;
  if (outcome([&] { runTask(s.restore()); }) == "ok" && !s.signedIn()) {
    passed |= 1;
  }
  const std::string pairingId = test::newPairingId();
  Emulators().steerPairing(pairingId, {"token"}, test::uniqueUid("no-keyring"));
  if (failedWith(outcome([&] { runTask(s.signIn(pairingId)); }), "키링 계정을 저장하지 못했습니다") &&
      !s.signedIn()) {
    passed |= 2;
  }
  if (failedWith(outcome([&] { runTask(s.signOut()); }), "키링 로그아웃에 실패했습니다") &&
      !s.signedIn()) {
    passed |= 4;
  }
  std::exit(passed);
}

// Not a fixture test: the child process must not reach the real Secret Service before it points
// its session bus elsewhere.
TEST(FirebaseSessionSecretStoreTest, WithoutASecretServiceNoAccountIsRestoredAndChangesFail) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const test::NoSecretService& c : test::noSecretServiceCases) {
    EXPECT_EXIT(secretStoreFailures(c), ::testing::ExitedWithCode(7), "") << c.name;
  }
}

}  // namespace
}  // namespace sayloom
