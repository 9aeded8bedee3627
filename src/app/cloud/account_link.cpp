// FirebaseSession as the account of the model's cloud part.
#include "app/cloud/account_link.h"

#include "app/cloud/firebase_session.h"
#include "platform/secret_store.h"

namespace sayloom {

FirebaseAccountLink::FirebaseAccountLink(std::unique_ptr<platform::SecretStore> store,
                                         CloudEndpoints endpoints, FirebaseSessionOptions options)
    : m_store(std::move(store)),
      m_session(std::make_unique<FirebaseSession>(*m_store, std::move(endpoints), std::move(options))) {
  QObject::connect(m_session.get(), &FirebaseSession::profileChanged, m_session.get(), [this] {
    if (!m_session->signedIn()) {
      signedOut();
    }
  });
}

std::unique_ptr<FirebaseAccountLink> FirebaseAccountLink::forThisDesktop() {
  CloudEndpoints endpoints = CloudEndpoints::fromEnvironment();
  platform::LibsecretStore::Item item = platform::LibsecretStore::credentialItem();
  if (endpoints.emulated) {
    item.account += "-emulator";
    item.label += " (emulator)";
  }
  return std::make_unique<FirebaseAccountLink>(std::make_unique<platform::LibsecretStore>(std::move(item)),
                                               std::move(endpoints));
}

FirebaseAccountLink::~FirebaseAccountLink() = default;

const std::optional<StoredCredential>& FirebaseAccountLink::stored() const { return m_session->stored(); }

QCoro::Task<std::string> FirebaseAccountLink::token(std::optional<std::string> expectedUID) {
  return m_session->token(std::move(expectedUID));
}

QCoro::Task<nlohmann::json> FirebaseAccountLink::callable(std::string name, nlohmann::json data,
                                                          bool authenticated,
                                                          std::optional<std::string> expectedUID,
                                                          std::stop_token stop) {
  return m_session->callable(std::move(name), std::move(data), authenticated, std::move(expectedUID),
                             std::move(stop));
}

QCoro::Task<nlohmann::json> FirebaseAccountLink::firestore(std::string method, std::string path,
                                                           std::optional<nlohmann::json> body,
                                                           std::string uid, std::stop_token stop) {
  return m_session->firestore(std::move(method), std::move(path), std::move(body), std::move(uid),
                              std::move(stop));
}

QCoro::Task<std::optional<FirebaseProfile>> FirebaseAccountLink::restore() { return m_session->restore(); }

QCoro::Task<FirebaseProfile> FirebaseAccountLink::signIn(std::string pairingID, std::stop_token stop) {
  return m_session->signIn(std::move(pairingID), std::move(stop));
}

QCoro::Task<void> FirebaseAccountLink::signOut() { return m_session->signOut(); }

}  // namespace sayloom
