#pragma once
// What tests and benchmarks that run the real engine share: the fixtures folder, the tiny test
// model's identity (it loads but has no weights) and the speech sample's PCM.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom::test {

inline std::filesystem::path fixture(std::string_view name) {
  return std::filesystem::path(SAYLOOM_FIXTURES_DIR) / name;
}

// fixture("whisper-test-model.bin"), as given to the SAYLOOM_MODEL_* overrides.
inline constexpr std::uint64_t testModelSize = 575'451;
inline constexpr const char* testModelSha256 =
    "ddf6ff3e5f9e0da794fee41652559af1efaa6118f3cc699f250991c515b6af2a";

// The samples of a 16 kHz mono 16-bit WAV file (the content of its "data" chunk); empty if none.
inline std::string wavSamples(const std::filesystem::path& path) {
  const std::string file = readFile(path);
  std::size_t at = 12;
  while (at + 8 <= file.size()) {
    const std::string_view id(file.data() + at, 4);
    const auto* p = reinterpret_cast<const unsigned char*>(file.data() + at + 4);
    const std::size_t size = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::size_t>(p[3]) << 24);
    if (id == "data") {
      return file.substr(at + 8, size);
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

// The real engine with the test model's identity, for services that read them from the
// environment, while this lives.
struct TestEngineEnvironment {
  ScopedEnv engine{"SAYLOOM_WHISPER_CLI", SAYLOOM_ENGINE_PATH};
  ScopedEnv size{"SAYLOOM_MODEL_SIZE", std::to_string(testModelSize).c_str()};
  ScopedEnv sha{"SAYLOOM_MODEL_SHA256", testModelSha256};
};

}  // namespace sayloom::test
