#pragma once
// The link between the desktop and an existing cloud account. Pairing polls a callable function
// until the web application approves the pairing code and hands over a one-time custom token;
// the session exchanges it for an ID token and a refresh token, looks up the account, and keeps
// {account, refresh token} in the secret store. It then hands out ID tokens, refreshing them 60
// seconds before they are due (every new token counts as valid for 3500 seconds), with at most
// one refresh in flight; a refresh refused with 400 or 401 signs the desktop out.
//
// Error convention: failures are NativeError with the texts of core/cloud_messages.h, HTTP
// failures NativeError::http (see CloudHttp), transport failures CloudTransportError, and work
// superseded by a sign-out or a newer sign-in, or stopped through its token, throws Cancelled.
//
// Thread contract: main thread only. Operations are coroutines that interleave only at their
// awaits; every resumption after a wait re-checks the generation counter, so a sign-out during a
// pairing or a refresh never brings the credential back. Secret-store calls run one at a time on
// a private worker thread, in the order they were made.
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "app/cloud/cloud_endpoints.h"
#include "app/cloud/cloud_http.h"
#include "app/cloud/cloud_session.h"
#include "app/concurrency/serial_worker.h"
#include "app/concurrency/task_handle.h"
#include "core/firebase_profile.h"

namespace sayloom {

namespace platform {
class SecretStore;
}

struct FirebaseSessionOptions {
  // The shared network manager; the session makes its own when none is given.
  QNetworkAccessManager* network = nullptr;
  std::chrono::milliseconds requestTimeout = CloudHttp::defaultTimeout;
  std::chrono::milliseconds pairingPoll{2000};
  std::chrono::seconds pairingTimeout{300};
  // Wall clock of the token expiry, and the monotonic clock of the pairing deadline.
  std::function<std::chrono::system_clock::time_point()> now = [] {
    return std::chrono::system_clock::now();
  };
  std::function<std::chrono::steady_clock::time_point()> monotonic = [] {
    return std::chrono::steady_clock::now();
  };
};

class FirebaseSession : public QObject, public CloudSession {
  Q_OBJECT
  Q_PROPERTY(bool signedIn READ signedIn NOTIFY profileChanged)
  Q_PROPERTY(QString userId READ userId NOTIFY profileChanged)
  Q_PROPERTY(QString email READ email NOTIFY profileChanged)
  Q_PROPERTY(QString displayName READ displayName NOTIFY profileChanged)

public:
  static constexpr std::chrono::seconds tokenLifetime{3500};
  static constexpr std::chrono::seconds tokenMargin{60};

  using Options = FirebaseSessionOptions;

  explicit FirebaseSession(platform::SecretStore& store,
                           CloudEndpoints endpoints = CloudEndpoints::fromEnvironment(), Options options = {},
                           QObject* parent = nullptr);
  ~FirebaseSession() override;

  const std::optional<StoredCredential>& stored() const override { return m_stored; }
  std::optional<FirebaseProfile> profile() const;
  bool signedIn() const { return m_stored.has_value(); }
  QString userId() const;
  QString email() const;
  QString displayName() const;
  const CloudHttp& http() const { return m_http; }

  // Reads the stored credential (no token is fetched). Fails on a secret-store or decoding error.
  QCoro::Task<std::optional<FirebaseProfile>> restore();

  // Pairs with the account that approves `pairingID` in the web application (whose page the
  // caller has already opened): polls every 2 seconds for up to 300 seconds.
  QCoro::Task<FirebaseProfile> signIn(std::string pairingID, std::stop_token stop = {});

  // Forgets the account at once, then deletes the secret-store item (the only failure).
  QCoro::Task<void> signOut();

  QCoro::Task<std::string> token(std::optional<std::string> expectedUID = std::nullopt) override;
  QCoro::Task<nlohmann::json> callable(std::string name, nlohmann::json data, bool authenticated,
                                       std::optional<std::string> expectedUID = std::nullopt,
                                       std::stop_token stop = {}) override;
  QCoro::Task<nlohmann::json> firestore(std::string method, std::string path,
                                        std::optional<nlohmann::json> body, std::string uid,
                                        std::stop_token stop = {}) override;

signals:
  // The signed-in account changed (signed in, restored, signed out).
  void profileChanged();

private:
  // The one refresh in flight, awaited by every caller of `token` meanwhile.
  struct Refresh {
    TaskHandle handle;
    std::string token;
    std::exception_ptr error;
  };

  QCoro::Task<nlohmann::json> callFunction(std::string name, nlohmann::json data,
                                           std::optional<std::string> bearer, std::stop_token stop);
  QCoro::Task<void> runRefresh(std::shared_ptr<Refresh> refresh, StoredCredential credential,
                               std::uint64_t generation);
  QCoro::Task<std::string> refreshToken(StoredCredential credential, std::uint64_t generation,
                                        std::stop_token stop);

  QCoro::Task<std::optional<std::string>> readSecret();
  QCoro::Task<void> writeSecret(const StoredCredential& credential);
  QCoro::Task<void> removeSecret();

  void setSignedIn(StoredCredential credential, std::string idToken);
  void setStored(std::optional<StoredCredential> credential);

  platform::SecretStore& m_store;
  CloudEndpoints m_endpoints;
  Options m_options;
  std::unique_ptr<QNetworkAccessManager> m_ownNetwork;
  CloudHttp m_http;
  SerialWorker m_storeWorker;

  std::optional<StoredCredential> m_stored;
  std::optional<std::string> m_idToken;
  std::chrono::system_clock::time_point m_expiresAt = std::chrono::system_clock::time_point::min();
  std::uint64_t m_generation = 0;
  std::shared_ptr<Refresh> m_refresh;
};

}  // namespace sayloom
