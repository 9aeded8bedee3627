#pragma once
// The studio's sidebar: the product mark, the two sections ("스튜디오", "내 노트"), the notes,
// the overlay presets with their commands, the data folder and the account. Main thread only.
#include <QWidget>

class QListWidget;

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions;
class NoteList;
class PresetList;

// The detail column's two sections.
enum class Section { studio, notes };

class Sidebar : public QWidget {
  Q_OBJECT
public:
  Sidebar(AppModel& model, AppActions& actions, QWidget* parent = nullptr);

  Section section() const;
  void setSection(Section section);
  NoteList* notes() const { return m_notes; }
  PresetList* presets() const { return m_presets; }

signals:
  void sectionChanged(Section section);

private:
  QListWidget* m_sections;
  NoteList* m_notes;
  PresetList* m_presets;
};

}  // namespace sayloom::ui
