#pragma once
// The user-facing texts of the account session and the cloud request layer, in one place. The
// HTTP failure text ("클라우드 요청에 실패했습니다 (HTTP n).") belongs to NativeError itself.
#include <cstdint>
#include <string>

namespace sayloom::messages {

inline constexpr const char* pairingExpired = "로그인 연결 시간이 만료되었습니다. 다시 시도해 주세요.";
inline constexpr const char* tokenExchangeFailed = "로그인 토큰 교환에 실패했습니다.";
inline constexpr const char* accountLookupFailed = "계정 정보를 읽지 못했습니다.";
inline constexpr const char* tokenRefreshFailed = "로그인 갱신에 실패했습니다.";
inline constexpr const char* wrongAccount = "이 노트를 연결한 계정으로 로그인해 주세요.";
inline constexpr const char* callableRefused = "클라우드 작업이 거절되었습니다.";
inline constexpr const char* requestTimedOut = "서버가 응답하지 않습니다. 잠시 후 다시 시도해 주세요.";

// Secret-store failures carry the platform's error code in decimal; code 0 is the platform's
// "failed" without a specific reason and is left out rather than shown as a meaningless "(0)".
inline std::string secretFailed(const char* what, std::int64_t code) {
  return code == 0 ? std::string(what) + "." : std::string(what) + " (" + std::to_string(code) + ").";
}
inline std::string secretReadFailed(std::int64_t code) {
  return secretFailed("키링 계정을 읽지 못했습니다", code);
}
inline std::string secretWriteFailed(std::int64_t code) {
  return secretFailed("키링 계정을 저장하지 못했습니다", code);
}
inline std::string secretDeleteFailed(std::int64_t code) {
  return secretFailed("키링 로그아웃에 실패했습니다", code);
}

}  // namespace sayloom::messages
