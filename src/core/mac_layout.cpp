#include "core/mac_layout.h"

#include <algorithm>
#include <cmath>

#include "core/atomic_file.h"
#include "core/json_fields.h"
#include "core/overlay_preset.h"

namespace sayloom {

void to_json(nlohmann::json& out, const MacLayout& layout) {
  out = nlohmann::json{{"x", layout.x},           {"y", layout.y},         {"width", layout.width},
                       {"height", layout.height}, {"scale", layout.scale}, {"displayID", layout.displayID}};
}

void from_json(const nlohmann::json& in, MacLayout& layout) {
  MacLayout read;
  read.x = json::requiredDouble(in, "x");
  read.y = json::requiredDouble(in, "y");
  read.width = json::requiredDouble(in, "width");
  read.height = json::requiredDouble(in, "height");
  read.scale = json::requiredDouble(in, "scale");
  read.displayID = json::requiredString(in, "displayID");
  layout = std::move(read);
}

namespace LayoutFile {

std::filesystem::path url(const std::filesystem::path& root) { return root / fileName; }

LayoutMap decode(std::string_view bytes) {
  const nlohmann::json root = nlohmann::json::parse(bytes);
  if (!root.is_object()) {
    throw json::JsonFieldError("the layout file does not hold an object");
  }
  LayoutMap layouts;
  for (const auto& [id, value] : root.items()) {
    layouts.emplace(id, value.get<MacLayout>());
  }
  return layouts;
}

LayoutMap read(const std::filesystem::path& root) noexcept {
  try {
    return decode(AtomicFile::readBytes(url(root)));
  } catch (...) {
    return {};
  }
}

void write(const LayoutMap& layouts, const std::filesystem::path& root) {
  nlohmann::json out = nlohmann::json::object();
  for (const auto& [id, layout] : layouts) {
    if (std::isfinite(layout.x) && std::isfinite(layout.y) && std::isfinite(layout.width) &&
        std::isfinite(layout.height) && std::isfinite(layout.scale)) {
      out[id] = layout;
    }
  }
  AtomicFile::write(out, url(root));
}

}  // namespace LayoutFile

bool recordLayout(LayoutMap& layouts, std::vector<OverlayPreset>& presets, const std::string& id,
                  const Rect& frame, const std::vector<ScreenInfo>& screens,
                  std::optional<std::size_t> mainScreen) {
  const auto intersects = [&frame](const Rect& screen) {
    const double left =
        std::max(std::min(frame.x, frame.x + frame.width), std::min(screen.x, screen.x + screen.width));
    const double right =
        std::min(std::max(frame.x, frame.x + frame.width), std::max(screen.x, screen.x + screen.width));
    const double bottom =
        std::max(std::min(frame.y, frame.y + frame.height), std::min(screen.y, screen.y + screen.height));
    const double top =
        std::min(std::max(frame.y, frame.y + frame.height), std::max(screen.y, screen.y + screen.height));
    return right > left && top > bottom;
  };
  const ScreenInfo* screen = nullptr;
  for (const auto& candidate : screens) {
    if (intersects(candidate.frame)) {
      screen = &candidate;
      break;
    }
  }
  if (screen == nullptr && mainScreen && *mainScreen < screens.size()) {
    screen = &screens[*mainScreen];
  }

  MacLayout layout{frame.x, frame.y, frame.width, frame.height, 1, ""};
  if (screen != nullptr) {
    layout.scale = screen->scale;
    if (screen->displayNumber) {
      layout.displayID = std::to_string(*screen->displayNumber);
    }
  }
  layouts.insert_or_assign(id, layout);

  auto match =
      std::find_if(presets.begin(), presets.end(), [&id](const OverlayPreset& p) { return p.Id == id; });
  if (match == presets.end()) {
    return false;
  }
  match->Width = frame.width;
  match->Height = frame.height;
  match->normalize();
  return true;
}

}  // namespace sayloom
