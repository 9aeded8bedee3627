// The symbolic-name table of the icons and the theme lookup with its bundled fallback.
#include "ui/icons/icons.h"

#include <QFile>
#include <array>

// The resources are linked into a static library; this pulls them in.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace sayloom::ui {

namespace {

constexpr std::array<Icons::Entry, 31> entries{{
    {"waveform", "audio-x-generic-symbolic", "waveform.svg"},
    {"record.circle", "media-record-symbolic", "record-circle.svg"},
    {"record.circle.fill", "media-record", "record-circle-fill.svg"},
    {"stop.fill", "media-playback-stop-symbolic", "stop-fill.svg"},
    {"mic", "audio-input-microphone-symbolic", "mic.svg"},
    {"speaker.wave.2", "audio-speakers-symbolic", "speaker-wave-2.svg"},
    {"arrow.clockwise", "view-refresh-symbolic", "arrow-clockwise.svg"},
    {"arrow.down.circle", "folder-download-symbolic", "arrow-down-circle.svg"},
    {"ellipsis.circle", "view-more-symbolic", "ellipsis-circle.svg"},
    {"ellipsis", "view-more-horizontal-symbolic", "ellipsis.svg"},
    {"folder", "folder-symbolic", "folder.svg"},
    {"rectangle.on.rectangle", "view-reveal-symbolic", "rectangle-on-rectangle.svg"},
    {"rectangle.on.rectangle.slash", "view-conceal-symbolic", "rectangle-on-rectangle-slash.svg"},
    {"slider.horizontal.3", "preferences-system-symbolic", "slider-horizontal-3.svg"},
    {"rectangle.stack", "view-paged-symbolic", "rectangle-stack.svg"},
    {"drop", "weather-showers-symbolic", "drop.svg"},
    {"captions.bubble", "media-view-subtitles-symbolic", "captions-bubble.svg"},
    {"viewfinder", "zoom-fit-best-symbolic", "viewfinder.svg"},
    {"paintpalette", "applications-graphics-symbolic", "paintpalette.svg"},
    {"plus", "list-add-symbolic", "plus.svg"},
    {"minus.circle", "list-remove-symbolic", "minus-circle.svg"},
    {"text.alignleft", "format-justify-left-symbolic", "text-alignleft.svg"},
    {"text.aligncenter", "format-justify-center-symbolic", "text-aligncenter.svg"},
    {"text.alignright", "format-justify-right-symbolic", "text-alignright.svg"},
    {"person.crop.circle", "avatar-default-symbolic", "person-crop-circle.svg"},
    {"square.and.arrow.up", "document-save-symbolic", "square-and-arrow-up.svg"},
    {"globe", "web-browser-symbolic", "globe.svg"},
    {"xmark", "window-close-symbolic", "xmark.svg"},
    {"power", "application-exit-symbolic", "power.svg"},
    {"macwindow", "window-restore-symbolic", "macwindow.svg"},
    {"cloud", "weather-overcast-symbolic", "cloud.svg"},
}};

const Icons::Entry* find(const QString& symbolic) {
  for (const Icons::Entry& entry : entries) {
    if (symbolic == QLatin1String(entry.symbolic)) {
      return &entry;
    }
  }
  return nullptr;
}

QIcon bundledIcon(const Icons::Entry& entry) {
  static const bool loaded = [] {
    initIconResources();
    return true;
  }();
  (void)loaded;
  return QIcon(QStringLiteral(":/sayloom/icons/") + QLatin1String(entry.bundled));
}

}  // namespace

QIcon Icons::icon(const QString& symbolic) {
  const Entry* entry = find(symbolic);
  if (entry == nullptr) {
    return {};
  }
  return QIcon::fromTheme(QLatin1String(entry->theme), bundledIcon(*entry));
}

QIcon Icons::bundled(const QString& symbolic) {
  const Entry* entry = find(symbolic);
  return entry == nullptr ? QIcon() : bundledIcon(*entry);
}

std::span<const Icons::Entry> Icons::table() { return entries; }

QString Icons::presetKindSymbol(const QString& kind) {
  if (kind == QLatin1String("Widget")) {
    return QStringLiteral("rectangle.stack");
  }
  if (kind == QLatin1String("Glass")) {
    return QStringLiteral("drop");
  }
  if (kind == QLatin1String("Subtitle")) {
    return QStringLiteral("captions.bubble");
  }
  if (kind == QLatin1String("Focus")) {
    return QStringLiteral("viewfinder");
  }
  return QStringLiteral("paintpalette");
}

}  // namespace sayloom::ui
