#include "core/native_error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace sayloom {
namespace {

TEST(NativeErrorTest, DescriptionFollowsTheCase) {
  struct Case {
    NativeError error;
    NativeError::Kind kind;
    std::string description;
  };
  const std::vector<Case> cases = {
      {NativeError::message("잘못된 로컬 노트 ID입니다."), NativeError::Kind::message,
       "잘못된 로컬 노트 ID입니다."},
      {NativeError::message(""), NativeError::Kind::message, ""},
      {NativeError::http(404), NativeError::Kind::http, "클라우드 요청에 실패했습니다 (HTTP 404)."},
      {NativeError::http(1000000), NativeError::Kind::http, "클라우드 요청에 실패했습니다 (HTTP 1000000)."},
      {NativeError::futureVersion(3), NativeError::Kind::futureVersion,
       "더 최신 앱의 프리셋 버전 3입니다. 원본을 보호하기 위해 설정 저장을 잠갔습니다."},
      {NativeError::futureVersion(-2), NativeError::Kind::futureVersion,
       "더 최신 앱의 프리셋 버전 -2입니다. 원본을 보호하기 위해 설정 저장을 잠갔습니다."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.error.kind(), c.kind);
    EXPECT_EQ(c.error.description(), c.description);
    EXPECT_STREQ(c.error.what(), c.description.c_str());
    EXPECT_EQ(errorDescription(c.error), c.description);
  }
  EXPECT_EQ(NativeError::http(404).number(), 404);
  EXPECT_EQ(NativeError::message("x").text(), "x");
}

TEST(NativeErrorTest, CasesCompareByKindAndPayload) {
  EXPECT_EQ(NativeError::http(404), NativeError::http(404));
  EXPECT_FALSE(NativeError::http(404) == NativeError::futureVersion(404));
  EXPECT_FALSE(NativeError::http(404) == NativeError::http(500));
  EXPECT_FALSE(NativeError::message("a") == NativeError::message("b"));
}

TEST(NativeErrorTest, OtherErrorsKeepTheirOwnText) {
  EXPECT_EQ(errorDescription(std::runtime_error("No space left on device")), "No space left on device");
  const std::exception& asBase = NativeError::http(503);
  EXPECT_EQ(errorDescription(asBase), "클라우드 요청에 실패했습니다 (HTTP 503).");
}

}  // namespace
}  // namespace sayloom
