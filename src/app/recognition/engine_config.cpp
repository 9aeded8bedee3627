#include "app/recognition/engine_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cctype>
#include <cstdlib>

#include "core/data_paths.h"

namespace sayloom::engine {

namespace {

std::optional<std::uint64_t> parseSize(const char* text) {
  if (text == nullptr || *text == '\0') {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9' || value > (UINT64_MAX - 9) / 10) {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  return value;
}

std::optional<std::string> parseDigest(const char* text) {
  if (text == nullptr) {
    return std::nullopt;
  }
  std::string digest(text);
  if (digest.size() != 64) {
    return std::nullopt;
  }
  for (char& c : digest) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      return std::nullopt;
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return digest;
}

}  // namespace

QString whisperCliPath() {
  const QString overridden = qEnvironmentVariable("SAYLOOM_WHISPER_CLI");
  if (!overridden.isEmpty()) {
    return overridden;
  }
  const QDir programFolder(QCoreApplication::applicationDirPath());
  const QString beside = programFolder.filePath(QStringLiteral("Helpers/whisper-cli"));
  const QString installed =
      QDir::cleanPath(programFolder.filePath(QStringLiteral(SAYLOOM_LIBEXEC_FROM_BIN "/whisper-cli")));
  return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

ModelIdentity modelIdentity() {
  const auto size = parseSize(std::getenv("SAYLOOM_MODEL_SIZE"));
  const auto digest = parseDigest(std::getenv("SAYLOOM_MODEL_SHA256"));
  if (size && digest) {
    return ModelIdentity{*size, *digest};
  }
  return ModelIdentity{};
}

QUrl modelUrl() {
  const QString overridden = qEnvironmentVariable("SAYLOOM_MODEL_URL");
  return QUrl(overridden.isEmpty() ? QString::fromLatin1(baseModelUrl) : overridden);
}

std::filesystem::path modelFile() { return DataPaths::modelFile(DataPaths::root()); }

}  // namespace sayloom::engine
