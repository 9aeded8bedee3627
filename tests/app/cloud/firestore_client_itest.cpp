// The document database client, signed in through the Auth and Functions emulators, against the
// Firestore emulator and against the loopback fake: the same scenario runs on both (so the fake
// keeps answering like the emulator), and the fake alone serves what the emulator cannot (the
// update-time precondition of a PATCH, a refused token).
#include <gtest/gtest.h>

#include "app/cloud/cloud_fixture.h"
#include "app/cloud/firestore_client.h"
#include "core/native_error.h"
#include "fakes/fake_firestore.h"

namespace sayloom {
namespace {

using nlohmann::json;
using test::runTask;
using namespace std::chrono_literals;
namespace cc = CloudContract;

// The HTTP status a call failed with, 0 when it succeeded.
template <typename Call>
std::int64_t status(Call call) {
  try {
    call();
  } catch (const NativeError& error) {
    return error.kind() == NativeError::Kind::http ? error.number() : -1;
  }
  return 0;
}

class FirestoreClientTest : public ::testing::Test {
protected:
  void SetUp() override { m_store.remove(); }
  void TearDown() override { m_store.remove(); }

  // A session signed in on the emulators whose document requests go to `firestore` (the emulator
  // when empty).
  void signIn(const QString& firestore = {}) {
    CloudEndpoints endpoints = test::emulatorEndpoints();
    if (!firestore.isEmpty()) {
      endpoints.firestore = firestore;
    }
    FirebaseSession::Options options;
    options.network = &m_network;
    options.pairingPoll = 10ms;
    m_session = std::make_unique<FirebaseSession>(m_store, endpoints, options);
    m_uid = test::uniqueUid("documents");
    test::pair(*m_session, m_uid);
    m_client = std::make_unique<FirestoreClient>(*m_session);
  }

  // Creates `count` documents in `collection` with one commit.
  void seed(const std::string& collection, int count) {
    json writes = json::array();
    for (int i = 0; i < count; ++i) {
      writes.push_back(
          {{"update",
            {{"name", std::string(cc::root) + "/" + collection + "/d" + std::to_string(1000 + i)},
             {"fields", cc::fields({{"i", i}})}}}});
    }
    runTask(m_session->firestore("POST", ":commit", json{{"writes", writes}}, m_uid));
  }

  // The list requests sent so far.
  std::vector<QUrl> listings() const {
    std::vector<QUrl> found;
    for (const QUrl& url : m_network.sent) {
      if (url.query().contains(QStringLiteral("pageSize="))) {
        found.push_back(url);
      }
    }
    return found;
  }

  platform::LibsecretStore m_store;
  test::CountingNetwork m_network;
  std::unique_ptr<FirebaseSession> m_session;
  std::unique_ptr<FirestoreClient> m_client;
  std::string m_uid;
};

class DocumentScenarioTest : public FirestoreClientTest, public ::testing::WithParamInterface<const char*> {
protected:
  void SetUp() override {
    FirestoreClientTest::SetUp();
    signIn(std::string(GetParam()) == "fake" ? m_fake.endpoint() : QString());
  }

  test::FakeFirestore m_fake;
};

TEST_P(DocumentScenarioTest, CreateOnceReadBackAndListPageByPage) {
  const std::string workspace = "workspaces/" + test::uniqueUid("ws");
  const std::string note = workspace + "/notes/native_1";
  const cc::PlainMap values{
      {"title", "주간 회의 ✓"},
      {"durationSeconds", std::int64_t{-9'007'199'254'740'993}},  // beyond a double's exact range
      {"realtimeTranslationEnabled", true},
      {"createdAt", cc::Instant(std::chrono::sys_days{std::chrono::year{2026} / 3 / 1} + 9h + 30min)},
      {"inputLanguages", cc::PlainValue::Texts{"ko", "en"}},
      {"readerIds", cc::PlainValue::Texts{}},
      {"accessMap", cc::PlainMap{{m_uid, "owner"}, {"nested", cc::PlainMap{}}}},
      {"folderId", nullptr},
  };
  runTask(m_client->create(note, cc::fields(values), m_uid));

  const json document = runTask(m_client->get(note, m_uid));
  EXPECT_EQ(cc::plainFields(document), values) << document.dump();
  EXPECT_EQ(document.value("name", ""), std::string(cc::root) + "/" + note);
  EXPECT_TRUE(document.value("updateTime", "").ends_with("Z")) << document.dump();

  EXPECT_EQ(status([&] { runTask(m_client->create(note, cc::fields({{"title", "again"}}), m_uid)); }), 409);
  EXPECT_EQ(cc::string(runTask(m_client->get(note, m_uid)), "title"), "주간 회의 ✓");
  EXPECT_EQ(status([&] { runTask(m_client->get(workspace + "/notes/missing", m_uid)); }), 404);

  // An empty collection is one request; 301 documents take more than one page (the emulator
  // stops its pages at 150 documents, the fake at the 300 asked for).
  EXPECT_TRUE(runTask(m_client->documents(workspace + "/empty", m_uid)).empty());
  EXPECT_EQ(listings().size(), 1u);
  const std::string segments = note + "/segments";
  seed(segments, 301);
  const std::vector<json> listed = runTask(m_client->documents(segments, m_uid));
  std::set<std::string> names;
  for (const json& segment : listed) {
    names.insert(segment.value("name", ""));
  }
  EXPECT_EQ(listed.size(), 301u);
  EXPECT_EQ(names.size(), 301u);
  const std::vector<QUrl> pages = listings();
  ASSERT_GE(pages.size(), 3u);
  EXPECT_FALSE(pages[1].query().contains(QStringLiteral("pageToken")));
  for (std::size_t i = 2; i < pages.size(); ++i) {
    EXPECT_TRUE(pages[i].query().contains(QStringLiteral("pageToken="))) << pages[i].toString().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, DocumentScenarioTest, ::testing::Values("emulator", "fake"),
                         [](const auto& info) { return std::string(info.param); });

class FakeFirestoreTest : public FirestoreClientTest {
protected:
  void SetUp() override {
    FirestoreClientTest::SetUp();
    signIn(m_fake.endpoint());
    m_note = "workspaces/w/notes/native_1";
    runTask(m_client->create(
        m_note, cc::fields({{"status", "draft"}, {"durationSeconds", 0}, {"title", "t"}}), m_uid));
  }

  std::string stamp() { return runTask(m_client->get(m_note, m_uid))["updateTime"]; }
  const test::HttpRequest& lastPatch() const {
    const auto& requests = m_fake.server.requests;
    return *std::find_if(requests.rbegin(), requests.rend(),
                         [](const test::HttpRequest& request) { return request.method == "PATCH"; });
  }
  cc::PlainMap stored() { return cc::plainFields(runTask(m_client->get(m_note, m_uid))); }

  test::FakeFirestore m_fake;
  std::string m_note;
};

TEST_F(FakeFirestoreTest, AFullPageAndOneMoreTakeTwoRequestsWithTheTokenEscaped) {
  json writes = json::array();
  for (int i = 0; i < 301; ++i) {
    writes.push_back({{"update", {{"name", std::string(cc::root) + "/c/d" + std::to_string(1000 + i)}}}});
  }
  runTask(m_session->firestore("POST", ":commit", json{{"writes", writes}}, m_uid));
  const std::size_t before = m_fake.server.requests.size();
  EXPECT_EQ(runTask(m_client->documents("c", m_uid)).size(), 301u);
  ASSERT_EQ(m_fake.server.requests.size(), before + 2);
  // The fake's tokens hold "/" and "=", which travel escaped.
  const QList<QByteArray> token = m_fake.server.requests.back().query("pageToken");
  ASSERT_EQ(token.size(), 1);
  EXPECT_TRUE(token[0].startsWith("page%2F")) << token[0].toStdString();
  EXPECT_TRUE(token[0].endsWith("%3D")) << token[0].toStdString();
}

TEST_F(FakeFirestoreTest, PatchSetsTheNamedFieldsWhenTheDocumentIsUnchanged) {
  const std::string before = stamp();
  runTask(m_client->patch(m_note, {{"status", "completed"}, {"durationSeconds", 42}}, std::nullopt, before,
                          m_uid));
  EXPECT_EQ(stored(), (cc::PlainMap{{"status", "completed"}, {"durationSeconds", 42}, {"title", "t"}}));

  const test::HttpRequest& sent = lastPatch();
  // Reserved characters of the stamp stay escaped; Qt writes the escaped "." and "-" plainly.
  EXPECT_EQ(sent.query("currentDocument.updateTime").value(0),
            QUrl::toPercentEncoding(QString::fromStdString(before), "-._~"));
  EXPECT_EQ(sent.query("updateMask.fieldPaths"), (QList<QByteArray>{"durationSeconds", "status"}));
  EXPECT_EQ(
      json::parse(sent.body.toStdString()),
      json({{"fields",
             {{"durationSeconds", {{"integerValue", "42"}}}, {"status", {{"stringValue", "completed"}}}}}}));

  // Without masks a name that needs quotes is quoted; masks are field paths, down into a map, and
  // a field they name that `fields` lacks is removed.
  runTask(m_client->patch(m_note, {{"display-name", "이름"}}, std::nullopt, stamp(), m_uid));
  EXPECT_EQ(lastPatch().query("updateMask.fieldPaths"), (QList<QByteArray>{"%60display-name%60"}));
  runTask(m_client->patch(m_note, {{"translations", cc::PlainMap{{"pt-BR", "olá"}}}}, std::nullopt, stamp(),
                          m_uid));
  runTask(m_client->patch(m_note, {{"translations", cc::PlainMap{{"en", "hello"}}}},
                          std::vector<std::string>{"translations.en", "title"}, stamp(), m_uid));
  EXPECT_EQ(stored(), (cc::PlainMap{{"status", "completed"},
                                    {"durationSeconds", 42},
                                    {"display-name", "이름"},
                                    {"translations", cc::PlainMap{{"pt-BR", "olá"}, {"en", "hello"}}}}));
}

TEST_F(FakeFirestoreTest, AStalePatchOrARefusedTokenChangesNothing) {
  const std::string stale = stamp();
  runTask(m_client->patch(m_note, {{"title", "web edit"}}, std::nullopt, stale, m_uid));
  EXPECT_EQ(status([&] {
              runTask(m_client->patch(m_note, {{"title", "desktop"}}, std::nullopt, stale, m_uid));
            }),
            400);
  EXPECT_EQ(cc::string(runTask(m_client->get(m_note, m_uid)), "title"), "web edit");
  EXPECT_EQ(status([&] {
              runTask(m_client->patch("workspaces/w/notes/gone", {{"a", 1}}, std::nullopt, stale, m_uid));
            }),
            404);

  m_fake.refusedTokens.insert(runTask(m_session->token(m_uid)));
  EXPECT_EQ(status([&] { runTask(m_client->get(m_note, m_uid)); }), 401);
  EXPECT_TRUE(m_session->signedIn());  // only the token service's refusal signs out
}

// The emulator refuses every PATCH whose precondition is an update time (it reads the time as
// version 0), which is why the precondition is tested on the fake. When this starts failing the
// emulator has been mended and those tests can move to it.
TEST_F(FirestoreClientTest, TheEmulatorStillMisreadsThePatchPrecondition) {
  signIn();
  const std::string note = "workspaces/" + test::uniqueUid("ws") + "/notes/native_1";
  runTask(m_client->create(note, cc::fields({{"title", "t"}}), m_uid));
  const std::string fresh = runTask(m_client->get(note, m_uid))["updateTime"];
  EXPECT_EQ(status([&] {
              runTask(m_client->patch(note, {{"title", "u"}}, std::nullopt, fresh, m_uid));
            }),
            400);
}

}  // namespace
}  // namespace sayloom
