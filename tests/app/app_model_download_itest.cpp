// The model download from the application model against a real HTTP server on loopback
// (Python's http.server serving a folder), with the model identity overridden for a small file.
#include <QProcess>
#include <QTcpServer>

#include "app/app_model_fixture.h"

namespace sayloom::test {
namespace {

class FolderServer {
public:
  explicit FolderServer(const fs::path& folder) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    m_port = probe.serverPort();
    probe.close();
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments({QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(m_port),
                            QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                            QStringLiteral("--directory"), QString::fromStdString(folder.string())});
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
  std::string url(const char* path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

private:
  quint16 m_port = 0;
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

}  // namespace
}  // namespace sayloom::test
