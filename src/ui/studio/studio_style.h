#pragma once
// The few visual building blocks the studio's views share: cards, headings, muted captions, key
// caps and the data folder button's action. Main thread only.
#include <QFrame>
#include <QLabel>
#include <QString>
#include <filesystem>

class QBoxLayout;

namespace sayloom::ui {

// A rounded, lightly bordered panel holding one group of controls, with a vertical layout.
QFrame* makeCard(QWidget* parent = nullptr);
// A bold heading line.
QLabel* makeHeading(const QString& text, QWidget* parent = nullptr, int pointSizeDelta = 1);
// A smaller line in a muted colour that wraps.
QLabel* makeCaption(const QString& text, QWidget* parent = nullptr);
// A keyboard key drawn as a small bordered cap.
QLabel* makeKeyCap(const QString& key, QWidget* parent = nullptr);
// A label for a form row, standing for the control it names (accessible name, buddy).
QLabel* makeFieldLabel(const QString& text, QWidget* control, QWidget* parent = nullptr);

// Opens the data folder in the desktop's file manager, making it first when it is missing.
void openDataFolder(const std::filesystem::path& root);

// The style sheet of the studio window and the settings window.
QString studioStyleSheet();

}  // namespace sayloom::ui
