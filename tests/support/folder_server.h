#pragma once
// A real HTTP server on loopback for tests: Python's http.server serving a folder in a child
// process, over TLS with a certificate made by openssl when a test asks (a self-signed one, which
// nobody vouches for unless a test trusts it itself).
#include <gtest/gtest.h>

#include <QProcess>
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
    m_scheme = certificate.empty() ? "http" : "https";
    // The server takes a free port itself and says which: a port chosen here and released would
    // be free for anyone else until the server bound it.
    const char* script = R"(
import functools, http.server, ssl, sys
folder, certificate = sys.argv[1], sys.argv[2]
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=folder)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
if certificate:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, certificate + ".key")
    server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
)";
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments({QStringLiteral("-c"), QString::fromUtf8(script),
                            QString::fromStdString(folder.string()),
                            QString::fromStdString(certificate.string())});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20'000)) {
    }
    m_port = m_process.readLine().trimmed().toUShort();
    EXPECT_NE(m_port, 0) << "the HTTP server did not start";
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
