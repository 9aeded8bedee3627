#pragma once
// The request layer every cloud call shares: one HTTP(S) exchange through the shared
// QNetworkAccessManager with a per-request time limit, the status rules, and JSON in and out.
// TLS verification is Qt's default (on).
//
// Error convention of `send`:
//   - a status outside 200 to 299: NativeError::http(status), the body unread;
//   - no HTTP answer from a peer that was reached (it closed the connection without a status
//     line, or answered in another protocol): NativeError::http(0);
//   - nothing received within the time limit: CloudTransportError with the user's text
//     messages::requestTimedOut;
//   - any other transport failure (no route, refused connection, TLS failure, a body cut short):
//     CloudTransportError with Qt's description;
//   - a 2xx body that is not JSON: the JSON parser's error;
//   - `stop` signalled: Cancelled (the request is aborted).
//
// Thread contract: main thread only (the network manager's thread); no state of its own beyond
// the manager and the time limit, so any number of requests may run at once.
#include <QByteArray>
#include <QCoroTask>
#include <QNetworkRequest>
#include <QUrl>
#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>

class QNetworkAccessManager;

namespace sayloom {

class CloudTransportError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class CloudHttp {
public:
  // A request that receives nothing for this long fails.
  static constexpr std::chrono::milliseconds defaultTimeout{45'000};

  explicit CloudHttp(QNetworkAccessManager& network, std::chrono::milliseconds timeout = defaultTimeout);

  std::chrono::milliseconds timeout() const { return m_timeout; }

  // A request to `url` with header "Authorization: Bearer <token>" when a token is given, and
  // "Content-Type: <contentType>" when one is given.
  static QNetworkRequest prepare(const QUrl& url, const std::optional<std::string>& token,
                                 const char* contentType = nullptr);

  // Performs one exchange with `method` and `body` (none for an empty body) and returns the
  // parsed answer; an empty 2xx body is the empty object.
  QCoro::Task<nlohmann::json> send(QNetworkRequest request, QByteArray method, QByteArray body = {},
                                   std::stop_token stop = {}) const;

  // POSTs `body` as JSON to `url` (with the bearer token when given) and returns the answer as an
  // object: valid JSON that is not an object is the empty object.
  QCoro::Task<nlohmann::json> request(QUrl url, nlohmann::json body, std::optional<std::string> token,
                                      std::stop_token stop = {}) const;

private:
  QNetworkAccessManager* m_network;
  std::chrono::milliseconds m_timeout;
};

}  // namespace sayloom
