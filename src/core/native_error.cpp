#include "core/native_error.h"

#include <utility>

namespace sayloom {

namespace {

std::string describe(const std::string& text) { return text; }

std::string describe(std::int64_t version, bool futureVersion) {
  if (futureVersion) {
    return "더 최신 앱의 프리셋 버전 " + std::to_string(version) +
           "입니다. 원본을 보호하기 위해 설정 저장을 잠갔습니다.";
  }
  return "클라우드 요청에 실패했습니다 (HTTP " + std::to_string(version) + ").";
}

}  // namespace

NativeError::NativeError(Payload payload) : m_payload(std::move(payload)) {
  if (const auto* text = std::get_if<std::string>(&m_payload)) {
    m_description = describe(*text);
  } else if (const auto* future = std::get_if<FutureVersion>(&m_payload)) {
    m_description = describe(future->version, true);
  } else {
    m_description = describe(std::get<Http>(m_payload).status, false);
  }
}

NativeError NativeError::message(std::string text) { return NativeError(Payload(std::move(text))); }

NativeError NativeError::futureVersion(std::int64_t version) {
  return NativeError(Payload(FutureVersion{version}));
}

NativeError NativeError::http(std::int64_t status) { return NativeError(Payload(Http{status})); }

NativeError::Kind NativeError::kind() const noexcept {
  switch (m_payload.index()) {
    case 0:
      return Kind::message;
    case 1:
      return Kind::futureVersion;
    default:
      return Kind::http;
  }
}

const std::string& NativeError::text() const noexcept {
  static const std::string empty;
  const auto* text = std::get_if<std::string>(&m_payload);
  return text != nullptr ? *text : empty;
}

std::int64_t NativeError::number() const noexcept {
  if (const auto* future = std::get_if<FutureVersion>(&m_payload)) {
    return future->version;
  }
  if (const auto* http = std::get_if<Http>(&m_payload)) {
    return http->status;
  }
  return 0;
}

bool NativeError::isHttpStatus(std::initializer_list<std::int64_t> statuses) const noexcept {
  if (kind() != Kind::http) {
    return false;
  }
  for (const std::int64_t status : statuses) {
    if (number() == status) {
      return true;
    }
  }
  return false;
}

std::string errorDescription(const std::exception& error) {
  if (const auto* native = dynamic_cast<const NativeError*>(&error)) {
    return native->description();
  }
  return error.what();
}

}  // namespace sayloom
