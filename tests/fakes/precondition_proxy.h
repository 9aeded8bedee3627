#pragma once
// A loopback proxy in front of the Firestore emulator that mends the emulator's one known fault:
// it reads the `currentDocument.updateTime` precondition of a PATCH as 0, refusing every patch of
// an existing document. The proxy passes every request through unchanged, except such a PATCH,
// which it sends as the equivalent `:commit` (one write with the same fields, the same update mask
// and the precondition in the body, which the emulator honours) and answers, like the service,
// with the patched document. Requests go to the emulator over HTTP/1.0, so its answers are never
// chunked.
//
// Thread contract: main thread only (see LoopbackServer); each request blocks the test's event
// loop until the emulator has answered, which keeps the proxy free of state.
#include <QTcpSocket>
#include <QUrl>
#include <nlohmann/json.hpp>
#include <string>

#include "core/cloud_config.h"
#include "fakes/loopback_server.h"

namespace sayloom::test {

class PreconditionProxy {
public:
  // `emulator` is "host:port" (the FIRESTORE_EMULATOR_HOST form).
  explicit PreconditionProxy(QString emulator) : m_emulator(std::move(emulator)) {
    server.handler = [this](const HttpRequest& request) { return answer(request); };
  }

  // The base address to use in place of the Firestore endpoint.
  QString endpoint() const { return server.baseUrl() + QStringLiteral("/v1"); }

  LoopbackServer server;

private:
  using json = nlohmann::json;

  HttpAnswer answer(const HttpRequest& request) {
    const QList<QByteArray> stamp = request.query("currentDocument.updateTime");
    if (request.method != "PATCH" || stamp.isEmpty()) {
      return forward(request.method, request.target, request.headers.value("authorization"), request.body);
    }
    const std::string prefix = "/v1/" + std::string(CloudConfig::root) + "/";
    const std::string document =
        QUrl::fromPercentEncoding(request.path()).toStdString().substr(prefix.size());
    json paths = json::array();
    for (const QByteArray& mask : request.query("updateMask.fieldPaths")) {
      paths.push_back(QByteArray::fromPercentEncoding(mask).toStdString());
    }
    const json body = json::parse(request.body.toStdString(), nullptr, false);
    json write = {
        {"update",
         {{"name", std::string(CloudConfig::root) + "/" + document},
          {"fields", body.is_object() ? body.value("fields", json::object()) : json::object()}}},
        {"currentDocument", {{"updateTime", QByteArray::fromPercentEncoding(stamp.front()).toStdString()}}}};
    if (!paths.empty()) {
      write["updateMask"] = {{"fieldPaths", paths}};
    }
    const QByteArray authorization = request.headers.value("authorization");
    const HttpAnswer committed =
        forward("POST", QByteArray::fromStdString("/v1/" + std::string(CloudConfig::root) + ":commit"),
                authorization, QByteArray::fromStdString(json{{"writes", json::array({write})}}.dump()));
    if (committed.status != 200) {
      return committed;
    }
    return forward("GET", request.path(), authorization, {});
  }

  // Sends one request to the emulator and waits for its whole answer.
  HttpAnswer forward(const QByteArray& method, const QByteArray& target, const QByteArray& authorization,
                     const QByteArray& body) const {
    const int colon = static_cast<int>(m_emulator.lastIndexOf(u':'));
    QTcpSocket socket;
    socket.connectToHost(m_emulator.left(colon), m_emulator.mid(colon + 1).toUShort());
    if (!socket.waitForConnected(10'000)) {
      return HttpAnswer::json(502, {});
    }
    QByteArray head = method + " " + target + " HTTP/1.0\r\nHost: " + m_emulator.toUtf8() + "\r\n";
    if (!authorization.isEmpty()) {
      head += "Authorization: " + authorization + "\r\n";
    }
    if (!body.isEmpty()) {
      head += "Content-Type: application/json\r\n";
    }
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    socket.write(head + body);
    // The answer ends where its length says, or when the emulator closes the connection.
    QByteArray reply;
    int headerEnd = -1;
    qsizetype length = -1;
    while (length < 0 || reply.size() < headerEnd + 4 + length) {
      if (!socket.waitForReadyRead(30'000)) {
        break;
      }
      reply += socket.readAll();
      headerEnd = static_cast<int>(reply.indexOf("\r\n\r\n"));
      if (headerEnd >= 0 && length < 0) {
        for (const QByteArray& line : reply.left(headerEnd).split('\n')) {
          if (line.toLower().startsWith("content-length:")) {
            length = line.mid(15).trimmed().toLongLong();
          }
        }
      }
    }
    if (headerEnd < 0) {
      return HttpAnswer::json(502, {});
    }
    const int status = reply.left(reply.indexOf("\r\n")).split(' ').value(1).toInt();
    return HttpAnswer::json(status, reply.mid(headerEnd + 4));
  }

  QString m_emulator;
};

}  // namespace sayloom::test
