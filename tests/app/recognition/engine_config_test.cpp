// Where the engine and the model come from, and the environment overrides used by tests and the
// self-test.
#include "app/recognition/engine_config.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "support/temp_dir.h"

namespace sayloom {
namespace {

using test::ScopedEnv;

TEST(EngineConfigTest, EngineIsBesideTheExecutableUnlessOverridden) {
  {
    ScopedEnv unset("SAYLOOM_WHISPER_CLI", nullptr);
    EXPECT_EQ(engine::whisperCliPath(), QCoreApplication::applicationDirPath() + "/Helpers/whisper-cli");
  }
  ScopedEnv set("SAYLOOM_WHISPER_CLI", "/opt/engine/whisper-cli");
  EXPECT_EQ(engine::whisperCliPath(), "/opt/engine/whisper-cli");
}

TEST(EngineConfigTest, ModelIdentityOverridesApplyOnlyTogetherAndWellFormed) {
  const std::string digest(64, 'a');
  const std::string notHex = std::string(63, 'a') + "g";
  const engine::ModelIdentity base{};
  struct Case {
    const char* size;
    const char* sha256;
    engine::ModelIdentity expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, base},
      {"575451",
       "DDF6FF3E5F9E0DA794FEE41652559AF1EFAA6118F3CC699F250991C515B6AF2A",
       {575'451, "ddf6ff3e5f9e0da794fee41652559af1efaa6118f3cc699f250991c515b6af2a"}},
      {"575451", nullptr, base},
      {nullptr, digest.c_str(), base},
      {"57x", digest.c_str(), base},
      {"-1", digest.c_str(), base},
      {"", digest.c_str(), base},
      {"99999999999999999999999", digest.c_str(), base},
      {"10", "abc", base},
      {"10", notHex.c_str(), base},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.size ? c.size : "(unset)") + " " + (c.sha256 ? c.sha256 : "(unset)"));
    ScopedEnv size("SAYLOOM_MODEL_SIZE", c.size);
    ScopedEnv sha("SAYLOOM_MODEL_SHA256", c.sha256);
    EXPECT_EQ(engine::modelIdentity(), c.expected);
  }
  EXPECT_EQ(base.size, 147'951'465U);
  EXPECT_EQ(base.sha256, "60ed5bc3dd14eea856493d334349b405782ddcaf0028d4b5df4088345fba2efe");
}

TEST(EngineConfigTest, DownloadAddressIsThePinnedBaseModelUnlessOverridden) {
  {
    ScopedEnv unset("SAYLOOM_MODEL_URL", nullptr);
    const QUrl url = engine::modelUrl();
    EXPECT_EQ(url.scheme(), "https");
    EXPECT_TRUE(url.path().endsWith("/5359861c739e955e79d9a303bcbc70fb988958b1/ggml-base.bin"))
        << url.toString().toStdString();
  }
  ScopedEnv set("SAYLOOM_MODEL_URL", "http://127.0.0.1:8080/ggml-base.bin");
  EXPECT_EQ(engine::modelUrl(), QUrl("http://127.0.0.1:8080/ggml-base.bin"));
}

TEST(EngineConfigTest, ModelFileIsInTheDataRoot) {
  test::TempDir dir;
  ScopedEnv data("SAYLOOM_DATA_DIR", dir.path().c_str());
  EXPECT_EQ(engine::modelFile(), dir / "Models" / "ggml-base.bin");
}

}  // namespace
}  // namespace sayloom
