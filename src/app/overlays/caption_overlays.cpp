// The model's side of the caption windows.
#include "app/overlays/caption_overlays.h"

namespace sayloom {

CaptionOverlays::CaptionOverlays(std::unique_ptr<OverlayWindows> windows, QObject* parent)
    : QObject(parent), m_windows(std::move(windows)) {}

CaptionOverlays::~CaptionOverlays() = default;

void CaptionOverlays::setHidden(bool hidden) {
  if (m_hidden != hidden) {
    m_hidden = hidden;
    emit hiddenChanged();
  }
}

void CaptionOverlays::setEditing(bool editing) {
  if (m_editing != editing) {
    m_editing = editing;
    emit editingChanged();
  }
}

void CaptionOverlays::show(const std::vector<OverlayPreset>& presets, const LayoutMap& layouts,
                           const QString& original, const QString& translation, const QString& language) {
  if (m_windows) {
    m_windows->update(presets, original, translation, language, layouts);
  }
}

std::vector<ScreenInfo> CaptionOverlays::screens() const {
  return m_windows ? m_windows->screens() : std::vector<ScreenInfo>{};
}

std::optional<std::size_t> CaptionOverlays::mainScreen() const {
  return m_windows ? m_windows->mainScreen() : std::nullopt;
}

}  // namespace sayloom
