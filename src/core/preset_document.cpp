#include "core/preset_document.h"

#include <unordered_set>

#include "core/json_fields.h"
#include "core/native_error.h"
#include "core/uuid.h"

namespace sayloom {

PresetDocument PresetDocument::read(std::string_view bytes) {
  if (bytes.size() > maxBytes) {
    throw NativeError::message(messages::presetFileTooLarge);
  }
  const nlohmann::json root = nlohmann::json::parse(bytes);
  const std::int64_t version = json::requiredInt64(root, "Version");
  if (version != 1 && version != 2) {
    throw NativeError::futureVersion(version);
  }
  const nlohmann::json& list = json::requiredMember(root, "Presets");
  if (!list.is_array()) {
    throw json::JsonFieldError("key 'Presets' is not an array");
  }
  std::vector<OverlayPreset> presets;
  presets.reserve(list.size());
  for (const auto& item : list) {
    presets.push_back(item.get<OverlayPreset>());
  }
  if (presets.size() < minPresets || presets.size() > maxPresets) {
    throw NativeError::message(messages::presetCountOutOfRange);
  }

  std::unordered_set<std::string> ids;
  for (auto& preset : presets) {
    if (version == 1) {
      // The first format had no background modes, glass or gradients.
      preset.BackgroundMode = "Solid";
      preset.GlassIntensity = 0;
      preset.GradientStops.clear();
    }
    preset.normalize();
    while (!ids.insert(preset.Id).second) {
      preset.Id = uuid::generate();
    }
  }
  return PresetDocument(std::move(presets));
}

nlohmann::json PresetDocument::toJson() const {
  return nlohmann::json{{"Version", Version}, {"Presets", Presets}};
}

std::string PresetDocument::encode() const {
  return toJson().dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace sayloom
