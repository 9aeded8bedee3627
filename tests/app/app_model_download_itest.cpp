// The model download from the application model against a real HTTP server on loopback
// (Python's http.server serving a folder, over TLS with a self-signed certificate where a test
// says so), with the model identity overridden for a small file.
#include "app/app_model_fixture.h"
#include "support/folder_server.h"

namespace sayloom::test {
namespace {

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
  EXPECT_EQ(model.appStatus().status(),
            QStringLiteral("Whisper 모델을 준비했습니다. 이제 오프라인 인식이 가능합니다."));
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
  ASSERT_TRUE(makeSelfSignedCertificate(certificate));
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
