#pragma once
// Shared pieces of the cloud tests: the emulators of the test services (their addresses come from
// the emulator variables), steering of the test functions, the Auth emulator's administration
// calls, a network manager that counts requests, and a session signed in through a real pairing.
#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUuid>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/cloud/cloud_endpoints.h"
#include "app/cloud/cloud_http.h"
#include "app/cloud/firebase_session.h"
#include "core/cloud_config.h"
#include "core/cloud_contract.h"
#include "platform/secret_store.h"
#include "support/run_task.h"

namespace sayloom::test {

// A network manager that remembers the address of every request it sends.
class CountingNetwork : public QNetworkAccessManager {
public:
  std::vector<QUrl> sent;

  // How many requests went to an address whose path ends with `suffix`.
  long count(const QString& suffix) const {
    return std::count_if(sent.begin(), sent.end(),
                         [&](const QUrl& url) { return url.path().endsWith(suffix); });
  }

protected:
  QNetworkReply* createRequest(Operation op, const QNetworkRequest& request, QIODevice* data) override {
    sent.push_back(request.url());
    return QNetworkAccessManager::createRequest(op, request, data);
  }
};

// A new pairing id, as the desktop makes them: an upper-case UUID.
inline std::string newPairingId() {
  return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

// The emulators' addresses; fails the test when the test services are not running.
inline CloudEndpoints emulatorEndpoints() {
  for (const char* variable : {"FIREBASE_AUTH_EMULATOR_HOST", "FIRESTORE_EMULATOR_HOST",
                               "FIREBASE_FUNCTIONS_EMULATOR_HOST", "SAYLOOM_TEST_FUNCTIONS_STATE"}) {
    EXPECT_NE(std::getenv(variable), nullptr) << variable << " is unset: start scripts/test-services.sh";
  }
  return CloudEndpoints::fromEnvironment();
}

// Plain calls to the emulators, outside the code under test.
class Emulators {
public:
  Emulators() : m_http(m_network) {}

  // The answers the pairing function gives to the next claims of `pairingId` (see
  // tests/fakes/cloud-functions/index.js), for the account `uid`.
  void steerPairing(const std::string& pairingId, const std::vector<std::string>& answers,
                    const std::string& uid, const std::string& email = "",
                    const std::string& displayName = "") {
    nlohmann::json data = {{"uuid", pairingId}, {"answers", answers}, {"uid", uid}};
    if (!email.empty()) {
      data["email"] = email;
    }
    if (!displayName.empty()) {
      data["displayName"] = displayName;
    }
    runTask(
        m_http.request(emulatorEndpoints().function("steerDesktopPairing"), {{"data", data}}, std::nullopt));
  }

  // The data of every call the test functions received under `name`, in order.
  static std::vector<nlohmann::json> calls(const std::string& name) {
    std::vector<nlohmann::json> found;
    std::ifstream in(std::filesystem::path(std::getenv("SAYLOOM_TEST_FUNCTIONS_STATE")) / "calls.jsonl");
    for (std::string line; std::getline(in, line);) {
      const nlohmann::json call = nlohmann::json::parse(line, nullptr, false);
      if (call.is_object() && call.value("name", "") == name) {
        found.push_back(call.value("data", nlohmann::json()));
      }
    }
    return found;
  }

  // The credit account of `workspace` as the test functions keep it, and its replacement.
  static std::filesystem::path creditsFile(const std::string& workspace) {
    return std::filesystem::path(std::getenv("SAYLOOM_TEST_FUNCTIONS_STATE")) / "credits" /
           (workspace + ".json");
  }
  static void setCredits(const std::string& workspace, const nlohmann::json& account) {
    std::filesystem::create_directories(creditsFile(workspace).parent_path());
    std::ofstream(creditsFile(workspace)) << account.dump();
  }

  // How many times the desktop claimed `pairingId`.
  static long claims(const std::string& pairingId) {
    const auto all = calls("claimDesktopPairing");
    return std::count_if(all.begin(), all.end(), [&](const nlohmann::json& data) {
      return data.is_object() && data.value("uuid", "") == pairingId;
    });
  }

  // Disables the account in the Auth emulator: its refresh tokens are refused from then on.
  void disableUser(const std::string& uid) {
    const CloudEndpoints endpoints = emulatorEndpoints();
    const QUrl url(endpoints.identityToolkit + QStringLiteral("/projects/") +
                   QString::fromUtf8(CloudConfig::project.data(), CloudConfig::project.size()) +
                   QStringLiteral("/accounts:update"));
    runTask(m_http.request(url, {{"localId", uid}, {"disableUser", true}}, std::string("owner")));
  }

  // Makes `uid` an active member of `workspace` (membership document `membership`), written with
  // the emulator's administrator token.
  void addMembership(const std::string& uid, const std::string& workspace,
                     const std::string& membership = "m1", const std::string& type = "personal") {
    namespace cc = CloudContract;
    const nlohmann::json write = {
        {"update",
         {{"name", std::string(cc::root) + "/users/" + uid + "/workspaceMemberships/" + membership},
          {"fields",
           cc::fields({{"workspaceId", workspace}, {"workspaceType", type}, {"status", "active"}})}}}};
    const QUrl commit(emulatorEndpoints().firestore + QStringLiteral("/") +
                      QString::fromUtf8(cc::root.data(), cc::root.size()) + QStringLiteral(":commit"));
    runTask(m_http.request(commit, {{"writes", nlohmann::json::array({write})}}, std::string("owner")));
  }

private:
  QNetworkAccessManager m_network;
  CloudHttp m_http;
};

// A wall clock the test sets; the session reads it for the token expiry.
struct ManualClock {
  std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
  std::function<std::chrono::system_clock::time_point()> function() {
    return [this] { return now; };
  }
};

// Pairs `session` with the account `uid` through the pairing function (answering at once).
inline FirebaseProfile pair(FirebaseSession& session, const std::string& uid, const std::string& email = "",
                            const std::string& displayName = "") {
  const std::string pairingId = newPairingId();
  Emulators().steerPairing(pairingId, {"token"}, uid, email, displayName);
  return runTask(session.signIn(pairingId));
}

// A unique account name for one test.
inline std::string uniqueUid(const char* prefix) {
  return prefix + std::string("-") + QUuid::createUuid().toString(QUuid::Id128).left(12).toStdString();
}

}  // namespace sayloom::test
