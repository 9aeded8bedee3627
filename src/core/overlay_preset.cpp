#include "core/overlay_preset.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "core/hex.h"
#include "core/json_fields.h"
#include "core/unicode_text.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

constexpr std::size_t maxIdCharacters = 80;
constexpr std::size_t maxNameCharacters = 80;
constexpr std::size_t maxFontFamilyCharacters = 120;
constexpr std::size_t maxMonitorNameCharacters = 64;
constexpr std::size_t maxLanguageCharacters = 20;
constexpr std::size_t maxLanguages = 8;
constexpr std::size_t maxStops = 8;

std::string asciiUppercased(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'f') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

std::string oneOf(const std::string& value, std::initializer_list<const char*> allowed,
                  const char* fallback) {
  for (const char* candidate : allowed) {
    if (value == candidate) {
      return value;
    }
  }
  return fallback;
}

bool fitsCharacters(std::string_view text, std::size_t limit) {
  // Every character is at least one byte, so a short text needs no cluster count.
  return text.size() <= limit || unicode::characterCount(text) <= limit;
}

void normalizeStops(std::vector<GradientStop>& stops, const std::string& backgroundColor) {
  if (stops.size() > maxStops) {
    stops.resize(maxStops);
  }
  if (stops.empty()) {
    stops = {{backgroundColor, 0}, {backgroundColor, 1}};
  } else if (stops.size() == 1) {
    stops.push_back({stops.front().color, 1});
  }
  for (auto& stop : stops) {
    stop.color = ARGB::normalized(stop.color, presetDefaults::backgroundColor);
    stop.offset = clamp(stop.offset, 0, 1, 0);
  }
}

void normalizeLanguages(std::vector<std::string>& languages) {
  std::vector<std::string> kept;
  std::unordered_set<std::string> seen;
  for (const auto& language : languages) {
    std::string trimmed = unicode::trimmed(language, false);
    if (trimmed.empty() || !fitsCharacters(language, maxLanguageCharacters)) {
      continue;
    }
    std::string code = unicode::lowercased(trimmed);
    if (seen.insert(code).second) {
      kept.push_back(std::move(code));
      if (kept.size() == maxLanguages) {
        break;
      }
    }
  }
  languages = std::move(kept);
}

// JSON members that may be missing or null (the field keeps its value) but never of another type.
void readString(const nlohmann::json& in, const char* key, std::string& field) {
  if (auto value = json::optionalString(in, key)) {
    field = std::move(*value);
  }
}

void readDouble(const nlohmann::json& in, const char* key, double& field) {
  if (const auto* value = json::optionalMember(in, key)) {
    if (!value->is_number()) {
      throw json::JsonFieldError(std::string("key '") + key + "' is not a number");
    }
    field = value->get<double>();
  }
}

void readBool(const nlohmann::json& in, const char* key, bool& field) {
  if (const auto* value = json::optionalMember(in, key)) {
    if (!value->is_boolean()) {
      throw json::JsonFieldError(std::string("key '") + key + "' is not a boolean");
    }
    field = value->get<bool>();
  }
}

const nlohmann::json* optionalArray(const nlohmann::json& in, const char* key) {
  const auto* value = json::optionalMember(in, key);
  if (value != nullptr && !value->is_array()) {
    throw json::JsonFieldError(std::string("key '") + key + "' is not an array");
  }
  return value;
}

}  // namespace

double clamp(double value, double min, double max, double fallback) {
  if (!std::isfinite(value)) {
    return fallback;
  }
  return std::min(std::max(value, min), max);
}

std::optional<ARGB> ARGB::parse(std::string_view text) {
  if ((text.size() != 7 && text.size() != 9) || text.front() != '#') {
    return std::nullopt;
  }
  std::array<int, 4> bytes{};
  std::size_t count = (text.size() - 1) / 2;
  for (std::size_t i = 0; i < count; ++i) {
    int high = hex::digitValue(text[1 + 2 * i]);
    int low = hex::digitValue(text[2 + 2 * i]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    bytes[i] = high * 16 + low;
  }
  ARGB colour;
  std::size_t first = 0;
  if (count == 4) {
    colour.alpha = bytes[0] / 255.0;
    first = 1;
  }
  colour.red = bytes[first] / 255.0;
  colour.green = bytes[first + 1] / 255.0;
  colour.blue = bytes[first + 2] / 255.0;
  return colour;
}

std::string ARGB::normalized(std::string_view text, std::string_view fallback) {
  if (parse(text)) {
    return asciiUppercased(text);
  }
  return std::string(fallback);
}

std::string ARGB::argbHex() const {
  const std::array<double, 4> components{alpha, red, green, blue};
  std::array<int, 4> bytes{};
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (std::isnan(components[i])) {
      return "#FF101827";
    }
    bytes[i] = static_cast<int>(std::round(std::clamp(components[i], 0.0, 1.0) * 255));
  }
  char text[10];
  std::snprintf(text, sizeof text, "#%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

OverlayPreset::OverlayPreset()
    : Id(uuid::generate()),
      Name(presetDefaults::name),
      Kind(presetDefaults::kind),
      BackgroundColor(presetDefaults::backgroundColor),
      ForegroundColor(presetDefaults::foregroundColor),
      TranslationColor(presetDefaults::translationColor),
      BorderColor(presetDefaults::borderColor),
      BackgroundMode(presetDefaults::backgroundMode),
      FontFamily(presetDefaults::fontFamily),
      Alignment(presetDefaults::alignment) {}

void OverlayPreset::normalize() {
  if (unicode::trimmed(Id, true).empty() || !fitsCharacters(Id, maxIdCharacters)) {
    Id = uuid::generate();
  }
  // Trimmed again after the cut, so that a cut just after a space cannot leave the name untrimmed
  // (normalising twice must change nothing).
  Name = unicode::trimmed(unicode::characterPrefix(unicode::trimmed(Name, true), maxNameCharacters), true);
  if (Name.empty()) {
    Name = presetDefaults::name;
  }
  Kind = oneOf(Kind, {"Widget", "Glass", "Subtitle", "Focus", "Custom"}, presetDefaults::kind);
  BackgroundMode = oneOf(BackgroundMode, {"Solid", "Linear", "Radial"}, presetDefaults::backgroundMode);

  BackgroundColor = ARGB::normalized(BackgroundColor, presetDefaults::backgroundColor);
  ForegroundColor = ARGB::normalized(ForegroundColor, presetDefaults::foregroundColor);
  TranslationColor = ARGB::normalized(TranslationColor, presetDefaults::translationColor);
  BorderColor = ARGB::normalized(BorderColor, presetDefaults::borderColor);

  normalizeStops(GradientStops, BackgroundColor);

  GradientAngle = clamp(GradientAngle, 0, 360, 135);
  GlassIntensity = clamp(GlassIntensity, 0, 1, 0);
  BackgroundOpacity = clamp(BackgroundOpacity, 0, 1, 0.9);
  FontSize = clamp(FontSize, 14, 96, 26);
  CornerRadius = clamp(CornerRadius, 0, 60, 20);
  Padding = clamp(Padding, 4, 64, 22);
  Width = clamp(Width, 240, 3840, 520);
  Height = clamp(Height, 100, 2160, 240);
  X = clamp(X, -100000, 100000, 80);
  Y = clamp(Y, -100000, 100000, 80);

  if (unicode::trimmed(FontFamily, false).empty() || !fitsCharacters(FontFamily, maxFontFamilyCharacters)) {
    FontFamily = presetDefaults::fontFamily;
  }
  Alignment = oneOf(Alignment, {"Left", "Center", "Right"}, presetDefaults::alignment);
  if (!fitsCharacters(MonitorDeviceName, maxMonitorNameCharacters)) {
    MonitorDeviceName.clear();
  }
  normalizeLanguages(Languages);
}

OverlayPreset OverlayPreset::duplicate(std::optional<std::string> name) const {
  OverlayPreset copy = *this;
  copy.Id = uuid::generate();
  copy.Name = name ? std::move(*name) : Name + presetDefaults::duplicateSuffix;
  copy.Kind = "Custom";
  copy.IsBuiltIn = false;
  copy.IsEnabled = false;
  return copy;
}

std::vector<OverlayPreset> OverlayPreset::builtIns() {
  std::vector<OverlayPreset> presets(4);

  OverlayPreset& widget = presets[0];
  widget.Id = presetDefaults::widgetId;
  widget.Name = "위젯";
  widget.Kind = "Widget";
  widget.IsEnabled = true;
  widget.BackgroundMode = "Linear";
  widget.BackgroundColor = "#16172D";
  widget.BorderColor = "#8C86BC";
  widget.GlassIntensity = 0.28;
  widget.GradientStops = {{"#24233F", 0}, {"#101622", 1}};

  OverlayPreset& glass = presets[1];
  glass.Id = "builtin-glass";
  glass.Name = "반투명";
  glass.Kind = "Glass";
  glass.BackgroundMode = "Linear";
  glass.BackgroundColor = "#142431";
  glass.TranslationColor = "#D8E8FF";
  glass.BorderColor = "#B6B4E0";
  glass.GradientAngle = 120;
  glass.GlassIntensity = 0.65;
  glass.CornerRadius = 26;
  glass.Width = 600;
  glass.Height = 260;
  glass.GradientStops = {{"#EF332D4E", 0}, {"#E52B394E", 0.55}, {"#DE202438", 1}};

  OverlayPreset& subtitle = presets[2];
  subtitle.Id = "builtin-subtitle";
  subtitle.Name = "자막";
  subtitle.Kind = "Subtitle";
  subtitle.BackgroundColor = "#000000";
  subtitle.BorderColor = "#000000";
  subtitle.BackgroundOpacity = 0.55;
  subtitle.FontSize = 34;
  subtitle.Alignment = "Center";
  subtitle.CornerRadius = 8;
  subtitle.Width = 960;
  subtitle.Height = 200;
  subtitle.ShowHeader = false;

  OverlayPreset& focus = presets[3];
  focus.Id = "builtin-focus";
  focus.Name = "집중";
  focus.Kind = "Focus";
  focus.BackgroundColor = "#F4F1E9";
  focus.ForegroundColor = "#17282E";
  focus.TranslationColor = "#18756B";
  focus.BorderColor = "#D6D9CF";
  focus.BackgroundOpacity = 0.96;
  focus.FontSize = 30;
  focus.CornerRadius = 16;
  focus.Width = 640;
  focus.Height = 320;

  for (auto& preset : presets) {
    preset.IsBuiltIn = true;
    preset.normalize();
  }
  return presets;
}

void to_json(nlohmann::json& out, const GradientStop& stop) {
  out = nlohmann::json{{"Color", stop.color}, {"Offset", stop.offset}};
}

void from_json(const nlohmann::json& in, GradientStop& stop) {
  stop.color = json::requiredString(in, "Color");
  stop.offset = json::requiredDouble(in, "Offset");
}

void to_json(nlohmann::json& out, const OverlayPreset& preset) {
  out = nlohmann::json{
      {"Id", preset.Id},
      {"Name", preset.Name},
      {"Kind", preset.Kind},
      {"IsBuiltIn", preset.IsBuiltIn},
      {"IsEnabled", preset.IsEnabled},
      {"BackgroundColor", preset.BackgroundColor},
      {"ForegroundColor", preset.ForegroundColor},
      {"TranslationColor", preset.TranslationColor},
      {"BorderColor", preset.BorderColor},
      {"BackgroundMode", preset.BackgroundMode},
      {"GradientAngle", preset.GradientAngle},
      {"GlassIntensity", preset.GlassIntensity},
      {"GradientStops", preset.GradientStops},
      {"BackgroundOpacity", preset.BackgroundOpacity},
      {"FontFamily", preset.FontFamily},
      {"FontSize", preset.FontSize},
      {"Alignment", preset.Alignment},
      {"CornerRadius", preset.CornerRadius},
      {"Padding", preset.Padding},
      {"ShowOriginal", preset.ShowOriginal},
      {"ShowTranslations", preset.ShowTranslations},
      {"ShowHeader", preset.ShowHeader},
      {"Languages", preset.Languages},
      {"X", preset.X},
      {"Y", preset.Y},
      {"Width", preset.Width},
      {"Height", preset.Height},
      {"MonitorDeviceName", preset.MonitorDeviceName},
  };
}

void from_json(const nlohmann::json& in, OverlayPreset& preset) {
  if (!in.is_object()) {
    throw json::JsonFieldError("a preset is not an object");
  }
  OverlayPreset read;
  readString(in, "Id", read.Id);
  readString(in, "Name", read.Name);
  readString(in, "Kind", read.Kind);
  readBool(in, "IsBuiltIn", read.IsBuiltIn);
  readBool(in, "IsEnabled", read.IsEnabled);
  readString(in, "BackgroundColor", read.BackgroundColor);
  readString(in, "ForegroundColor", read.ForegroundColor);
  readString(in, "TranslationColor", read.TranslationColor);
  readString(in, "BorderColor", read.BorderColor);
  readString(in, "BackgroundMode", read.BackgroundMode);
  readDouble(in, "GradientAngle", read.GradientAngle);
  readDouble(in, "GlassIntensity", read.GlassIntensity);
  if (const auto* stops = optionalArray(in, "GradientStops")) {
    read.GradientStops.clear();
    for (const auto& stop : *stops) {
      read.GradientStops.push_back(stop.get<GradientStop>());
    }
  }
  readDouble(in, "BackgroundOpacity", read.BackgroundOpacity);
  readString(in, "FontFamily", read.FontFamily);
  readDouble(in, "FontSize", read.FontSize);
  readString(in, "Alignment", read.Alignment);
  readDouble(in, "CornerRadius", read.CornerRadius);
  readDouble(in, "Padding", read.Padding);
  readBool(in, "ShowOriginal", read.ShowOriginal);
  readBool(in, "ShowTranslations", read.ShowTranslations);
  readBool(in, "ShowHeader", read.ShowHeader);
  if (const auto* languages = optionalArray(in, "Languages")) {
    read.Languages.clear();
    for (const auto& language : *languages) {
      if (!language.is_string()) {
        throw json::JsonFieldError("key 'Languages' holds a value that is not a string");
      }
      read.Languages.push_back(language.get<std::string>());
    }
  }
  readDouble(in, "X", read.X);
  readDouble(in, "Y", read.Y);
  readDouble(in, "Width", read.Width);
  readDouble(in, "Height", read.Height);
  readString(in, "MonitorDeviceName", read.MonitorDeviceName);
  preset = std::move(read);
}

}  // namespace sayloom
