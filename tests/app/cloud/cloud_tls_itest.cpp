// TLS verification of the cloud calls stays on: against a real HTTPS server on loopback whose
// certificate is self-signed, the request layer and the account session's calls fail with a
// transport failure naming the certificate, never with an answer; the same server answers once a
// request itself trusts that certificate, so nothing but the trust is missing.
#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <functional>

#include "app/cloud/cloud_http.h"
#include "app/cloud/firebase_session.h"
#include "core/native_error.h"
#include "platform/secret_store.h"
#include "support/file_bytes.h"
#include "support/folder_server.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

// How a call ended: its answer, "http <status>", or "transport: <text>".
std::string outcome(const std::function<json()>& call) {
  try {
    return call().dump();
  } catch (const NativeError& error) {
    return "http " + std::to_string(error.number());
  } catch (const CloudTransportError& error) {
    return std::string("transport: ") + error.what();
  }
}

TEST(CloudTlsTest, AServerWithASelfSignedCertificateIsATransportFailureNotAnAnswer) {
  TempDir dir;
  writeFile(dir / "site" / "answer.json", R"({"answered":true})");
  const std::filesystem::path certificate = dir / "loopback.pem";
  ASSERT_TRUE(makeSelfSignedCertificate(certificate));
  FolderServer server(dir / "site", certificate);
  const QUrl answer(QString::fromStdString(server.url("/answer.json")));
  QNetworkAccessManager network;
  const CloudHttp http(network);

  // Every cloud endpoint on the untrusted server (http.server answers a POST it took with 501).
  CloudEndpoints endpoints;
  endpoints.identityToolkit = endpoints.secureToken = endpoints.firestore = endpoints.functions =
      QString::fromStdString(server.url(""));
  platform::LibsecretStore unused;  // the session's store; these calls never reach it
  FirebaseSession session(unused, endpoints, {.network = &network});
  const struct {
    const char* name;
    std::function<json()> call;
  } cases[] = {
      {"a GET of the request layer",
       [&] { return runTask(http.send(CloudHttp::prepare(answer, std::nullopt), "GET")); }},
      {"a POST of the request layer with a bearer token",
       [&] { return runTask(http.request(answer, json::object(), std::string("secret"))); }},
      {"the session's callable function", [&] { return runTask(session.callable("anything", {}, false)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string result = outcome(c.call);
    EXPECT_TRUE(result.starts_with("transport: SSL handshake failed")) << result;
    EXPECT_NE(result.find("self-signed"), std::string::npos) << result;
  }

  // The same server answers a request that trusts its certificate (on a network manager of its
  // own, so no connection of it is shared with the calls above).
  QNetworkAccessManager trustingNetwork;
  QNetworkRequest trusting = CloudHttp::prepare(answer, std::nullopt);
  QSslConfiguration tls = trusting.sslConfiguration();
  tls.addCaCertificates(QSslCertificate::fromPath(QString::fromStdString(certificate.string())));
  trusting.setSslConfiguration(tls);
  EXPECT_EQ(outcome([&] { return runTask(CloudHttp(trustingNetwork).send(trusting, "GET")); }),
            R"({"answered":true})");
}

}  // namespace
}  // namespace sayloom::test
