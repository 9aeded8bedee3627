// The shared request layer and the endpoint configuration, against a loopback HTTP server that
// answers as told (statuses, empty and broken bodies, stalls, cut-off bodies, non-HTTP answers).
#include "app/cloud/cloud_http.h"

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QTimer>

#include "app/cloud/cloud_endpoints.h"
#include "app/error_text.h"
#include "core/cloud_config.h"
#include "core/cloud_messages.h"
#include "core/native_error.h"
#include "fakes/loopback_server.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using nlohmann::json;
using test::HttpAnswer;
using test::runTask;
using namespace std::chrono_literals;

class CloudHttpTest : public ::testing::Test {
protected:
  QUrl url(const char* path = "/call") const { return QUrl(m_server.baseUrl() + QString::fromLatin1(path)); }

  json get(const CloudHttp& http, std::stop_token stop = {}) {
    return runTask(http.send(QNetworkRequest(url()), "GET", {}, stop));
  }

  test::LoopbackServer m_server;
  QNetworkAccessManager m_network;
  CloudHttp m_http{m_network};
};

// What `send` made of an answer: its JSON, or the kind of failure.
std::string outcome(const std::function<json()>& call) {
  try {
    return call().dump();
  } catch (const NativeError& error) {
    return "http " + std::to_string(error.number());
  } catch (const CloudTransportError&) {
    return "transport";
  } catch (const json::parse_error&) {
    return "parse";
  } catch (const Cancelled&) {
    return "cancelled";
  }
}

TEST_F(CloudHttpTest, StatusAndBodyRules) {
  const struct {
    const char* name;
    HttpAnswer answer;
    std::string outcome;
  } cases[] = {
      {"object", HttpAnswer::json(200, R"({"a":1})"), R"({"a":1})"},
      {"other 2xx", HttpAnswer::json(201, "[1,2]"), "[1,2]"},
      {"empty 200 body", HttpAnswer::json(200, ""), "{}"},
      {"204", HttpAnswer::json(204, ""), "{}"},
      {"broken JSON", HttpAnswer::json(200, "{\"a\":"), "parse"},
      {"bad request, body unread", HttpAnswer::json(400, "not even JSON"), "http 400"},
      {"expired token", HttpAnswer::json(401, R"({"error":{"code":401}})"), "http 401"},
      {"not found", HttpAnswer::json(404, ""), "http 404"},
      {"too many requests", HttpAnswer::json(429, "{}"), "http 429"},
      {"server error", HttpAnswer::json(500, "{}"), "http 500"},
      {"unavailable", HttpAnswer::json(503, "{}"), "http 503"},
      {"not an HTTP answer", HttpAnswer::with(HttpAnswer::Fault::notHttp), "http 0"},
      {"body cut short", HttpAnswer::with(HttpAnswer::Fault::truncatedBody), "transport"},
  };
  for (const auto& c : cases) {
    // Every attempt gets the answer: Qt sends a request again when the first attempt brought back
    // no status line.
    m_server.handler = [&](const test::HttpRequest&) { return c.answer; };
    EXPECT_EQ(outcome([&] { return get(m_http); }), c.outcome) << c.name;
  }
}

TEST_F(CloudHttpTest, RequestPostsJsonWithTheBearerTokenAndGivesAnObject) {
  m_server.queued.push_back(HttpAnswer::json(200, R"({"ok":true})"));
  EXPECT_EQ(runTask(m_http.request(url(), {{"data", {{"uuid", "회의"}}}}, std::string("tok"))),
            json({{"ok", true}}));
  m_server.queued.push_back(HttpAnswer::json(200, "[1]"));
  EXPECT_EQ(runTask(m_http.request(url(), json::object(), std::nullopt)), json::object());

  ASSERT_EQ(m_server.requests.size(), 2u);
  const test::HttpRequest& withToken = m_server.requests[0];
  EXPECT_EQ(withToken.method, "POST");
  EXPECT_EQ(withToken.headers.value("content-type"), "application/json");
  EXPECT_EQ(withToken.headers.value("authorization"), "Bearer tok");
  EXPECT_EQ(json::parse(withToken.body.toStdString()), json({{"data", {{"uuid", "회의"}}}}));
  EXPECT_FALSE(m_server.requests[1].headers.contains("authorization"));
}

TEST_F(CloudHttpTest, TimeLimitAndCancellation) {
  EXPECT_EQ(CloudHttp(m_network).timeout(), 45s);

  CloudHttp impatient(m_network, 300ms);
  m_server.queued.push_back(HttpAnswer::with(HttpAnswer::Fault::stall));
  try {
    get(impatient);
    ADD_FAILURE() << "a stalled request succeeded";
  } catch (const CloudTransportError& error) {
    // The warning box shows the app's own words, not Qt's English "Operation canceled".
    EXPECT_EQ(warningText(error).toStdString(), messages::requestTimedOut);
  }

  // Stopping aborts a request in flight, and one not yet sent never goes out.
  std::stop_source stop;
  m_server.queued.push_back(HttpAnswer::with(HttpAnswer::Fault::stall));
  QTimer::singleShot(100, [&] { stop.request_stop(); });
  EXPECT_EQ(outcome([&] { return get(m_http, stop.get_token()); }), "cancelled");
  const std::size_t sent = m_server.requests.size();
  EXPECT_EQ(outcome([&] { return get(m_http, stop.get_token()); }), "cancelled");
  EXPECT_EQ(m_server.requests.size(), sent);
}

TEST_F(CloudHttpTest, RefusedConnectionIsATransportFailure) {
  quint16 port = 0;
  {
    test::LoopbackServer gone;
    port = static_cast<quint16>(gone.hostAndPort().section(':', 1).toUInt());
  }
  const QUrl closed(QStringLiteral("http://127.0.0.1:%1/").arg(port));
  EXPECT_EQ(outcome([&] { return runTask(m_http.send(QNetworkRequest(closed), "GET")); }), "transport");
}

// Qt sends escaped unreserved characters ("-", ".", "_", "~") as themselves, an equivalent form
// of the same address; every other escape reaches the server as written.
TEST_F(CloudHttpTest, AddressesKeepTheirReservedEscapes) {
  CloudEndpoints endpoints = CloudEndpoints::fromBuild();
  endpoints.firestore = m_server.baseUrl() + QStringLiteral("/v1");
  const std::string path =
      "/w/n?currentDocument.updateTime=2024%2D05%2D01T10%3A00%3A00%2E1Z&updateMask.fieldPaths=%60a%2Eb%60";
  m_server.queued.push_back(HttpAnswer::json(200, "{}"));
  runTask(m_http.send(QNetworkRequest(endpoints.document(path)), "PATCH", "{}"));
  ASSERT_EQ(m_server.requests.size(), 1u);
  EXPECT_EQ(m_server.requests[0].target.toStdString(),
            "/v1/" + std::string(CloudConfig::root) +
                "/w/n?currentDocument.updateTime=2024-05-01T10%3A00%3A00.1Z&updateMask.fieldPaths=%60a.b%60");
}

TEST(CloudEndpointsTest, EmulatorVariablesOverrideTheBuild) {
  const std::string project(CloudConfig::project);
  const std::string region(CloudConfig::functionsRegion);
  const std::string key(CloudConfig::webApiKey);
  {
    test::ScopedEnv auth("FIREBASE_AUTH_EMULATOR_HOST", nullptr);
    test::ScopedEnv firestore("FIRESTORE_EMULATOR_HOST", "");
    test::ScopedEnv functions("FIREBASE_FUNCTIONS_EMULATOR_HOST", nullptr);
    const CloudEndpoints endpoints = CloudEndpoints::fromEnvironment();
    EXPECT_EQ(endpoints.identity("lookup").toString().toStdString(),
              std::string(CloudConfig::identityToolkitEndpoint) + "/accounts:lookup?key=" + key);
    EXPECT_EQ(endpoints.token().toString().toStdString(),
              std::string(CloudConfig::secureTokenEndpoint) + "/token?key=" + key);
    EXPECT_EQ(endpoints.function("translate").toString().toStdString(),
              std::string(CloudConfig::functionsEndpoint) + "/translate");
    EXPECT_EQ(endpoints.document(":commit").toString().toStdString(),
              std::string(CloudConfig::firestoreEndpoint) + "/" + std::string(CloudConfig::root) + ":commit");
  }
  test::ScopedEnv auth("FIREBASE_AUTH_EMULATOR_HOST", "127.0.0.1:9099");
  test::ScopedEnv firestore("FIRESTORE_EMULATOR_HOST", "127.0.0.1:8080");
  test::ScopedEnv functions("FIREBASE_FUNCTIONS_EMULATOR_HOST", "127.0.0.1:5001");
  const CloudEndpoints endpoints = CloudEndpoints::fromEnvironment();
  EXPECT_EQ(
      endpoints.identity("signInWithCustomToken").toString().toStdString(),
      "http://127.0.0.1:9099/identitytoolkit.googleapis.com/v1/accounts:signInWithCustomToken?key=" + key);
  EXPECT_EQ(endpoints.token().toString().toStdString(),
            "http://127.0.0.1:9099/securetoken.googleapis.com/v1/token?key=" + key);
  EXPECT_EQ(endpoints.function("claimDesktopPairing").toString().toStdString(),
            "http://127.0.0.1:5001/" + project + "/" + region + "/claimDesktopPairing");
  EXPECT_EQ(endpoints.document("/users/u").toString().toStdString(),
            "http://127.0.0.1:8080/v1/" + std::string(CloudConfig::root) + "/users/u");
}

// Only an emulator on this machine may stand in for the cloud: the account's tokens go to it over
// plain HTTP. Any other host is ignored and the configured cloud is used.
TEST(CloudEndpointsTest, EmulatorsAreTakenOnlyOnThisMachine) {
  const struct {
    const char* host;
    bool taken;
  } cases[] = {
      {"127.0.0.1:9099", true},
      {"127.8.9.10:9099", true},
      {"localhost:9099", true},
      {"LOCALHOST:9099", true},
      {"[::1]:9099", true},
      {"10.0.0.5:9099", false},
      {"192.168.1.20:8080", false},
      {"auth.example.com:443", false},
      {"localhost.example.com:9099", false},
      {"127.0.0.1.example.com:9099", false},
      {"[::2]:9099", false},
      {"user@127.0.0.1:9099", false},
      {"127.0.0.1:9099/elsewhere", false},
      {"example.com#127.0.0.1:9099", false},
  };
  for (const auto& c : cases) {
    for (const char* variable :
         {"FIREBASE_AUTH_EMULATOR_HOST", "FIRESTORE_EMULATOR_HOST", "FIREBASE_FUNCTIONS_EMULATOR_HOST"}) {
      test::ScopedEnv auth("FIREBASE_AUTH_EMULATOR_HOST", nullptr);
      test::ScopedEnv firestore("FIRESTORE_EMULATOR_HOST", nullptr);
      test::ScopedEnv functions("FIREBASE_FUNCTIONS_EMULATOR_HOST", nullptr);
      test::ScopedEnv chosen(variable, c.host);
      const CloudEndpoints endpoints = CloudEndpoints::fromEnvironment();
      const CloudEndpoints configured = CloudEndpoints::fromBuild();
      EXPECT_EQ(endpoints.emulated, c.taken) << c.host << " in " << variable;
      const bool changed = endpoints.secureToken != configured.secureToken ||
                           endpoints.firestore != configured.firestore ||
                           endpoints.functions != configured.functions;
      EXPECT_EQ(changed, c.taken) << c.host << " in " << variable;
    }
  }
}

}  // namespace
}  // namespace sayloom
