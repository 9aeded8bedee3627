#pragma once
// Where each overlay window stands: one stored frame per preset Id, kept in "layout-macos.json" in
// the data directory. Entries are added or replaced, never removed. Plain values and stateless
// functions; any thread.
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/overlay_geometry.h"

namespace sayloom {

struct OverlayPreset;

struct MacLayout {
  double x = 0;  // left edge
  double y = 0;  // bottom edge
  double width = 0;
  double height = 0;
  double scale = 1;       // device pixels per point of the window's screen
  std::string displayID;  // that screen's number as decimal text; empty when unknown

  bool operator==(const MacLayout&) const = default;
};

using LayoutMap = std::map<std::string, MacLayout>;

// All six keys are required; a missing key or a value of the wrong type throws json::JsonFieldError.
void to_json(nlohmann::json& out, const MacLayout& layout);
void from_json(const nlohmann::json& in, MacLayout& layout);

namespace LayoutFile {

inline constexpr const char* fileName = "layout-macos.json";

std::filesystem::path url(const std::filesystem::path& root);

// Decodes the file's bytes; throws on anything that is not an object of valid layouts.
LayoutMap decode(std::string_view bytes);

// The stored map, or an empty map on any failure (no file, unreadable, damaged). The file is left
// alone either way.
LayoutMap read(const std::filesystem::path& root) noexcept;

// Replaces the file with `layouts` through the atomic JSON writer. An entry holding a value that
// is not finite is left out, since JSON cannot hold it and would make the whole file unreadable.
void write(const LayoutMap& layouts, const std::filesystem::path& root);

}  // namespace LayoutFile

// Records the frame of preset `id`'s window after the user moved or resized it: stores a layout
// (with the first screen whose frame it touches, else the main screen, for scale and display
// number) under `id`, and when a preset with that Id exists gives it the frame's size and normalises
// it. Returns whether a preset matched. Its position stays in the layout only.
bool recordLayout(LayoutMap& layouts, std::vector<OverlayPreset>& presets, const std::string& id,
                  const Rect& frame, const std::vector<ScreenInfo>& screens,
                  std::optional<std::size_t> mainScreen);

}  // namespace sayloom
