// FirebaseSession as the account of the model's cloud part.
#include "app/cloud/account_session.h"

#include "app/cloud/firebase_session.h"
#include "platform/secret_store.h"

namespace sayloom {

FirebaseAccount::FirebaseAccount(std::unique_ptr<platform::SecretStore> store, CloudEndpoints endpoints,
                                 FirebaseSessionOptions options)
    : m_store(std::move(store)),
      m_session(std::make_unique<FirebaseSession>(*m_store, std::move(endpoints), std::move(options))) {
  QObject::connect(m_session.get(), &FirebaseSession::profileChanged, m_session.get(), [this] {
    if (!m_session->signedIn()) {
      signedOut();
    }
  });
}

std::unique_ptr<FirebaseAccount> FirebaseAccount::forThisDesktop() {
  CloudEndpoints endpoints = CloudEndpoints::fromEnvironment();
  platform::LibsecretStore::Item item = platform::LibsecretStore::credentialItem();
  if (endpoints.emulated) {
    item.account += "-emulator";
    item.label += " (emulator)";
  }
  return std::make_unique<FirebaseAccount>(std::make_unique<platform::LibsecretStore>(std::move(item)),
                                           std::move(endpoints));
}

FirebaseAccount::~FirebaseAccount() = default;

const std::optional<StoredCredential>& FirebaseAccount::stored() const { return m_session->stored(); }

QCoro::Task<std::string> FirebaseAccount::token(std::optional<std::string> expectedUID) {
  return m_session->token(std::move(expectedUID));
}

QCoro::Task<nlohmann::json> FirebaseAccount::callable(std::string name, nlohmann::json data,
                                                      bool authenticated,
                                                      std::optional<std::string> expectedUID,
                                                      std::stop_token stop) {
  return m_session->callable(std::move(name), std::move(data), authenticated, std::move(expectedUID),
                             std::move(stop));
}

QCoro::Task<nlohmann::json> FirebaseAccount::firestore(std::string method, std::string path,
                                                       std::optional<nlohmann::json> body, std::string uid,
                                                       std::stop_token stop) {
  return m_session->firestore(std::move(method), std::move(path), std::move(body), std::move(uid),
                              std::move(stop));
}

QCoro::Task<std::optional<FirebaseProfile>> FirebaseAccount::restore() { return m_session->restore(); }

QCoro::Task<FirebaseProfile> FirebaseAccount::signIn(std::string pairingID, std::stop_token stop) {
  return m_session->signIn(std::move(pairingID), std::move(stop));
}

QCoro::Task<void> FirebaseAccount::signOut() { return m_session->signOut(); }

}  // namespace sayloom
