#pragma once
// The shapes of the cloud's requests and answers, without any input or output: the readers of the
// identity, token, callable-function and document database answers, and the builders of the
// request paths and bodies that need escaping. Stateless; any thread.
//
// Error convention: a reader of an answer throws NativeError::message with the fixed text of the
// step (cloud_messages.h) when a member it needs is missing or of the wrong type; it never fails
// on members it does not read. `parseBody` throws the JSON parser's own error.
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/firebase_profile.h"

namespace sayloom::CloudProtocol {

// --- Answers -------------------------------------------------------------------------------

// The body of a successful answer: an empty body counts as the empty object.
nlohmann::json parseBody(std::string_view body);

// The answer itself when it is an object, else the empty object.
nlohmann::json objectOrEmpty(nlohmann::json answer);

struct TokenPair {
  std::string idToken;
  std::string refreshToken;
};

// accounts:signInWithCustomToken: "idToken" and "refreshToken" must be text (tokenExchangeFailed).
TokenPair readCustomTokenSignIn(const nlohmann::json& answer);

// accounts:lookup: "users"[0]."localId" must be text (accountLookupFailed); "email" and
// "displayName" are taken when they are text, else empty.
FirebaseProfile readAccountLookup(const nlohmann::json& answer);

// The token service: "id_token" and "refresh_token" must be text (tokenRefreshFailed).
TokenPair readTokenRefresh(const nlohmann::json& answer);

// A callable function's answer: any "error" member refuses (callableRefused); otherwise "result"
// when it is an object, else "data" when it is an object, else the empty object.
nlohmann::json readCallable(const nlohmann::json& answer);

// The pairing function's result: its "customToken" when that is non-empty text.
std::optional<std::string> readCustomToken(const nlohmann::json& result);

struct DocumentPage {
  std::vector<nlohmann::json> documents;  // the objects among "documents"
  std::string nextPageToken;              // empty on the last page
};

// One page of a collection listing. An answer of any other shape is an empty last page.
DocumentPage readDocumentPage(const nlohmann::json& answer);

// --- Requests ------------------------------------------------------------------------------

// Documents per listing request.
inline constexpr int pageSize = 300;

// Every byte except the ASCII letters and digits as %XX (upper-case hexadecimal).
std::string percentEncode(std::string_view text);
// Every %XX turned back into its byte; a "%" not followed by two hexadecimal digits stays.
std::string percentDecode(std::string_view text);

// The token service's form body: grant_type=refresh_token&refresh_token=<token>, with the token
// escaped except for the unreserved characters (letters, digits, "-", ".", "_", "~").
std::string refreshForm(std::string_view refreshToken);

// "/" + collection + "?pageSize=300", and "&pageToken=" + the escaped token when there is one.
std::string listPath(std::string_view collection, std::string_view pageToken);

// A field name as a field path: unchanged when it is a simple name (a letter or "_", then
// letters, digits or "_"), else in back quotes with "`" and "\" escaped by a backslash.
std::string fieldPath(std::string_view name);

// "/" + document + "?currentDocument.updateTime=" + the escaped stamp, then one
// "&updateMask.fieldPaths=" + the escaped field path per field path (see `fieldPath`).
std::string patchPath(std::string_view document, const std::vector<std::string>& fieldPaths,
                      std::string_view stamp);

// The ":commit" body that creates `document` (relative to `root`) with typed `fields`, refused by
// the database when the document already exists. `document` is the escaped path of the request
// address; the resource name in the body is read as it stands, so it carries the identifiers
// unescaped, naming the same document the address names.
nlohmann::json createCommitBody(std::string_view root, std::string_view document, nlohmann::json fields);

}  // namespace sayloom::CloudProtocol
