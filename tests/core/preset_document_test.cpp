#include "core/preset_document.h"

#include <gtest/gtest.h>

#include "core/json_fields.h"
#include "core/native_error.h"
#include "core/uuid.h"

namespace sayloom {
namespace {

using nlohmann::json;

json documentOf(json presets, json version = 2) { return json{{"Version", version}, {"Presets", presets}}; }

json presetsOfCount(std::size_t count) {
  json list = json::array();
  for (std::size_t i = 0; i < count; ++i) {
    list.push_back(json::object());
  }
  return list;
}

NativeError nativeErrorOf(const std::string& bytes) {
  try {
    PresetDocument::read(bytes);
  } catch (const NativeError& error) {
    return error;
  }
  ADD_FAILURE() << "no NativeError for " << bytes.substr(0, 200);
  return NativeError::message("");
}

TEST(PresetDocumentTest, EmptyPresetObjectReadsAsDefaults) {
  const auto document = PresetDocument::read(documentOf(json::array({json::object()})).dump());
  ASSERT_EQ(document.Presets.size(), 1u);
  const OverlayPreset& preset = document.Presets[0];
  EXPECT_TRUE(uuid::isValid(preset.Id));
  OverlayPreset expected;
  expected.Id = preset.Id;
  expected.normalize();
  EXPECT_EQ(preset, expected);
  EXPECT_EQ(preset.Name, "새 프리셋");
  EXPECT_FALSE(preset.IsEnabled);
  EXPECT_FALSE(preset.IsBuiltIn);
  EXPECT_EQ(preset.GradientStops, (std::vector<GradientStop>{{"#101827", 0}, {"#101827", 1}}));
}

TEST(PresetDocumentTest, NullKeysTakeDefaultsAndUnknownKeysAreIgnored) {
  const auto document = PresetDocument::read(
      documentOf(
          json::array({{{"FontSize", nullptr}, {"Name", nullptr}, {"Languages", nullptr}, {"Extra", 1}}}), 2)
          .dump());
  EXPECT_EQ(document.Presets[0].FontSize, 26);
  EXPECT_EQ(document.Presets[0].Name, "새 프리셋");
}

TEST(PresetDocumentTest, VersionsOtherThanOneAndTwoAreFutureVersions) {
  for (std::int64_t version : {0, 3, -1, 1000}) {
    // The version is checked before the presets are decoded.
    const NativeError error = nativeErrorOf(documentOf("not a list", version).dump());
    EXPECT_EQ(error, NativeError::futureVersion(version));
    EXPECT_EQ(error.description(), "더 최신 앱의 프리셋 버전 " + std::to_string(version) +
                                       "입니다. 원본을 보호하기 위해 설정 저장을 잠갔습니다.");
  }
}

TEST(PresetDocumentTest, VersionOneIsUpgraded) {
  const auto document = PresetDocument::read(
      documentOf(json::array({{{"BackgroundMode", "Linear"},
                               {"BackgroundColor", "#223344"},
                               {"GlassIntensity", 0.5},
                               {"GradientStops", json::array({{{"Color", "#FFFFFF"}, {"Offset", 0}}})}}}),
                 1)
          .dump());
  EXPECT_EQ(document.Version, 2);
  const OverlayPreset& preset = document.Presets[0];
  EXPECT_EQ(preset.BackgroundMode, "Solid");
  EXPECT_EQ(preset.GlassIntensity, 0);
  EXPECT_EQ(preset.GradientStops, (std::vector<GradientStop>{{"#223344", 0}, {"#223344", 1}}));
}

TEST(PresetDocumentTest, PresetCountLimits) {
  for (std::size_t count : {0u, 65u}) {
    EXPECT_EQ(nativeErrorOf(documentOf(presetsOfCount(count)).dump()),
              NativeError::message("프리셋은 1–64개까지 보관할 수 있습니다."))
        << count;
  }
  EXPECT_EQ(PresetDocument::read(documentOf(presetsOfCount(64)).dump()).Presets.size(), 64u);
}

TEST(PresetDocumentTest, SizeLimitComesBeforeParsing) {
  const NativeError tooLarge = NativeError::message("프리셋 파일은 1 MiB 이하여야 합니다.");
  EXPECT_EQ(nativeErrorOf(std::string(1024 * 1024 + 1, '{')), tooLarge);

  std::string valid = documentOf(presetsOfCount(1)).dump();
  std::string exactly = valid + std::string(1024 * 1024 - valid.size(), ' ');
  EXPECT_EQ(PresetDocument::read(exactly).Presets.size(), 1u);
  EXPECT_EQ(nativeErrorOf(exactly + " "), tooLarge);
}

TEST(PresetDocumentTest, DecodingErrorsArePassedOn) {
  const std::string wrongTypes[] = {
      "",
      "{",
      "[]",
      R"({"Presets": [{}]})",
      R"({"Version": "2", "Presets": [{}]})",
      R"({"Version": 2.5, "Presets": [{}]})",
      R"({"Version": 2})",
      R"({"Version": 2, "Presets": {}})",
      R"({"Version": 2, "Presets": [null]})",
      R"({"Version": 2, "Presets": [{"FontSize": "26"}]})",
      R"({"Version": 2, "Presets": [{"IsEnabled": 1}]})",
      R"({"Version": 2, "Presets": [{"Name": 5}]})",
      R"({"Version": 2, "Presets": [{"Languages": ["en", 1]}]})",
      R"({"Version": 2, "Presets": [{"GradientStops": [{"Color": "#FFFFFF"}]}]})",
      R"({"Version": 2, "Presets": [{"GradientStops": [{"Color": null, "Offset": 0}]}]})",
      R"({"Version": 2, "Presets": [{"GradientStops": "#FFFFFF"}]})",
      R"({"Version": 2, "Presets": [{"Width": 1e400}]})",
  };
  for (const auto& bytes : wrongTypes) {
    EXPECT_THROW(
        {
          try {
            PresetDocument::read(bytes);
          } catch (const NativeError&) {
            ADD_FAILURE() << "a NativeError for " << bytes;
          }
        },
        std::exception)
        << bytes;
  }
}

TEST(PresetDocumentTest, RepeatedIdsAreReplacedAfterTheFirst) {
  const auto document = PresetDocument::read(
      documentOf(
          json::array({{{"Id", "same"}, {"Name", "a"}}, {{"Id", "same"}, {"Name", "b"}}, {{"Id", "other"}}}))
          .dump());
  ASSERT_EQ(document.Presets.size(), 3u);
  EXPECT_EQ(document.Presets[0].Id, "same");
  EXPECT_EQ(document.Presets[0].Name, "a");
  EXPECT_TRUE(uuid::isValid(document.Presets[1].Id));
  EXPECT_EQ(document.Presets[1].Name, "b");
  EXPECT_EQ(document.Presets[2].Id, "other");
}

TEST(PresetDocumentTest, WriterHasEveryKeyAndReadsBackUnchanged) {
  PresetDocument document(OverlayPreset::builtIns());
  const json written = document.toJson();
  EXPECT_EQ(written["Version"], 2);
  for (const auto& preset : written["Presets"]) {
    EXPECT_EQ(preset.size(), 28u);
    for (const auto& stop : preset["GradientStops"]) {
      EXPECT_EQ(stop.size(), 2u);
    }
  }
  // Every key is written even with the default value, e.g. an empty list or text.
  EXPECT_EQ(written["Presets"][0]["Languages"], json::array());
  EXPECT_EQ(written["Presets"][0]["MonitorDeviceName"], "");
  EXPECT_EQ(PresetDocument::read(document.encode()), document);
}

}  // namespace
}  // namespace sayloom
