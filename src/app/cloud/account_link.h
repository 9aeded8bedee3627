#pragma once
// The account as the cloud part of the model needs it: the cloud session of the notes service,
// plus restoring, pairing and forgetting the account. `FirebaseAccountLink` is FirebaseSession behind
// it; tests put an account kept in memory there.
//
// Thread contract: main thread only.
#include <QCoroTask>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "app/cloud/cloud_endpoints.h"
#include "app/cloud/cloud_session.h"
#include "app/cloud/firebase_session.h"
#include "core/firebase_profile.h"

namespace sayloom {

namespace platform {
class SecretStore;
}

class AccountLink : public CloudSession {
public:
  // The stored account, or none; fails on a secret-store or decoding error.
  virtual QCoro::Task<std::optional<FirebaseProfile>> restore() = 0;
  // Pairs with the account that approves `pairingID` in the browser; Cancelled through `stop`.
  virtual QCoro::Task<FirebaseProfile> signIn(std::string pairingID, std::stop_token stop) = 0;
  // Forgets the account (at once in memory, then in the secret store, the only failure).
  virtual QCoro::Task<void> signOut() = 0;

  // `handler` runs whenever the session has forgotten its account, by `signOut` or by itself (a
  // refresh the token service refused), right after the account is gone from memory.
  void onSignedOut(std::function<void()> handler) { m_signedOut = std::move(handler); }

protected:
  void signedOut() const {
    if (m_signedOut) {
      m_signedOut();
    }
  }

private:
  std::function<void()> m_signedOut;
};

class FirebaseAccountLink final : public AccountLink {
public:
  // The session keeps its credential in `store`.
  explicit FirebaseAccountLink(std::unique_ptr<platform::SecretStore> store,
                               CloudEndpoints endpoints = CloudEndpoints::fromEnvironment(),
                               FirebaseSessionOptions options = {});

  // The desktop's account: the cloud of the build, or the emulators the environment names, each
  // with its own credential in the Secret Service, so the real account's tokens never reach an
  // emulator and an emulator's answers never delete them.
  static std::unique_ptr<FirebaseAccountLink> forThisDesktop();
  ~FirebaseAccountLink() override;

  const std::optional<StoredCredential>& stored() const override;
  QCoro::Task<std::string> token(std::optional<std::string> expectedUID) override;
  QCoro::Task<nlohmann::json> callable(std::string name, nlohmann::json data, bool authenticated,
                                       std::optional<std::string> expectedUID,
                                       std::stop_token stop = {}) override;
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
