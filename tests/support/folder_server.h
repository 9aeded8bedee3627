#pragma once
// A real HTTP server on loopback for tests: Python's http.server serving a folder in a child
// process, over TLS with a certificate made by openssl when a test asks (a self-signed one, which
// nobody vouches for unless a test trusts it itself).
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <filesystem>
#include <string>

namespace sayloom::test {

// Makes a self-signed certificate for 127.0.0.1 at `certificate` (PEM), its key beside it in
// "<certificate>.key"; a failure carries openssl's complaint.
inline ::testing::AssertionResult makeSelfSignedCertificate(const std::filesystem::path& certificate) {
  QProcess openssl;
  openssl.start(QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                 QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                 QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                 QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                 QStringLiteral("-keyout"), QString::fromStdString(certificate.string() + ".key"),
                 QStringLiteral("-out"), QString::fromStdString(certificate.string())});
  if (openssl.waitForFinished(60'000) && openssl.exitCode() == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "openssl: " << openssl.readAllStandardError().toStdString();
}

class FolderServer {
public:
  // With `certificate` (a PEM file, its key beside it in "<certificate>.key") the server speaks TLS.
  explicit FolderServer(const std::filesystem::path& folder, const std::filesystem::path& certificate = {}) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    m_port = probe.serverPort();
    probe.close();
    m_scheme = certificate.empty() ? "http" : "https";
    const char* script = R"(
import functools, http.server, ssl, sys
port, folder, certificate = int(sys.argv[1]), sys.argv[2], sys.argv[3]
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=folder)
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
if certificate:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, certificate + ".key")
    server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
)";
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments({QStringLiteral("-c"), QString::fromUtf8(script), QString::number(m_port),
                            QString::fromStdString(folder.string()),
                            QString::fromStdString(certificate.string())});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    m_process.waitForStarted();
    const bool listening = QTest::qWaitFor(
        [&] {
          QTcpSocket socket;
          socket.connectToHost(QHostAddress::LocalHost, m_port);
          return socket.waitForConnected(200);
        },
        20'000);
    EXPECT_TRUE(listening) << "the HTTP server did not start";
  }
  ~FolderServer() {
    m_process.terminate();
    m_process.waitForFinished(5'000);
  }
  FolderServer(const FolderServer&) = delete;
  FolderServer& operator=(const FolderServer&) = delete;

  std::string url(const char* path) const {
    return m_scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
  }

private:
  quint16 m_port = 0;
  std::string m_scheme;
  QProcess m_process;
};

}  // namespace sayloom::test
