#pragma once
// A small HTTP/1.1 server on a loopback port, inside the test process, for what the real services
// cannot be made to do on demand: answer with a chosen status, stall, cut a body short, or answer
// in something that is not HTTP at all. Each request is answered by `handler` (or by the next
// queued fault first) and recorded with its raw request target. One request per connection
// ("Connection: close").
//
// Thread contract: main thread only; it serves from the Qt event loop the code under test awaits.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <deque>
#include <functional>
#include <vector>

namespace sayloom::test {

struct HttpRequest {
  QByteArray method;
  QByteArray target;                     // as sent: path and escaped query
  QMap<QByteArray, QByteArray> headers;  // names in lower case
  QByteArray body;

  QByteArray path() const {
    return target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
  }
  // The raw values of one query parameter, in order.
  QList<QByteArray> query(const QByteArray& name) const {
    QList<QByteArray> values;
    const int mark = target.indexOf('?');
    if (mark < 0) {
      return values;
    }
    for (const QByteArray& item : target.mid(mark + 1).split('&')) {
      if (item.startsWith(name + '=')) {
        values.push_back(item.mid(name.size() + 1));
      }
    }
    return values;
  }
};

struct HttpAnswer {
  enum class Fault { none, stall, truncatedBody, notHttp };

  int status = 200;
  QByteArray body;
  Fault fault = Fault::none;

  static HttpAnswer json(int status, const QByteArray& body) { return {status, body, Fault::none}; }
  static HttpAnswer with(Fault fault) { return {200, {}, fault}; }
};

class LoopbackServer : public QObject {
public:
  LoopbackServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
      }
    });
  }

  // "127.0.0.1:<port>"
  QString hostAndPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
  QString baseUrl() const { return QStringLiteral("http://") + hostAndPort(); }

  std::function<HttpAnswer(const HttpRequest&)> handler = [](const HttpRequest&) { return HttpAnswer{}; };
  // Answers used, in order, for the next requests before `handler` is asked again.
  std::deque<HttpAnswer> queued;
  std::vector<HttpRequest> requests;

private:
  void serve(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
      return;
    }
    HttpRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> start = lines.front().trimmed().split(' ');
    request.method = start.value(0);
    request.target = start.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const int colon = lines[i].indexOf(':');
      if (colon > 0) {
        request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
      }
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() < headerEnd + 4 + length) {
      return;  // the body is still on its way
    }
    request.body = buffer.mid(headerEnd + 4, length);
    m_buffers.remove(socket);
    requests.push_back(request);

    HttpAnswer answer;
    if (!queued.empty()) {
      answer = queued.front();
      queued.pop_front();
    } else {
      answer = handler(request);
    }
    switch (answer.fault) {
      case HttpAnswer::Fault::stall:
        return;  // keeps the connection open and says nothing
      case HttpAnswer::Fault::notHttp:
        socket->write("SSH-2.0-OpenSSH_9.2\r\n");
        socket->disconnectFromHost();
        return;
      case HttpAnswer::Fault::truncatedBody:
        socket->write(
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 100\r\n\r\n{\"a\":");
        socket->disconnectFromHost();
        return;
      case HttpAnswer::Fault::none:
        break;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " " + reason(answer.status) + "\r\n";
    if (!answer.body.isEmpty()) {
      head += "Content-Type: application/json; charset=UTF-8\r\n";
    }
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n\r\n";
    socket->write(head + answer.body);
    socket->disconnectFromHost();
  }

  static QByteArray reason(int status) {
    switch (status) {
      case 200:
        return "OK";
      case 204:
        return "No Content";
      case 400:
        return "Bad Request";
      case 401:
        return "Unauthorized";
      case 403:
        return "Forbidden";
      case 404:
        return "Not Found";
      case 409:
        return "Conflict";
      case 429:
        return "Too Many Requests";
      case 500:
        return "Internal Server Error";
      case 503:
        return "Service Unavailable";
      default:
        return "Status";
    }
  }

  QTcpServer m_server;
  QMap<QTcpSocket*, QByteArray> m_buffers;
};

}  // namespace sayloom::test
