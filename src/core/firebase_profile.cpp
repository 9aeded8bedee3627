#include "core/firebase_profile.h"

#include "core/json_fields.h"

namespace sayloom {

void to_json(nlohmann::json& out, const FirebaseProfile& profile) {
  out = {{"userId", profile.userId}, {"email", profile.email}, {"displayName", profile.displayName}};
}

void from_json(const nlohmann::json& in, FirebaseProfile& profile) {
  profile.userId = json::requiredString(in, "userId");
  profile.email = json::requiredString(in, "email");
  profile.displayName = json::requiredString(in, "displayName");
}

void to_json(nlohmann::json& out, const StoredCredential& credential) {
  out = {{"profile", credential.profile}, {"refreshToken", credential.refreshToken}};
}

void from_json(const nlohmann::json& in, StoredCredential& credential) {
  credential.profile = json::requiredMember(in, "profile").get<FirebaseProfile>();
  credential.refreshToken = json::requiredString(in, "refreshToken");
}

std::string encodeCredential(const StoredCredential& credential) { return nlohmann::json(credential).dump(); }

StoredCredential decodeCredential(std::string_view bytes) {
  return nlohmann::json::parse(bytes).get<StoredCredential>();
}

}  // namespace sayloom
