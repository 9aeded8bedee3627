#pragma once
// The account as the cloud part of the model needs it: the cloud session of the notes service,
// plus restoring, pairing and forgetting the account. `FirebaseAccount` is FirebaseSession behind
// it; tests put an account kept in memory there.
//
// Thread contract: main thread only.
#include <QCoroTask>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "app/cloud/cloud_endpoints.h"
#include "app/cloud/cloud_session.h"
#include "core/firebase_profile.h"

namespace sayloom {

class FirebaseSession;

namespace platform {
class SecretStore;
}

class AccountSession : public CloudSession {
public:
  // The stored account, or none; fails on a secret-store or decoding error.
  virtual QCoro::Task<std::optional<FirebaseProfile>> restore() = 0;
  // Pairs with the account that approves `pairingID` in the browser; Cancelled through `stop`.
  virtual QCoro::Task<FirebaseProfile> signIn(std::string pairingID, std::stop_token stop) = 0;
  // Forgets the account (at once in memory, then in the secret store, the only failure).
  virtual QCoro::Task<void> signOut() = 0;
};

class FirebaseAccount final : public AccountSession {
public:
  // The session keeps its credential in `store`.
  explicit FirebaseAccount(std::unique_ptr<platform::SecretStore> store,
                           CloudEndpoints endpoints = CloudEndpoints::fromEnvironment());
  ~FirebaseAccount() override;

  const std::optional<StoredCredential>& stored() const override;
  QCoro::Task<std::string> token(std::optional<std::string> expectedUID) override;
  QCoro::Task<nlohmann::json> callable(std::string name, nlohmann::json data, bool authenticated,
                                       std::optional<std::string> expectedUID, std::stop_token stop = {}) override;
  QCoro::Task<nlohmann::json> firestore(std::string method, std::string path,
                                        std::optional<nlohmann::json> body, std::string uid,
                                        std::stop_token stop = {}) override;
  QCoro::Task<std::optional<FirebaseProfile>> restore() override;
  QCoro::Task<FirebaseProfile> signIn(std::string pairingID, std::stop_token stop) override;
  QCoro::Task<void> signOut() override;

private:
  std::unique_ptr<platform::SecretStore> m_store;
  std::unique_ptr<FirebaseSession> m_session;
};

}  // namespace sayloom
