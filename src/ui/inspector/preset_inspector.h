#pragma once
// The form that edits the selected overlay preset field by field. Every control is bound to one
// field through the preset editor's binding, so each change is applied (normalised) to the
// preset, becomes part of an undo step, refreshes the overlay windows and schedules a save; the
// controls follow the preset whenever it changes, and are disabled while the preset file is
// locked. The only state of its own is whether the advanced section ("고급 설정") is open; it
// starts closed. Main thread only.
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/overlay_preset.h"
#include "ui/inspector/segmented_choice.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QToolButton;
class QVBoxLayout;

namespace sayloom {
class PresetEditor;
}

namespace sayloom::ui {

class GradientEditor;
class HexColorEditor;
class TextFieldLink;
class ValueSlider;

class PresetInspector : public QWidget {
  Q_OBJECT
public:
  static inline const QString title = QStringLiteral("프리셋 설정");
  // The note beneath the fields, naming the undo shortcut as this desktop writes it.
  static QString footer();
  static inline const QString advancedTitle = QStringLiteral("고급 설정");

  explicit PresetInspector(PresetEditor& editor, QWidget* parent = nullptr);
  ~PresetInspector() override;

  bool advancedOpen() const;
  void setAdvancedOpen(bool open);

  // The language filter's text as the field shows it: the list joined with ", ".
  static QString languagesText(const std::vector<std::string>& languages);
  // An edit of that field: the text split at every ",", nothing else (normalisation trims,
  // lower-cases and drops what does not belong).
  static std::vector<std::string> languagesFromText(const QString& text);

private:
  void refresh();
  QWidget* buildHeader();
  QWidget* buildBackground();
  QWidget* buildCaption();
  QWidget* buildAdvanced();

  // Each adds a labelled control for one field to `layout` and keeps it in step with the preset.
  QLineEdit* addTextField(QVBoxLayout* layout, const QString& label, std::function<QString()> read,
                          std::function<void(const QString&)> write);
  ValueSlider* addSlider(QVBoxLayout* layout, const QString& label, double OverlayPreset::*field,
                         const QString& unit, double factor, int minimum, int maximum);
  QCheckBox* addToggle(QVBoxLayout* layout, const QString& label, bool OverlayPreset::*field);
  HexColorEditor* addColor(QVBoxLayout* layout, const QString& title, std::string OverlayPreset::*field);
  SegmentedChoice* addChoice(QVBoxLayout* layout, const QString& label, std::string OverlayPreset::*field,
                             std::vector<SegmentedChoice::Option> options);

  PresetEditor& m_editor;
  std::string m_shownPresetId;
  // Run by refresh: each brings one control in line with the selected preset.
  std::vector<std::function<void(const OverlayPreset&)>> m_updaters;
  std::vector<std::unique_ptr<TextFieldLink>> m_textLinks;
  std::vector<QWidget*> m_editable;
  QWidget* m_gradientControls = nullptr;
  GradientEditor* m_gradient = nullptr;
  QToolButton* m_advancedToggle = nullptr;
  QWidget* m_advanced = nullptr;
  QAction* m_delete = nullptr;
};

}  // namespace sayloom::ui
