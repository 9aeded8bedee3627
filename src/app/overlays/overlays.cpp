// The model's side of the overlay windows.
#include "app/overlays/overlays.h"

namespace sayloom {

Overlays::Overlays(std::unique_ptr<OverlayWindows> windows, QObject* parent)
    : QObject(parent), m_windows(std::move(windows)) {
  if (m_windows) {
    // The windows die with this object, so their handlers never outlive it.
    m_windows->setFrameHandler(
        [this](const QString& id, const Rect& frame) { emit frameChanged(id, frame); });
    m_windows->setToggleHandler([this] { emit shortcutPressed(); });
  }
}

Overlays::~Overlays() = default;

void Overlays::setHidden(bool hidden) {
  if (m_hidden != hidden) {
    m_hidden = hidden;
    if (m_windows) {
      m_windows->setHidden(hidden);
    }
    emit hiddenChanged();
  }
}

void Overlays::setEditing(bool editing) {
  if (m_editing != editing) {
    m_editing = editing;
    if (m_windows) {
      m_windows->setManualEdit(editing);
    }
    emit editingChanged();
  }
}

void Overlays::recoverAll() {
  if (m_windows) {
    m_windows->recoverAll();
  }
}

bool Overlays::registerShortcut(int index) {
  return !m_windows || m_windows->registerShortcut(index != 0 ? Qt::Key_O : Qt::Key_S);
}

void Overlays::show(const std::vector<OverlayPreset>& presets, const LayoutMap& layouts,
                    const QString& original, const QString& translation, const QString& language) {
  if (m_windows) {
    m_windows->update(presets, original, translation, language, layouts);
  }
}

std::vector<ScreenInfo> Overlays::screens() const {
  return m_windows ? m_windows->screens() : std::vector<ScreenInfo>{};
}

std::optional<std::size_t> Overlays::mainScreen() const {
  return m_windows ? m_windows->mainScreen() : std::nullopt;
}

}  // namespace sayloom
