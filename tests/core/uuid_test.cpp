#include "core/uuid.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace sayloom {
namespace {

TEST(UuidTest, GeneratedIdsAreCanonicalVersion4AndDistinct) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    const std::string id = uuid::generate();
    ASSERT_EQ(id.size(), 36U);
    ASSERT_EQ(id.find_first_not_of("0123456789ABCDEF-"), std::string::npos) << id;
    ASSERT_EQ(id[14], '4') << id;
    ASSERT_NE(std::string("89AB").find(id[19]), std::string::npos) << id;
    ASSERT_TRUE(uuid::isValid(id));
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 1000U);
}

TEST(UuidTest, ParsesOnlyTheHyphenatedHexForm) {
  const std::pair<const char*, bool> cases[] = {
      {"6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB", true},
      {"6f1c2d3e-4a5b-4c6d-8e7f-0123456789ab", true},
      {"00000000-0000-0000-0000-000000000000", true},
      {"6f1C2d3E-4A5b-4c6D-8E7f-0123456789aB", true},
      {"abc", false},
      {"", false},
      {"6F1C2D3E4A5B4C6D8E7F0123456789AB", false},
      {"{6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB}", false},
      {"urn:uuid:6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB", false},
      {"6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB ", false},
      {"6F1C2D3E-4A5B-4C6D-8E7F-0123456789AG", false},
      {"6F1C2D3E-4A5B-4C6D-8E7F_0123456789AB", false},
      {"6F1C2D3-E4A5B-4C6D-8E7F-0123456789AB", false},
      {"../../../../../../../../../../../tmp", false},
  };
  for (const auto& [text, valid] : cases) {
    EXPECT_EQ(uuid::isValid(text), valid) << text;
  }
}

TEST(UuidTest, FormatGivesTheUpperCaseTextOfTheParsedBytes) {
  const auto bytes = uuid::parse("6f1c2d3e-4a5b-4c6d-8e7f-0123456789ab");
  ASSERT_TRUE(bytes);
  EXPECT_EQ((*bytes)[0], 0x6F);
  EXPECT_EQ((*bytes)[15], 0xAB);
  EXPECT_EQ(uuid::format(*bytes), "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB");
}

}  // namespace
}  // namespace sayloom
