#pragma once
// The signed-in account as the desktop shows it, and the credential that survives a restart (the
// account plus its latest refresh token), with their JSON form. Plain values; any thread.
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace sayloom {

struct FirebaseProfile {
  std::string userId;       // the identity service's `localId`
  std::string email;        // empty when the account has none
  std::string displayName;  // empty when the account has none

  bool operator==(const FirebaseProfile&) const = default;
};

struct StoredCredential {
  FirebaseProfile profile;
  std::string refreshToken;

  bool operator==(const StoredCredential&) const = default;
};

// Every key is required and must be text; anything else throws json::JsonFieldError.
void to_json(nlohmann::json& out, const FirebaseProfile& profile);
void from_json(const nlohmann::json& in, FirebaseProfile& profile);
void to_json(nlohmann::json& out, const StoredCredential& credential);
void from_json(const nlohmann::json& in, StoredCredential& credential);

// The bytes kept in the secret store, and back. Decoding throws the JSON parser's error for text
// that is not JSON and json::JsonFieldError for a document of the wrong shape.
std::string encodeCredential(const StoredCredential& credential);
StoredCredential decodeCredential(std::string_view bytes);

}  // namespace sayloom
