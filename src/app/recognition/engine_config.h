#pragma once
// Where the speech engine and its model live, and what the model must be: the one place that
// reads the engine's configuration from the environment. Read afresh at every call; main thread
// (QCoreApplication::applicationDirPath needs the application object).
//
//   SAYLOOM_WHISPER_CLI                       the engine executable (default: <folder of the
//                                             executable>/Helpers/whisper-cli, or where it is not,
//                                             the installed <prefix>/libexec/sayloom/whisper-cli)
//   SAYLOOM_MODEL_SIZE + SAYLOOM_MODEL_SHA256 the expected model identity; both must be set and
//                                             well formed (decimal size, 64 hexadecimal digits),
//                                             otherwise both are ignored
//   SAYLOOM_MODEL_URL                         the model's download address
#include <QString>
#include <QUrl>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace sayloom::engine {

// The whisper.cpp base model: exact byte count and lower-case hexadecimal SHA-256.
inline constexpr std::uint64_t baseModelSize = 147'951'465;
inline constexpr const char* baseModelSha256 =
    "60ed5bc3dd14eea856493d334349b405782ddcaf0028d4b5df4088345fba2efe";
// ggml-base.bin of the whisper.cpp model repository, pinned to one revision.
inline constexpr const char* baseModelUrl =
    "https://huggingface.co/ggerganov/whisper.cpp/resolve/5359861c739e955e79d9a303bcbc70fb988958b1/"
    "ggml-base.bin";

// The model file is accepted only with exactly this size and digest.
struct ModelIdentity {
  std::uint64_t size = baseModelSize;
  std::string sha256 = baseModelSha256;  // 64 lower-case hexadecimal digits

  bool operator==(const ModelIdentity&) const = default;
};

// The engine executable to start.
QString whisperCliPath();

// The expected model identity: the base model's, unless both overrides are set and well formed.
ModelIdentity modelIdentity();

// The model's download address.
QUrl modelUrl();

// The installed model: DataPaths root / "Models" / "ggml-base.bin".
std::filesystem::path modelFile();

}  // namespace sayloom::engine
