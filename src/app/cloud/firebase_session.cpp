#include "app/cloud/firebase_session.h"

#include <QCoroTimer>
#include <QTimer>

#include "core/cloud_messages.h"
#include "core/cloud_protocol.h"
#include "core/native_error.h"
#include "platform/secret_store.h"

namespace sayloom {

namespace {

using platform::SecretStoreError;

// A refresh the token service refused: the refresh token was revoked or is invalid.
bool refreshRefused(const std::exception_ptr& error) {
  if (!error) {
    return false;
  }
  try {
    std::rethrow_exception(error);
  } catch (const NativeError& native) {
    return native.isHttpStatus({400, 401});
  } catch (...) {
    return false;
  }
}

// Waits `delay`, or less when `stop` is signalled, which throws Cancelled.
QCoro::Task<void> sleepFor(std::chrono::milliseconds delay, std::stop_token stop) {
  QTimer timer;
  timer.setSingleShot(true);
  const std::stop_callback wake(stop, [&timer] {
    QMetaObject::invokeMethod(
        &timer, [&timer] { timer.start(0); }, Qt::QueuedConnection);
  });
  timer.start(delay);
  co_await timer;
  if (stop.stop_requested()) {
    throw Cancelled();
  }
}

QString text(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

FirebaseSession::FirebaseSession(platform::SecretStore& store, CloudEndpoints endpoints, Options options,
                                 QObject* parent)
    : QObject(parent),
      m_store(store),
      m_endpoints(std::move(endpoints)),
      m_options(std::move(options)),
      m_ownNetwork(m_options.network == nullptr ? std::make_unique<QNetworkAccessManager>() : nullptr),
      m_http(m_options.network != nullptr ? *m_options.network : *m_ownNetwork, m_options.requestTimeout) {}

FirebaseSession::~FirebaseSession() {
  ++m_generation;  // a refresh that ends during the cancel below leaves the session alone
  if (m_refresh) {
    m_refresh->handle.cancel();
  }
}

std::optional<FirebaseProfile> FirebaseSession::profile() const {
  if (!m_stored) {
    return std::nullopt;
  }
  return m_stored->profile;
}

QString FirebaseSession::userId() const { return m_stored ? text(m_stored->profile.userId) : QString(); }
QString FirebaseSession::email() const { return m_stored ? text(m_stored->profile.email) : QString(); }
QString FirebaseSession::displayName() const {
  return m_stored ? text(m_stored->profile.displayName) : QString();
}

void FirebaseSession::setStored(std::optional<StoredCredential> credential) {
  const bool changed = profile() != (credential ? std::optional(credential->profile) : std::nullopt);
  m_stored = std::move(credential);
  if (changed) {
    emit profileChanged();
  }
}

void FirebaseSession::setSignedIn(StoredCredential credential, std::string idToken) {
  m_idToken = std::move(idToken);
  m_expiresAt = m_options.now() + tokenLifetime;
  setStored(std::move(credential));
}

QCoro::Task<std::optional<FirebaseProfile>> FirebaseSession::restore() {
  const std::optional<std::string> secret = co_await readSecret();
  if (!secret) {
    co_return std::nullopt;
  }
  StoredCredential credential = decodeCredential(*secret);
  FirebaseProfile profile = credential.profile;
  setStored(std::move(credential));
  co_return profile;
}

QCoro::Task<FirebaseProfile> FirebaseSession::signIn(std::string pairingID, std::stop_token stop) {
  const std::uint64_t generation = ++m_generation;
  const auto deadline = m_options.monotonic() + m_options.pairingTimeout;
  std::string customToken;
  while (customToken.empty()) {
    if (m_options.monotonic() > deadline) {
      throw NativeError::message(messages::pairingExpired);
    }
    if (stop.stop_requested()) {
      throw Cancelled();
    }
    co_await sleepFor(m_options.pairingPoll, stop);
    if (m_generation != generation) {
      throw Cancelled();  // a sign-out or a newer sign-in took over
    }
    try {
      nlohmann::json claim = {{"uuid", pairingID}};
      const nlohmann::json result =
          co_await callFunction("claimDesktopPairing", std::move(claim), std::nullopt, stop);
      customToken = CloudProtocol::readCustomToken(result).value_or("");
    } catch (const NativeError& error) {
      if (!error.isHttpStatus({400, 404, 409})) {
        throw;  // only "not approved yet" keeps polling
      }
    }
  }

  // (Bodies are named outside the co_await expressions: GCC 12 mishandles braced temporaries there.)
  nlohmann::json exchangeBody = {{"token", customToken}, {"returnSecureToken", true}};
  const nlohmann::json exchange = co_await m_http.request(m_endpoints.identity("signInWithCustomToken"),
                                                          std::move(exchangeBody), std::nullopt, stop);
  CloudProtocol::TokenPair tokens = CloudProtocol::readCustomTokenSignIn(exchange);
  nlohmann::json lookupBody = {{"idToken", tokens.idToken}};
  const nlohmann::json lookup =
      co_await m_http.request(m_endpoints.identity("lookup"), std::move(lookupBody), std::nullopt, stop);
  FirebaseProfile profile = CloudProtocol::readAccountLookup(lookup);
  if (stop.stop_requested() || m_generation != generation) {
    throw Cancelled();
  }

  StoredCredential credential{profile, std::move(tokens.refreshToken)};
  co_await writeSecret(credential);
  if (m_generation != generation) {
    throw Cancelled();  // signed out while writing: the sign-out's delete runs after the write
  }
  setSignedIn(std::move(credential), std::move(tokens.idToken));
  co_return profile;
}

QCoro::Task<void> FirebaseSession::signOut() {
  ++m_generation;
  if (m_refresh) {
    m_refresh->handle.cancel();
    m_refresh.reset();
  }
  m_idToken.reset();
  m_expiresAt = std::chrono::system_clock::time_point::min();
  setStored(std::nullopt);
  co_await removeSecret();
}

QCoro::Task<std::string> FirebaseSession::token(std::optional<std::string> expectedUID) {
  if (!m_stored || (expectedUID && *expectedUID != m_stored->profile.userId)) {
    throw NativeError::message(messages::wrongAccount);
  }
  // (Copies: QCoro's Task moves from any lvalue that is co_returned.)
  if (m_idToken && m_expiresAt > m_options.now() + tokenMargin) {
    co_return std::string(*m_idToken);
  }
  std::shared_ptr<Refresh> refresh = m_refresh;
  if (!refresh) {
    refresh = std::make_shared<Refresh>();
    m_refresh = refresh;
    refresh->handle.attach(runRefresh(refresh, *m_stored, m_generation));
  }
  co_await refresh->handle.waitForEnd();
  if (refresh->error) {
    std::rethrow_exception(refresh->error);
  }
  co_return std::string(refresh->token);
}

QCoro::Task<void> FirebaseSession::runRefresh(std::shared_ptr<Refresh> refresh, StoredCredential credential,
                                              std::uint64_t generation) {
  try {
    refresh->token = co_await refreshToken(std::move(credential), generation, refresh->handle.token());
  } catch (...) {
    refresh->error = std::current_exception();
  }
  if (m_generation != generation) {
    co_return;  // a sign-out already dropped this refresh
  }
  m_refresh.reset();
  if (refreshRefused(refresh->error)) {
    try {
      co_await signOut();
    } catch (...) {
      refresh->error = std::current_exception();
    }
  }
}

QCoro::Task<std::string> FirebaseSession::refreshToken(StoredCredential credential, std::uint64_t generation,
                                                       std::stop_token stop) {
  QNetworkRequest request =
      CloudHttp::prepare(m_endpoints.token(), std::nullopt, "application/x-www-form-urlencoded");
  const QByteArray form = QByteArray::fromStdString(CloudProtocol::refreshForm(credential.refreshToken));
  const nlohmann::json answer = co_await m_http.send(std::move(request), "POST", form, stop);
  CloudProtocol::TokenPair tokens = CloudProtocol::readTokenRefresh(answer);
  if (m_generation != generation) {
    throw Cancelled();
  }
  credential.refreshToken = std::move(tokens.refreshToken);
  co_await writeSecret(credential);
  if (m_generation != generation) {
    throw Cancelled();  // signed out while writing: the sign-out's delete runs after the write
  }
  std::string idToken = tokens.idToken;
  setSignedIn(std::move(credential), std::move(tokens.idToken));
  co_return idToken;
}

QCoro::Task<nlohmann::json> FirebaseSession::callable(std::string name, nlohmann::json data,
                                                      bool authenticated,
                                                      std::optional<std::string> expectedUID,
                                                      std::stop_token stop) {
  std::optional<std::string> bearer;
  if (authenticated) {
    bearer = co_await token(std::move(expectedUID));
  }
  co_return co_await callFunction(std::move(name), std::move(data), std::move(bearer), std::move(stop));
}

QCoro::Task<nlohmann::json> FirebaseSession::callFunction(std::string name, nlohmann::json data,
                                                          std::optional<std::string> bearer,
                                                          std::stop_token stop) {
  nlohmann::json body = {{"data", std::move(data)}};
  const nlohmann::json answer =
      co_await m_http.request(m_endpoints.function(name), std::move(body), std::move(bearer), stop);
  co_return CloudProtocol::readCallable(answer);
}

QCoro::Task<nlohmann::json> FirebaseSession::firestore(std::string method, std::string path,
                                                       std::optional<nlohmann::json> body, std::string uid,
                                                       std::stop_token stop) {
  std::string bearer = co_await token(std::move(uid));
  QNetworkRequest request =
      CloudHttp::prepare(m_endpoints.document(path), std::move(bearer), body ? "application/json" : nullptr);
  const QByteArray bytes = body ? QByteArray::fromStdString(body->dump()) : QByteArray();
  co_return co_await m_http.send(std::move(request), QByteArray::fromStdString(method), bytes,
                                 std::move(stop));
}

QCoro::Task<std::optional<std::string>> FirebaseSession::readSecret() {
  platform::SecretStore* store = &m_store;
  auto work = [store] { return store->read(); };
  try {
    co_return co_await m_storeWorker.run(std::move(work));
  } catch (const SecretStoreError& error) {
    throw NativeError::message(messages::secretReadFailed(error.code()));
  }
}

QCoro::Task<void> FirebaseSession::writeSecret(const StoredCredential& credential) {
  platform::SecretStore* store = &m_store;
  auto work = [store, secret = encodeCredential(credential)] { store->write(secret); };
  try {
    co_await m_storeWorker.run(std::move(work));
  } catch (const SecretStoreError& error) {
    throw NativeError::message(messages::secretWriteFailed(error.code()));
  }
}

QCoro::Task<void> FirebaseSession::removeSecret() {
  platform::SecretStore* store = &m_store;
  auto work = [store] { store->remove(); };
  try {
    co_await m_storeWorker.run(std::move(work));
  } catch (const SecretStoreError& error) {
    throw NativeError::message(messages::secretDeleteFailed(error.code()));
  }
}

}  // namespace sayloom
