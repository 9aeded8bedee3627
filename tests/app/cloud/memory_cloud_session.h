#pragma once
// An account session whose cloud lives in memory: the document database's reads, paged listings,
// creates with the "must not exist" precondition (409) and patches with the update-time
// precondition (400) and field-path masks, and callable functions answered by test handlers. Every
// request is logged; `fault` may throw before a request is answered (a dropped connection) and
// `hold` keeps requests waiting until it is cleared or the request is cancelled. Main thread only.
#include <QCoroTimer>
#include <QUrlQuery>
#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/cloud/account_link.h"
#include "core/cloud_contract.h"
#include "core/cloud_protocol.h"
#include "core/native_error.h"

namespace sayloom::test {

class MemoryCloudSession final : public AccountLink {
public:
  using json = nlohmann::json;
  using Function = std::function<json(const json& data)>;

  MemoryCloudSession() {
    functions["consumeCredits"] = [this](const json& data) {
      chargeKeys.push_back(data.value("idempotencyKey", ""));
      return json{{"shortfall", 0}, {"balance", {{"paidRemaining", 3600}}}};
    };
    functions["translate"] = [](const json& data) {
      return json{{"translatedText", "[" + data.value("targetLanguage", "") + "] " + data.value("text", "")}};
    };
  }

  void signIn(std::string uid) { m_stored = StoredCredential{{std::move(uid), "", ""}, "refresh"}; }
  // The web application approves the pairing in progress for account `uid`.
  void approve(std::string uid) { m_approved = std::move(uid); }

  QCoro::Task<std::optional<FirebaseProfile>> restore() override {
    if (!restoreFailure.empty()) {
      throw NativeError::message(restoreFailure);
    }
    co_return m_stored ? std::optional(m_stored->profile) : std::nullopt;
  }
  QCoro::Task<FirebaseProfile> signIn(std::string pairing, std::stop_token stop) override {
    pairingID = pairing;
    m_approved.clear();
    while (m_approved.empty()) {
      if (stop.stop_requested()) {
        throw Cancelled();
      }
      co_await QCoro::sleepFor(std::chrono::milliseconds(5));
    }
    signIn(m_approved);
    co_return FirebaseProfile(m_stored->profile);  // a copy: GCC 12 moves from a co_return operand
  }
  QCoro::Task<void> signOut() override {
    m_stored.reset();
    signedOut();
    co_return;
  }

  // A stored document, by path relative to the database root.
  json& document(const std::string& path) { return documents.at(path); }
  void put(const std::string& path, json fields) {
    documents[path] = {{"name", std::string(CloudContract::root) + "/" + path},
                       {"fields", std::move(fields)},
                       {"updateTime", nextStamp()}};
  }
  // The paths of the stored documents directly inside `collection`.
  std::vector<std::string> children(const std::string& collection) const {
    std::vector<std::string> found;
    for (const auto& [path, document] : documents) {
      if (path.starts_with(collection + "/") && path.find('/', collection.size() + 1) == std::string::npos) {
        found.push_back(path);
      }
    }
    return found;
  }
  // How many logged requests start with `prefix` ("PATCH /workspaces/...").
  int count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : log) {
      n += line.starts_with(prefix) ? 1 : 0;
    }
    return n;
  }

  const std::optional<StoredCredential>& stored() const override { return m_stored; }

  QCoro::Task<std::string> token(std::optional<std::string> expectedUID) override {
    checkAccount(expectedUID);
    co_return "token";
  }

  QCoro::Task<json> callable(std::string name, json data, bool, std::optional<std::string> expectedUID,
                             std::stop_token stop) override {
    checkAccount(expectedUID);
    co_await wait("CALL " + name, stop);
    const auto found = functions.find(name);
    if (found == functions.end()) {
      throw NativeError::http(404);
    }
    co_return found->second(data);
  }

  QCoro::Task<json> firestore(std::string method, std::string path, std::optional<json> body, std::string uid,
                              std::stop_token stop) override {
    checkAccount(uid);
    co_await wait(method + " " + path, stop);
    co_return answer(method, path, body.value_or(json::object()));
  }

  std::map<std::string, json> documents;
  std::map<std::string, Function> functions;
  std::vector<std::string> chargeKeys;
  std::vector<std::string> log;
  // Called with each logged request before it is answered; may throw.
  std::function<void(const std::string& request)> fault;
  bool hold = false;
  std::string restoreFailure;  // restore fails with this text when set
  std::string pairingID;       // of the last pairing

private:
  void checkAccount(const std::optional<std::string>& expected) const {
    if (!m_stored || (expected && *expected != m_stored->profile.userId)) {
      throw NativeError::message("이 노트를 연결한 계정으로 로그인해 주세요.");
    }
  }

  QCoro::Task<void> wait(std::string request, std::stop_token stop) {
    log.push_back(request);
    while (hold && !stop.stop_requested()) {
      co_await QCoro::sleepFor(std::chrono::milliseconds(5));
    }
    if (stop.stop_requested()) {
      throw Cancelled();
    }
    if (fault) {
      fault(request);
    }
  }

  std::string nextStamp() {
    ++m_clock;
    return "2026-01-01T00:00:00." + std::to_string(100000 + m_clock) + "Z";
  }

  static std::string relative(const std::string& name) { return name.substr(CloudContract::root.size() + 1); }

  json answer(const std::string& method, const std::string& path, const json& body) {
    const std::size_t question = path.find('?');
    // Addresses escape identifiers; documents are named unescaped.
    const std::string where = CloudProtocol::percentDecode(
        path.substr(1, question == std::string::npos ? std::string::npos : question - 1));
    const QUrlQuery query(
        QString::fromStdString(question == std::string::npos ? "" : path.substr(question + 1)));
    if (method == "POST" && path == ":commit") {
      const json& update = body["writes"][0]["update"];
      const std::string target = relative(update["name"].get<std::string>());
      if (documents.contains(target)) {
        throw NativeError::http(409);
      }
      put(target, update["fields"]);
      return json::object();
    }
    if (method == "GET" && query.hasQueryItem(QStringLiteral("pageSize"))) {
      json page = {{"documents", json::array()}};
      for (const std::string& child : children(where)) {
        page["documents"].push_back(documents[child]);
      }
      return page;
    }
    const auto found = documents.find(where);
    if (found == documents.end()) {
      throw NativeError::http(404);
    }
    if (method == "GET") {
      return found->second;
    }
    // PATCH: the precondition, then each mask from the body (a missing value deletes the field).
    const std::string stamp =
        query.queryItemValue(QStringLiteral("currentDocument.updateTime"), QUrl::FullyDecoded).toStdString();
    if (stamp != found->second["updateTime"].get<std::string>()) {
      throw NativeError::http(400);
    }
    json& fields = found->second["fields"];
    for (const QString& mask :
         query.allQueryItemValues(QStringLiteral("updateMask.fieldPaths"), QUrl::FullyDecoded)) {
      const std::string fieldPath = mask.toStdString();
      const std::size_t dot = fieldPath.find(".`");
      if (dot == std::string::npos) {
        if (body["fields"].contains(fieldPath)) {
          fields[fieldPath] = body["fields"][fieldPath];
        } else {
          fields.erase(fieldPath);
        }
        continue;
      }
      const std::string map = fieldPath.substr(0, dot);
      const std::string key = fieldPath.substr(dot + 2, fieldPath.size() - dot - 3);
      fields[map]["mapValue"]["fields"][key] = body["fields"][map]["mapValue"]["fields"][key];
    }
    found->second["updateTime"] = nextStamp();
    return found->second;
  }

  std::optional<StoredCredential> m_stored;
  std::string m_approved;
  long m_clock = 0;
};

}  // namespace sayloom::test
