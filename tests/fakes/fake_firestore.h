#pragma once
// A stand-in for the Firestore REST service on a loopback port, following the service's protocol
// for the requests the desktop makes (and that the Firestore emulator answers the same way), but
// also honouring the `currentDocument.updateTime` precondition of a PATCH, which the emulator
// ignores, and refusing chosen bearer tokens with 401:
//   GET  /v1/<root>/<document>                      the document, or 404 NOT_FOUND
//   GET  /v1/<root>/<collection>?pageSize=&pageToken=  a page in name order, "nextPageToken" when
//                                                   more follow ({} for an empty collection)
//   POST /v1/<root>:commit                          writes with "update" (and "currentDocument":
//                                                   {"exists": false} -> 409 ALREADY_EXISTS),
//                                                   all or nothing
//   PATCH /v1/<root>/<document>?currentDocument.updateTime=&updateMask.fieldPaths=...
//                                                   404 when missing, 400 FAILED_PRECONDITION when
//                                                   the update time differs
// Thread contract: main thread only (see LoopbackServer).
#include <QUrl>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "core/cloud_config.h"
#include "fakes/loopback_server.h"

namespace sayloom::test {

class FakeFirestore {
public:
  FakeFirestore() {
    server.handler = [this](const HttpRequest& request) { return answer(request); };
  }

  // The base address to use in place of the Firestore endpoint.
  QString endpoint() const { return server.baseUrl() + QStringLiteral("/v1"); }

  LoopbackServer server;
  std::map<std::string, nlohmann::json> documents;  // by path relative to the root
  std::set<std::string> refusedTokens;              // answered with 401

private:
  using json = nlohmann::json;

  static HttpAnswer error(int code, const char* status, const std::string& message) {
    return HttpAnswer::json(
        code, QByteArray::fromStdString(
                  json({{"error", {{"code", code}, {"message", message}, {"status", status}}}}).dump()));
  }

  static HttpAnswer ok(const json& body) {
    return HttpAnswer::json(200, QByteArray::fromStdString(body.dump()));
  }

  static std::string decoded(const QByteArray& value) {
    return QByteArray::fromPercentEncoding(value).toStdString();
  }

  static std::string fullName(const std::string& path) { return std::string(CloudConfig::root) + "/" + path; }

  // A fresh server time, later than every earlier one, with microseconds like the service's.
  std::string stamp() {
    ++m_clock;
    char text[40];
    std::snprintf(text, sizeof text, "2026-01-01T00:%02lld:%02lld.%06lldZ", m_clock / 60'000'000 % 60,
                  m_clock / 1'000'000 % 60, m_clock % 1'000'000);
    return text;
  }

  // The segments of a field path: names separated by ".", each plain or in back quotes (where a
  // backslash escapes the next character).
  static std::vector<std::string> segments(const std::string& fieldPath) {
    std::vector<std::string> names(1);
    bool quoted = false;
    for (std::size_t i = 0; i < fieldPath.size(); ++i) {
      const char c = fieldPath[i];
      if (quoted && c == '\\' && i + 1 < fieldPath.size()) {
        names.back().push_back(fieldPath[++i]);
      } else if (c == '`') {
        quoted = !quoted;
      } else if (c == '.' && !quoted) {
        names.emplace_back();
      } else {
        names.back().push_back(c);
      }
    }
    return names;
  }

  // Sets the field at `path` in `target` (a "fields" object) to its value in `source`, or
  // removes it when `source` has none.
  static void apply(json& target, const json& source, const std::vector<std::string>& path,
                    std::size_t at = 0) {
    const std::string& name = path[at];
    const bool last = at + 1 == path.size();
    const json* from = source.contains(name) ? &source[name] : nullptr;
    if (last) {
      if (from != nullptr) {
        target[name] = *from;
      } else {
        target.erase(name);
      }
      return;
    }
    json inner = from != nullptr ? from->value("mapValue", json::object()).value("fields", json::object())
                                 : json::object();
    if (!target.contains(name) || !target[name].contains("mapValue")) {
      target[name] = {{"mapValue", {{"fields", json::object()}}}};
    }
    apply(target[name]["mapValue"]["fields"], inner, path, at + 1);
  }

  HttpAnswer answer(const HttpRequest& request) {
    const QByteArray bearer = request.headers.value("authorization");
    if (!bearer.startsWith("Bearer ") || refusedTokens.count(bearer.mid(7).toStdString()) > 0) {
      return error(401, "UNAUTHENTICATED", "Request had invalid authentication credentials.");
    }
    const std::string prefix = "/v1/" + std::string(CloudConfig::root);
    const std::string path = QUrl::fromPercentEncoding(request.path()).toStdString();
    if (!path.starts_with(prefix)) {
      return error(404, "NOT_FOUND", "unknown database");
    }
    const std::string relative = path.substr(prefix.size());
    if (request.method == "POST" && relative == ":commit") {
      return commit(json::parse(request.body.toStdString()));
    }
    if (!relative.starts_with("/")) {
      return error(400, "INVALID_ARGUMENT", "bad path");
    }
    const std::string target = relative.substr(1);
    const bool isDocument = std::count(target.begin(), target.end(), '/') % 2 == 1;
    if (request.method == "GET" && isDocument) {
      const auto found = documents.find(target);
      return found == documents.end()
                 ? error(404, "NOT_FOUND", "Document " + fullName(target) + " not found.")
                 : ok(found->second);
    }
    if (request.method == "GET") {
      return list(target, request);
    }
    if (request.method == "PATCH" && isDocument) {
      return patch(target, request);
    }
    return error(400, "INVALID_ARGUMENT", "unsupported request");
  }

  HttpAnswer list(const std::string& collection, const HttpRequest& request) {
    const std::size_t pageSize = request.query("pageSize").value(0, "20").toULong();
    std::size_t skip = 0;
    if (const auto token = request.query("pageToken"); !token.isEmpty()) {
      skip =
          QByteArray::fromBase64(QByteArray::fromStdString(decoded(token.front())).mid(5)).mid(7).toULong();
    }
    json page = json::object();
    std::size_t index = 0;
    for (const auto& [path, document] : documents) {
      const std::size_t slash = path.rfind('/');
      if (slash == std::string::npos || path.substr(0, slash) != collection || index++ < skip) {
        continue;
      }
      if (page.contains("documents") && page["documents"].size() == pageSize) {
        // An opaque token with characters that need escaping in an address.
        page["nextPageToken"] =
            "page/" + ("offset " + QByteArray::number(qulonglong(skip + pageSize))).toBase64().toStdString();
        break;
      }
      page["documents"].push_back(document);
    }
    return ok(page);
  }

  HttpAnswer commit(const json& body) {
    std::map<std::string, json> changed = documents;
    json results = json::array();
    const std::string time = stamp();
    for (const json& write : body.at("writes")) {
      const std::string name = write.at("update").at("name");
      const std::string root = std::string(CloudConfig::root) + "/";
      if (!name.starts_with(root)) {
        return error(400, "INVALID_ARGUMENT", "bad name");
      }
      const std::string path = name.substr(root.size());
      const bool exists = changed.count(path) > 0;
      if (write.contains("currentDocument") && write["currentDocument"].value("exists", !exists) != exists) {
        return exists ? error(409, "ALREADY_EXISTS", "Document already exists: " + name)
                      : error(404, "NOT_FOUND", "No document to update: " + name);
      }
      const std::string created = exists ? changed[path]["createTime"].get<std::string>() : time;
      changed[path] = {{"name", name},
                       {"fields", write["update"].value("fields", json::object())},
                       {"createTime", created},
                       {"updateTime", time}};
      results.push_back({{"updateTime", time}});
    }
    documents = std::move(changed);
    return ok({{"writeResults", results}, {"commitTime", time}});
  }

  HttpAnswer patch(const std::string& path, const HttpRequest& request) {
    const auto found = documents.find(path);
    if (found == documents.end()) {
      return error(404, "NOT_FOUND", "No document to update: " + fullName(path));
    }
    const auto expected = request.query("currentDocument.updateTime");
    if (!expected.isEmpty() && decoded(expected.front()) != found->second["updateTime"].get<std::string>()) {
      return error(400, "FAILED_PRECONDITION", "the stored version does not match the required base version");
    }
    const json fields = json::parse(request.body.toStdString()).value("fields", json::object());
    json& stored = found->second["fields"];
    const auto masks = request.query("updateMask.fieldPaths");
    if (masks.isEmpty()) {
      stored = fields;
    }
    for (const QByteArray& mask : masks) {
      apply(stored, fields, segments(decoded(mask)));
    }
    found->second["updateTime"] = stamp();
    return ok(found->second);
  }

  long long m_clock = 0;
};

}  // namespace sayloom::test
