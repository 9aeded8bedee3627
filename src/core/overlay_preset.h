#pragma once
// The overlay preset: the look, content and size of one overlay window, with the rules that force
// every field into range, the built-in presets and the colour text format. Plain values compared
// field by field. Character counts in the rules are user-perceived characters (grapheme clusters).
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sayloom {

// `value` unless it is NaN or infinite (then `fallback`), raised to `min` and lowered to `max`.
double clamp(double value, double min, double max, double fallback);

// A colour as red, green, blue and alpha in [0, 1], made from colour text: "#RRGGBB" (alpha 1) or
// "#AARRGGBB", ASCII hexadecimal digits of either case, nothing else.
struct ARGB {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  bool operator==(const ARGB&) const = default;

  // The colour of valid colour text, or nothing.
  static std::optional<ARGB> parse(std::string_view text);
  // Valid colour text upper-cased (and otherwise as written), else `fallback`.
  static std::string normalized(std::string_view text, std::string_view fallback);
  // "#AARRGGBB" of the colour, each component times 255 rounded half away from zero. Components
  // are sRGB; values outside [0, 1] are brought into it. A colour with a component that is not a
  // number gives "#FF101827".
  std::string argbHex() const;
};

struct GradientStop {
  std::string color;
  double offset = 0;

  bool operator==(const GradientStop&) const = default;
};

struct OverlayPreset {
  // A new preset with every default and a new random Id.
  OverlayPreset();

  std::string Id;
  std::string Name;
  std::string Kind;
  bool IsBuiltIn = false;
  bool IsEnabled = false;
  std::string BackgroundColor;
  std::string ForegroundColor;
  std::string TranslationColor;
  std::string BorderColor;
  std::string BackgroundMode;
  double GradientAngle = 135;
  double GlassIntensity = 0;
  std::vector<GradientStop> GradientStops;
  double BackgroundOpacity = 0.9;
  std::string FontFamily;
  double FontSize = 26;
  std::string Alignment;
  double CornerRadius = 20;
  double Padding = 22;
  bool ShowOriginal = true;
  bool ShowTranslations = true;
  bool ShowHeader = true;
  std::vector<std::string> Languages;
  double X = 80;
  double Y = 80;
  double Width = 520;
  double Height = 240;
  std::string MonitorDeviceName;

  bool operator==(const OverlayPreset&) const = default;

  // Brings every field into range, in place. Idempotent; a valid Id is never replaced.
  void normalize();

  // A copy with a new Id, named `name` or else this preset's name followed by " 복사", of kind
  // "Custom", not built in and disabled; every other field copied. Not normalised.
  OverlayPreset duplicate(std::optional<std::string> name = std::nullopt) const;

  // The four built-in presets (widget, glass, subtitle, focus), freshly built and normalised.
  static std::vector<OverlayPreset> builtIns();
};

namespace presetDefaults {
inline constexpr const char* name = "새 프리셋";
inline constexpr const char* kind = "Custom";
inline constexpr const char* backgroundColor = "#101827";
inline constexpr const char* foregroundColor = "#F5F8FF";
inline constexpr const char* translationColor = "#94D8D2";
inline constexpr const char* borderColor = "#40526A";
inline constexpr const char* backgroundMode = "Solid";
inline constexpr const char* fontFamily = "Malgun Gothic";
inline constexpr const char* alignment = "Left";
inline constexpr const char* duplicateSuffix = " 복사";
inline constexpr const char* widgetId = "builtin-widget";
}  // namespace presetDefaults

// JSON: every one of the 28 keys (and both stop keys) is written. Reading fills a missing or null
// preset key with its default; a value of the wrong JSON type throws json::JsonFieldError; both stop
// keys are required. Reading does not normalise.
void to_json(nlohmann::json& out, const GradientStop& stop);
void from_json(const nlohmann::json& in, GradientStop& stop);
void to_json(nlohmann::json& out, const OverlayPreset& preset);
void from_json(const nlohmann::json& in, OverlayPreset& preset);

}  // namespace sayloom
