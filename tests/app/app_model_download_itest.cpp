// The model download from the application model against a real HTTP server on loopback
// (Python's http.server serving a folder, over TLS with a self-signed certificate where a test
// says so), with the model identity overridden for a small file.
#include <QProcess>
#include <QTcpServer>

#include "app/app_model_fixture.h"

namespace sayloom::test {
namespace {

class FolderServer {
public:
  // With `certificate` (a PEM file, its key beside it in "<certificate>.key") the server speaks TLS.
  explicit FolderServer(const fs::path& folder, const fs::path& certificate = {}) {
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
                            QString::fromStdString(folder.string()), QString::fromStdString(certificate.string())});
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
  std::string url(const char* path) const {
    return m_scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
  }

private:
  quint16 m_port = 0;
  std::string m_scheme;
  QProcess m_process;
};

using ModelDownloadTest = AppModelTest;

TEST_F(ModelDownloadTest, ADownloadedModelMakesRecognitionReady) {
  writeFile(m_dir / "hub" / "ggml-base.bin", modelBytes());
  FolderServer hub(m_dir / "hub");
  ScopedEnv url("SAYLOOM_MODEL_URL", hub.url("/ggml-base.bin").c_str());
  AppModel& model = makeModel();
  ASSERT_FALSE(model.modelInstaller().modelReady());

  std::vector<double> progress;
  QObject::connect(&model.modelInstaller(), &ModelInstaller::downloadProgressChanged, [&] {
    if (model.modelInstaller().downloadProgress()) {
      progress.push_back(*model.modelInstaller().downloadProgress());
    }
  });
  model.downloadModel();
  model.downloadModel();  // one download at a time
  ASSERT_TRUE(model.modelInstaller().downloadTask());
  EXPECT_EQ(model.modelInstaller().downloadProgress(), 0.0);
  ASSERT_TRUE(eventually([&] { return !model.modelInstaller().downloadTask(); }));

  EXPECT_TRUE(model.modelInstaller().modelReady());
  EXPECT_EQ(model.appStatus().status(), QStringLiteral("Whisper 모델을 준비했습니다. 이제 오프라인 인식이 가능합니다."));
  EXPECT_FALSE(model.appStatus().warning());
  EXPECT_FALSE(model.modelInstaller().downloadProgress());
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 1.0);
  EXPECT_EQ(readFile(root() / "Models" / "ggml-base.bin"), modelBytes());
}

TEST_F(ModelDownloadTest, AMissingModelOnTheServerWarnsAndLeavesTheModelNotReady) {
  fs::create_directories(m_dir / "hub");
  FolderServer hub(m_dir / "hub");
  ScopedEnv url("SAYLOOM_MODEL_URL", hub.url("/ggml-base.bin").c_str());
  AppModel& model = makeModel();
  model.downloadModel();
  ASSERT_TRUE(eventually([&] { return !model.modelInstaller().downloadTask(); }));
  EXPECT_FALSE(model.modelInstaller().modelReady());
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(), QStringLiteral("모델 다운로드 서버에 연결하지 못했습니다."));
  EXPECT_FALSE(model.modelInstaller().downloadProgress());
}

// TLS verification stays on: a server whose certificate nobody vouches for gets no request, and
// nothing is installed.
TEST_F(ModelDownloadTest, AServerWithASelfSignedCertificateIsRefused) {
  writeFile(m_dir / "hub" / "ggml-base.bin", modelBytes());
  const fs::path certificate = m_dir / "loopback.pem";
  QProcess openssl;
  openssl.start(QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                 QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                 QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                 QStringLiteral("-keyout"), QString::fromStdString(certificate.string() + ".key"), QStringLiteral("-out"),
                 QString::fromStdString(certificate.string())});
  ASSERT_TRUE(openssl.waitForFinished(60'000) && openssl.exitCode() == 0) << openssl.readAllStandardError().toStdString();
  FolderServer hub(m_dir / "hub", certificate);
  ScopedEnv url("SAYLOOM_MODEL_URL", hub.url("/ggml-base.bin").c_str());

  AppModel& model = makeModel();
  model.downloadModel();
  ASSERT_TRUE(eventually([&] { return !model.modelInstaller().downloadTask(); }));
  EXPECT_FALSE(model.modelInstaller().modelReady());
  EXPECT_TRUE(model.appStatus().warning());
  EXPECT_FALSE(fs::exists(root() / "Models" / "ggml-base.bin"));
}

}  // namespace
}  // namespace sayloom::test
