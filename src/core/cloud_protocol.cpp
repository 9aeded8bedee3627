#include "core/cloud_protocol.h"

#include "core/cloud_messages.h"
#include "core/native_error.h"

namespace sayloom::CloudProtocol {

namespace {

// The member `key` of `object` when both exist and the member is text.
const std::string* text(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
}

TokenPair tokenPair(const nlohmann::json& answer, const char* idKey, const char* refreshKey,
                    const char* failure) {
  const std::string* id = text(answer, idKey);
  const std::string* refresh = text(answer, refreshKey);
  if (id == nullptr || refresh == nullptr) {
    throw NativeError::message(failure);
  }
  return {*id, *refresh};
}

bool isAlnum(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

template <typename Keep>
std::string escape(std::string_view text, Keep keep) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (keep(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(hex[byte >> 4]);
      out.push_back(hex[byte & 0x0F]);
    }
  }
  return out;
}

}  // namespace

nlohmann::json parseBody(std::string_view body) {
  if (body.empty()) {
    return nlohmann::json::object();
  }
  return nlohmann::json::parse(body);
}

nlohmann::json objectOrEmpty(nlohmann::json answer) {
  return answer.is_object() ? std::move(answer) : nlohmann::json::object();
}

TokenPair readCustomTokenSignIn(const nlohmann::json& answer) {
  return tokenPair(answer, "idToken", "refreshToken", messages::tokenExchangeFailed);
}

TokenPair readTokenRefresh(const nlohmann::json& answer) {
  return tokenPair(answer, "id_token", "refresh_token", messages::tokenRefreshFailed);
}

FirebaseProfile readAccountLookup(const nlohmann::json& answer) {
  const nlohmann::json* user = nullptr;
  if (answer.is_object()) {
    const auto users = answer.find("users");
    if (users != answer.end() && users->is_array() && !users->empty()) {
      user = &users->front();
    }
  }
  const std::string* localId = user != nullptr ? text(*user, "localId") : nullptr;
  if (localId == nullptr) {
    throw NativeError::message(messages::accountLookupFailed);
  }
  const std::string* email = text(*user, "email");
  const std::string* displayName = text(*user, "displayName");
  return {*localId, email != nullptr ? *email : std::string(),
          displayName != nullptr ? *displayName : std::string()};
}

nlohmann::json readCallable(const nlohmann::json& answer) {
  if (!answer.is_object()) {
    return nlohmann::json::object();
  }
  if (answer.contains("error")) {
    throw NativeError::message(messages::callableRefused);
  }
  for (const char* key : {"result", "data"}) {
    const auto it = answer.find(key);
    if (it != answer.end() && it->is_object()) {
      return *it;
    }
  }
  return nlohmann::json::object();
}

std::optional<std::string> readCustomToken(const nlohmann::json& result) {
  const std::string* token = text(result, "customToken");
  if (token == nullptr || token->empty()) {
    return std::nullopt;
  }
  return *token;
}

DocumentPage readDocumentPage(const nlohmann::json& answer) {
  DocumentPage page;
  if (!answer.is_object()) {
    return page;
  }
  const auto documents = answer.find("documents");
  if (documents != answer.end() && documents->is_array()) {
    for (const nlohmann::json& document : *documents) {
      if (document.is_object()) {
        page.documents.push_back(document);
      }
    }
  }
  if (const std::string* token = text(answer, "nextPageToken")) {
    page.nextPageToken = *token;
  }
  return page;
}

std::string percentEncode(std::string_view text) { return escape(text, isAlnum); }

std::string percentDecode(std::string_view text) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') {
      return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
      return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
      return c - 'a' + 10;
    }
    return -1;
  };
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0) {
      plain.push_back(static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2])));
      i += 2;
    } else {
      plain.push_back(text[i]);
    }
  }
  return plain;
}

std::string refreshForm(std::string_view refreshToken) {
  const auto unreserved = [](unsigned char c) {
    return isAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
  };
  return "grant_type=refresh_token&refresh_token=" + escape(refreshToken, unreserved);
}

std::string listPath(std::string_view collection, std::string_view pageToken) {
  std::string path = "/" + std::string(collection) + "?pageSize=" + std::to_string(pageSize);
  if (!pageToken.empty()) {
    path += "&pageToken=" + percentEncode(pageToken);
  }
  return path;
}

std::string fieldPath(std::string_view name) {
  const auto simpleStart = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  };
  bool simple = !name.empty() && simpleStart(static_cast<unsigned char>(name.front()));
  for (const char c : name) {
    simple = simple && (isAlnum(static_cast<unsigned char>(c)) || c == '_');
  }
  if (simple) {
    return std::string(name);
  }
  std::string quoted = "`";
  for (const char c : name) {
    if (c == '`' || c == '\\') {
      quoted.push_back('\\');
    }
    quoted.push_back(c);
  }
  quoted.push_back('`');
  return quoted;
}

std::string patchPath(std::string_view document, const std::vector<std::string>& fieldPaths,
                      std::string_view stamp) {
  std::string path = "/" + std::string(document) + "?currentDocument.updateTime=" + percentEncode(stamp);
  for (const std::string& mask : fieldPaths) {
    path += "&updateMask.fieldPaths=" + percentEncode(mask);
  }
  return path;
}

nlohmann::json createCommitBody(std::string_view root, std::string_view document, nlohmann::json fields) {
  nlohmann::json write = {
      {"update",
       {{"name", std::string(root) + "/" + percentDecode(document)}, {"fields", std::move(fields)}}},
      {"currentDocument", {{"exists", false}}},
  };
  return {{"writes", nlohmann::json::array({std::move(write)})}};
}

}  // namespace sayloom::CloudProtocol
