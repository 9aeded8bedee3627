#pragma once
// A two-way link between one field of the preset editor's selected preset and an inspector
// control: `get` reads the field of the selected preset, `set` runs the editor's field edit (ignored
// while the presets are locked; the stored value is normalised). Main thread only, like the editor.
#include <utility>

#include "core/overlay_preset.h"

namespace sayloom {

class PresetEditor;

template <typename T, typename Model = PresetEditor>
class PresetBinding {
public:
  PresetBinding(Model& model, T OverlayPreset::*field) : m_model(&model), m_field(field) {}

  T get() const { return m_model->selectedPreset().*m_field; }

  void set(T value) const {
    m_model->editSelectedPreset(
        [field = m_field, &value](OverlayPreset& preset) { preset.*field = std::move(value); });
  }

private:
  Model* m_model;
  T OverlayPreset::*m_field;
};

}  // namespace sayloom
