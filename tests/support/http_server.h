#pragma once
// A minimal HTTP/1.1 server on loopback for tests, answered from the test's Qt event loop (wait
// with QTest::qWaitFor, not a blocking call, while a client talks to it): one answer per
// connection, then the connection is closed, unless the route stalls after part of its body (the
// connection then stays open and silent). Unknown paths get 404.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>

namespace sayloom::test {

class HttpServer {
public:
  struct Route {
    Route(int status, QByteArray body, qsizetype stallAfter = -1, QByteArray location = {})
        : status(status), body(std::move(body)), stallAfter(stallAfter), location(std::move(location)) {}
    int status;
    QByteArray body;
    qsizetype stallAfter;
    QByteArray location;
  };

  HttpServer() {
    EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
      }
    });
  }

  void route(const QByteArray& path, Route route) { m_routes.insert_or_assign(path, std::move(route)); }
  QString url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
  }
  int requests() const { return m_requests; }

private:
  void read(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
      return;
    }
    ++m_requests;
    const QByteArray path = buffer.left(buffer.indexOf("\r\n")).split(' ').value(1);
    m_buffers.erase(socket);
    const auto it = m_routes.find(path);
    const Route route = it != m_routes.end() ? it->second : Route{404, "not here"};
    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) +
                      " Status\r\nContent-Length: " + QByteArray::number(route.body.size()) +
                      "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
    if (!route.location.isEmpty()) {
      head += "Location: " + route.location + "\r\n";
    }
    socket->write(head + "\r\n");
    if (route.stallAfter >= 0) {
      socket->write(route.body.left(route.stallAfter));
      return;
    }
    socket->write(route.body);
    socket->disconnectFromHost();
  }

  QTcpServer m_server;
  std::map<QByteArray, Route> m_routes;
  std::map<QTcpSocket*, QByteArray> m_buffers;
  int m_requests = 0;
};

}  // namespace sayloom::test
