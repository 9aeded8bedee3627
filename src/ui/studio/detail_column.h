#pragma once
// The studio's detail column: the heading of the current section with the recognition indicator,
// and the cards of the section. "스튜디오" shows the recording controls, the transcript and the
// overlay preview beside the preset inspector; "내 노트" shows the transcript and the cloud card.
// The model card stands on top of both while the speech model is missing. Main thread only.
#include <QWidget>

#include "ui/studio/sidebar.h"

class QLabel;
class QVBoxLayout;

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions;
class CloudControls;
class SpeechModelCard;
class PresetInspector;
class PreviewStage;
class RecordingControls;
class TranscriptPane;

class DetailColumn : public QWidget {
  Q_OBJECT
public:
  DetailColumn(AppModel& model, AppActions& actions, QWidget* parent = nullptr);

  Section section() const { return m_section; }
  void showSection(Section section);

  TranscriptPane* transcript() const { return m_transcript; }
  PreviewStage* preview() const { return m_preview; }
  // The preset inspector, in its card beside the preview stage.
  PresetInspector* inspector() const { return m_inspector; }

private:
  Section m_section = Section::studio;
  QLabel* m_title;
  QLabel* m_subtitle;
  RecordingControls* m_recording;
  SpeechModelCard* m_speechModelCard;
  TranscriptPane* m_transcript;
  CloudControls* m_cloud;
  QWidget* m_overlayRow;
  PreviewStage* m_preview;
  QWidget* m_inspectorSlot;
  PresetInspector* m_inspector;
  QVBoxLayout* m_cards;
};

}  // namespace sayloom::ui
