#pragma once
// What a caption's drawing depends on besides the preset and the text: the two accessibility
// settings of the desktop and whether the caller wants the background flat and opaque.
namespace sayloom::ui {

struct RenderOptions {
  // The desktop asks for increased contrast: the border is drawn 2 points wide instead of 0.7.
  bool increasedContrast = false;
  // The desktop or the user asks for less transparency: the background is its flat colour at full
  // opacity, without gradient or sheen.
  bool reduceTransparency = false;
  // The caller wants the flat, opaque background whatever the settings (overlay windows never).
  bool forceOpaque = false;

  bool opaque() const { return reduceTransparency || forceOpaque; }

  bool operator==(const RenderOptions&) const = default;
};

}  // namespace sayloom::ui
