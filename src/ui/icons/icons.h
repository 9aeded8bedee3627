#pragma once
// The icons of the views, named by the symbolic names the layout uses ("record.circle", "folder",
// "rectangle.stack" ...). One table maps each to a freedesktop icon-theme name and to a drawing
// bundled with the program, used when the desktop's theme lacks the icon. Main thread only.
#include <QIcon>
#include <QString>
#include <span>

namespace sayloom::ui {

class Icons {
public:
  struct Entry {
    const char* symbolic;  // the layout's name
    const char* theme;     // the freedesktop icon-theme name
    const char* bundled;   // the bundled drawing's file name (resource ":/sayloom/icons/")
  };

  // The icon of `symbolic`: the theme's when the desktop has it, else the bundled one. An unknown
  // name gives a null icon.
  static QIcon icon(const QString& symbolic);
  // Always the bundled drawing (the tray uses it so both states look alike on every desktop).
  static QIcon bundled(const QString& symbolic);

  static std::span<const Entry> table();

  // The icon of a preset kind: "Widget", "Glass", "Subtitle", "Focus", anything else.
  static QString presetKindSymbol(const QString& kind);
};

}  // namespace sayloom::ui
