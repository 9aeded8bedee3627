#include "core/overlay_preset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/preset_document.h"
#include "core/uuid.h"

namespace sayloom {
namespace {

using nlohmann::json;

std::string repeated(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += piece;
  }
  return out;
}

// A preset read from one JSON object through the document reader, so the JSON defaults and the
// normalisation both apply.
OverlayPreset readOne(const json& preset) {
  const auto document = PresetDocument::read(json{{"Version", 2}, {"Presets", {preset}}}.dump());
  return document.Presets.at(0);
}

constexpr const char* newUuid = "<a new UUID>";

struct NormalizeCase {
  const char* label;
  json input;
  const char* key;
  json expected;
};

class NormalizeTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, BringsTheFieldIntoRange) {
  const auto& c = GetParam();
  OverlayPreset preset = readOne(c.input);
  const json written = preset;
  if (c.expected == newUuid) {
    EXPECT_TRUE(uuid::isValid(written[c.key].get<std::string>())) << written[c.key];
    EXPECT_NE(written[c.key], c.input[c.key]);
  } else {
    EXPECT_EQ(written[c.key], c.expected);
  }
  OverlayPreset again = preset;
  again.normalize();
  EXPECT_EQ(again, preset) << "normalising twice changed the preset";
}

const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one character, 18 bytes
const std::string hangul20 = repeated("한", 20);

INSTANTIATE_TEST_SUITE_P(
    Fields, NormalizeTest,
    testing::Values(
        NormalizeCase{"font size above", {{"FontSize", 200}}, "FontSize", 96.0},
        NormalizeCase{"font size below", {{"FontSize", 3}}, "FontSize", 14.0},
        NormalizeCase{"padding", {{"Padding", 0}}, "Padding", 4.0},
        NormalizeCase{"width", {{"Width", 100}}, "Width", 240.0},
        NormalizeCase{"height", {{"Height", 5000}}, "Height", 2160.0},
        NormalizeCase{"x far left", {{"X", -250000.5}}, "X", -100000.0},
        NormalizeCase{"angle", {{"GradientAngle", 400}}, "GradientAngle", 360.0},
        NormalizeCase{"opacity", {{"BackgroundOpacity", -0.5}}, "BackgroundOpacity", 0.0},
        NormalizeCase{"glass", {{"GlassIntensity", 1.5}}, "GlassIntensity", 1.0},
        NormalizeCase{"corner radius", {{"CornerRadius", 61}}, "CornerRadius", 60.0},
        NormalizeCase{"short colour form", {{"BackgroundColor", "#abc"}}, "BackgroundColor", "#101827"},
        NormalizeCase{"alpha colour", {{"BackgroundColor", "#80ff0000"}}, "BackgroundColor", "#80FF0000"},
        NormalizeCase{"lower-case colour", {{"BackgroundColor", "#ffaa00"}}, "BackgroundColor", "#FFAA00"},
        NormalizeCase{"leading space", {{"BackgroundColor", " #FFFFFF"}}, "BackgroundColor", "#101827"},
        NormalizeCase{"no hash", {{"BackgroundColor", "FFFFFF0"}}, "BackgroundColor", "#101827"},
        NormalizeCase{"not hex", {{"BackgroundColor", "#GG0000"}}, "BackgroundColor", "#101827"},
        NormalizeCase{"full-width digits", {{"BackgroundColor", "#１２"}}, "BackgroundColor", "#101827"},
        NormalizeCase{"foreground fallback", {{"ForegroundColor", "red"}}, "ForegroundColor", "#F5F8FF"},
        NormalizeCase{"translation fallback", {{"TranslationColor", ""}}, "TranslationColor", "#94D8D2"},
        NormalizeCase{"border fallback", {{"BorderColor", "#1234567"}}, "BorderColor", "#40526A"},
        NormalizeCase{"kind is case-sensitive", {{"Kind", "widget"}}, "Kind", "Custom"},
        NormalizeCase{"kind kept", {{"Kind", "Glass"}}, "Kind", "Glass"},
        NormalizeCase{"alignment is case-sensitive", {{"Alignment", "center"}}, "Alignment", "Left"},
        NormalizeCase{"alignment kept", {{"Alignment", "Right"}}, "Alignment", "Right"},
        NormalizeCase{"mode is case-sensitive", {{"BackgroundMode", "radial"}}, "BackgroundMode", "Solid"},
        NormalizeCase{"mode kept", {{"BackgroundMode", "Radial"}}, "BackgroundMode", "Radial"},
        NormalizeCase{"languages",
                      {{"Languages", {" EN ", "en", "", "ko", repeated("x", 27)}}},
                      "Languages",
                      {"en", "ko"}},
        NormalizeCase{"languages trimmed of tabs only",
                      {{"Languages", {"\tJA\t", "\nfr"}}},
                      "Languages",
                      {"ja", "\nfr"}},
        NormalizeCase{"at most eight languages",
                      {{"Languages", {"a", "b", "c", "A", "d", "e", "f", "g", "h", "i"}}},
                      "Languages",
                      {"a", "b", "c", "d", "e", "f", "g", "h"}},
        NormalizeCase{"language length in characters", {{"Languages", {hangul20}}}, "Languages", {hangul20}},
        NormalizeCase{"twelve stops keep eight",
                      {{"GradientStops", json::array({{{"Color", "#000001"}, {"Offset", 0}},
                                                      {{"Color", "#000002"}, {"Offset", 0}},
                                                      {{"Color", "#000003"}, {"Offset", 0}},
                                                      {{"Color", "#000004"}, {"Offset", 0}},
                                                      {{"Color", "#000005"}, {"Offset", 0}},
                                                      {{"Color", "#000006"}, {"Offset", 0}},
                                                      {{"Color", "#000007"}, {"Offset", 0}},
                                                      {{"Color", "#000008"}, {"Offset", 0}},
                                                      {{"Color", "#000009"}, {"Offset", 0}},
                                                      {{"Color", "#00000A"}, {"Offset", 0}},
                                                      {{"Color", "#00000B"}, {"Offset", 0}},
                                                      {{"Color", "#00000C"}, {"Offset", 0}}})}},
                      "GradientStops",
                      json::array({{{"Color", "#000001"}, {"Offset", 0.0}},
                                   {{"Color", "#000002"}, {"Offset", 0.0}},
                                   {{"Color", "#000003"}, {"Offset", 0.0}},
                                   {{"Color", "#000004"}, {"Offset", 0.0}},
                                   {{"Color", "#000005"}, {"Offset", 0.0}},
                                   {{"Color", "#000006"}, {"Offset", 0.0}},
                                   {{"Color", "#000007"}, {"Offset", 0.0}},
                                   {{"Color", "#000008"}, {"Offset", 0.0}}})},
        NormalizeCase{
            "a single stop gains a second",
            {{"GradientStops", json::array({{{"Color", "#ffffff"}, {"Offset", 0.3}}})}},
            "GradientStops",
            json::array({{{"Color", "#FFFFFF"}, {"Offset", 0.3}}, {{"Color", "#FFFFFF"}, {"Offset", 1.0}}})},
        NormalizeCase{
            "stop offsets and colours",
            {{"BackgroundColor", "#123456"},
             {"GradientStops",
              json::array({{{"Color", "bad"}, {"Offset", 1.7}}, {{"Color", "#aBcDeF"}, {"Offset", -0.2}}})}},
            "GradientStops",
            json::array({{{"Color", "#101827"}, {"Offset", 1.0}}, {{"Color", "#ABCDEF"}, {"Offset", 0.0}}})},
        NormalizeCase{
            "no stops take the background colour",
            {{"BackgroundColor", "#abcdef"}},
            "GradientStops",
            json::array({{{"Color", "#ABCDEF"}, {"Offset", 0.0}}, {{"Color", "#ABCDEF"}, {"Offset", 1.0}}})},
        NormalizeCase{
            "invalid background gives fallback stops",
            {{"BackgroundColor", "nope"}},
            "GradientStops",
            json::array({{{"Color", "#101827"}, {"Offset", 0.0}}, {{"Color", "#101827"}, {"Offset", 1.0}}})},
        NormalizeCase{"name cut to 80", {{"Name", repeated("가", 100)}}, "Name", repeated("가", 80)},
        NormalizeCase{
            "name counted in characters", {{"Name", repeated(family, 81)}}, "Name", repeated(family, 80)},
        NormalizeCase{"name trimmed", {{"Name", " \t\u3000제목\r\n\u0085"}}, "Name", "제목"},
        NormalizeCase{"blank name", {{"Name", " \n "}}, "Name", "새 프리셋"},
        NormalizeCase{
            "cut at a space stays trimmed", {{"Name", repeated("a", 79) + " b"}}, "Name", repeated("a", 79)},
        NormalizeCase{"id of 81 characters", {{"Id", repeated("i", 81)}}, "Id", newUuid},
        NormalizeCase{"id kept untrimmed", {{"Id", "  x  "}}, "Id", "  x  "},
        NormalizeCase{"blank id", {{"Id", " \n\t"}}, "Id", newUuid},
        NormalizeCase{"id of 80 characters", {{"Id", repeated(family, 80)}}, "Id", repeated(family, 80)},
        NormalizeCase{"monitor name of 64",
                      {{"MonitorDeviceName", repeated("m", 64)}},
                      "MonitorDeviceName",
                      repeated("m", 64)},
        NormalizeCase{
            "monitor name of 65", {{"MonitorDeviceName", repeated("m", 65)}}, "MonitorDeviceName", ""},
        NormalizeCase{"blank font family", {{"FontFamily", " \t "}}, "FontFamily", "Malgun Gothic"},
        NormalizeCase{"font family with line break", {{"FontFamily", "\n"}}, "FontFamily", "\n"},
        NormalizeCase{
            "font family of 121", {{"FontFamily", repeated("f", 121)}}, "FontFamily", "Malgun Gothic"},
        NormalizeCase{
            "font family kept untrimmed", {{"FontFamily", " Noto Sans "}}, "FontFamily", " Noto Sans "}),
    [](const testing::TestParamInfo<NormalizeCase>& info) {
      std::string name;
      for (char c : std::string(info.param.label)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      }
      return name;
    });

TEST(OverlayPresetTest, NonFiniteNumbersTakeTheirDefaults) {
  OverlayPreset preset;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  preset.GradientAngle = nan;
  preset.GlassIntensity = inf;
  preset.BackgroundOpacity = -inf;
  preset.FontSize = nan;
  preset.CornerRadius = nan;
  preset.Padding = inf;
  preset.X = -inf;
  preset.Y = nan;
  preset.Width = inf;
  preset.Height = nan;
  preset.GradientStops = {{"#FFFFFF", nan}, {"#FFFFFF", inf}};
  preset.normalize();
  OverlayPreset expected;
  expected.Id = preset.Id;
  expected.GradientStops = {{"#FFFFFF", 0}, {"#FFFFFF", 0}};
  expected.normalize();
  EXPECT_EQ(preset, expected);
}

TEST(OverlayPresetTest, ColourText) {
  EXPECT_EQ(ARGB::parse("#80FF0000"), (ARGB{1, 0, 0, 128 / 255.0}));
  EXPECT_EQ(ARGB::parse("#00ff00"), (ARGB{0, 1, 0, 1}));
  for (const char* invalid : {"", "#", "#FFF", "#FFFFF", "#FFFFFFF", "#FFFFFFFFF", "FFFFFF", " #FFFFFF",
                              "#FFFFFF ", "#-FFFFF", "#0x1234"}) {
    EXPECT_FALSE(ARGB::parse(invalid)) << invalid;
  }
  EXPECT_EQ(ARGB::normalized("#a0b1c2d3", "#000000"), "#A0B1C2D3");
  EXPECT_EQ(ARGB::normalized("#abc", "#000000"), "#000000");

  // Halves round away from zero (2.5 -> 3, 0.5 -> 1), out-of-range components are brought into range.
  EXPECT_EQ((ARGB{2.5 / 255, 0.5 / 255, 1, 0.5}).argbHex(), "#800301FF");
  EXPECT_EQ((ARGB{1.5, -0.2, 0, 1}).argbHex(), "#FFFF0000");
  EXPECT_EQ((ARGB{std::nan(""), 0, 0, 1}).argbHex(), "#FF101827");
  EXPECT_EQ(ARGB::parse("#ffaa00")->argbHex(), "#FFFFAA00");
  EXPECT_EQ(ARGB::parse("#80FF0000")->argbHex(), "#80FF0000");
}

TEST(OverlayPresetTest, BuiltIns) {
  const auto presets = OverlayPreset::builtIns();
  ASSERT_EQ(presets.size(), 4u);
  EXPECT_EQ(presets[0].Id, "builtin-widget");
  EXPECT_EQ(presets[1].Id, "builtin-glass");
  EXPECT_EQ(presets[2].Id, "builtin-subtitle");
  EXPECT_EQ(presets[3].Id, "builtin-focus");
  for (const auto& preset : presets) {
    EXPECT_TRUE(preset.IsBuiltIn);
    EXPECT_EQ(preset.IsEnabled, preset.Id == "builtin-widget");
    EXPECT_EQ(preset.X, 80);
    EXPECT_EQ(preset.Y, 80);
    OverlayPreset again = preset;
    again.normalize();
    EXPECT_EQ(again, preset);
  }
  EXPECT_EQ(presets[1].GradientStops,
            (std::vector<GradientStop>{{"#EF332D4E", 0}, {"#E52B394E", 0.55}, {"#DE202438", 1}}));
  EXPECT_EQ(presets[2].GradientStops, (std::vector<GradientStop>{{"#000000", 0}, {"#000000", 1}}));
  EXPECT_EQ(presets[3].GradientStops, (std::vector<GradientStop>{{"#F4F1E9", 0}, {"#F4F1E9", 1}}));
  EXPECT_FALSE(presets[2].ShowHeader);
  EXPECT_EQ(presets[2].Alignment, "Center");
  EXPECT_EQ(OverlayPreset::builtIns(), presets);
}

TEST(OverlayPresetTest, Duplicate) {
  const OverlayPreset widget = OverlayPreset::builtIns()[0];
  OverlayPreset copy = widget.duplicate();
  EXPECT_EQ(copy.Name, "위젯 복사");
  EXPECT_NE(copy.Id, widget.Id);
  EXPECT_TRUE(uuid::isValid(copy.Id));
  EXPECT_EQ(copy.Kind, "Custom");
  EXPECT_FALSE(copy.IsEnabled);
  EXPECT_FALSE(copy.IsBuiltIn);
  // Everything else is the source's.
  copy.Id = widget.Id;
  copy.Name = widget.Name;
  copy.Kind = widget.Kind;
  copy.IsEnabled = widget.IsEnabled;
  copy.IsBuiltIn = widget.IsBuiltIn;
  EXPECT_EQ(copy, widget);

  EXPECT_EQ(widget.duplicate("가져온 이름").Name, "가져온 이름");
}

}  // namespace
}  // namespace sayloom
