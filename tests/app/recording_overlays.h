#pragma once
// A stand-in for the overlay windows that records what the model asks of them, and lets a test
// report a frame or press the shortcut as the windows would.
#include "app/overlays/overlay_windows.h"

namespace sayloom::test {

class RecordingOverlays final : public OverlayWindows {
public:
  void update(const std::vector<OverlayPreset>& presets, const QString& original, const QString& translation,
              const QString&, const LayoutMap& layouts) override {
    if (updates == 0) {
      firstLayouts = layouts;
    }
    ++updates;
    shownPresets = presets;
    shownOriginal = original;
    shownTranslation = translation;
    hiddenAtUpdate = hidden;
  }
  std::vector<ScreenInfo> screens() const override { return screenList; }
  std::optional<std::size_t> mainScreen() const override {
    return screenList.empty() ? std::nullopt : std::optional<std::size_t>(0);
  }
  void setHidden(bool on) override { hidden = on; }
  void setManualEdit(bool on) override { manualEdit = on; }
  void recoverAll() override { ++recoveries; }
  bool registerShortcut(Qt::Key key) override {
    registered.push_back(key);
    return !refuseShortcuts;
  }
  void setFrameHandler(FrameHandler handler) override { frameHandler = std::move(handler); }
  void setToggleHandler(std::function<void()> handler) override { toggleHandler = std::move(handler); }

  std::vector<ScreenInfo> screenList{ScreenInfo{{0, 0, 1440, 900}, {0, 0, 1440, 875}, 2, 1}};
  int updates = 0;
  LayoutMap firstLayouts;  // what the first windows were placed from
  std::vector<OverlayPreset> shownPresets;
  QString shownOriginal;
  QString shownTranslation;
  bool hidden = false;
  bool hiddenAtUpdate = false;
  bool manualEdit = false;
  int recoveries = 0;
  std::vector<Qt::Key> registered;
  bool refuseShortcuts = false;
  FrameHandler frameHandler;
  std::function<void()> toggleHandler;
};

}  // namespace sayloom::test
