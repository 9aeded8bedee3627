#include "app/cloud/cloud_http.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <memory>

#include "app/concurrency/reply_finished.h"
#include "core/cloud_messages.h"
#include "core/cloud_protocol.h"
#include "core/native_error.h"

namespace sayloom {

namespace {

struct DeleteLater {
  void operator()(QNetworkReply* reply) const { reply->deleteLater(); }
};

// Qt's outcomes of an exchange that reached the peer but brought no HTTP answer: the peer closed
// the connection without a status line (Qt has already sent the request a second time by then),
// or said something Qt could not read as HTTP.
bool notHttp(QNetworkReply::NetworkError error) {
  return error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError ||
         error == QNetworkReply::ProtocolFailure || error == QNetworkReply::ProtocolUnknownError;
}

}  // namespace

CloudHttp::CloudHttp(QNetworkAccessManager& network, std::chrono::milliseconds timeout)
    : m_network(&network), m_timeout(timeout) {}

QNetworkRequest CloudHttp::prepare(const QUrl& url, const std::optional<std::string>& token,
                                   const char* contentType) {
  QNetworkRequest request(url);
  if (token) {
    request.setRawHeader("Authorization", "Bearer " + QByteArray::fromStdString(*token));
  }
  if (contentType != nullptr) {
    request.setRawHeader("Content-Type", contentType);
  }
  return request;
}

QCoro::Task<nlohmann::json> CloudHttp::send(QNetworkRequest request, QByteArray method, QByteArray body,
                                            std::stop_token stop) const {
  if (stop.stop_requested()) {
    throw Cancelled();
  }
  request.setTransferTimeout(static_cast<int>(m_timeout.count()));
  const std::unique_ptr<QNetworkReply, DeleteLater> reply(
      m_network->sendCustomRequest(request, method, body));
  co_await replyFinished(reply.get(), stop);
  if (stop.stop_requested()) {
    throw Cancelled();
  }

  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (status.isValid()) {
    const int code = status.toInt();
    if (code < 200 || code > 299) {
      throw NativeError::http(code);
    }
  } else if (notHttp(reply->error())) {
    throw NativeError::http(0);
  }
  // Nothing stopped it, so a cancelled exchange ran out of its time limit.
  if (reply->error() == QNetworkReply::OperationCanceledError ||
      reply->error() == QNetworkReply::TimeoutError) {
    throw CloudTransportError(messages::requestTimedOut);
  }
  if (reply->error() != QNetworkReply::NoError) {
    throw CloudTransportError(reply->errorString().toStdString());
  }
  const QByteArray answer = reply->readAll();
  co_return CloudProtocol::parseBody(
      std::string_view(answer.constData(), static_cast<std::size_t>(answer.size())));
}

QCoro::Task<nlohmann::json> CloudHttp::request(QUrl url, nlohmann::json body,
                                               std::optional<std::string> token, std::stop_token stop) const {
  QNetworkRequest prepared = prepare(url, token, "application/json");
  nlohmann::json answer =
      co_await send(std::move(prepared), "POST", QByteArray::fromStdString(body.dump()), stop);
  co_return CloudProtocol::objectOrEmpty(std::move(answer));
}

}  // namespace sayloom
