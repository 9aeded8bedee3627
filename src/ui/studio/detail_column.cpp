// The detail column: section heading, recognition indicator and the section's cards.
#include "ui/studio/detail_column.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/app_model.h"
#include "app/presets/preset_editor.h"
#include "app/recognition/recognition_queue.h"
#include "ui/binding.h"
#include "ui/inspector/preset_inspector.h"
#include "ui/studio/cloud_controls.h"
#include "ui/studio/preview_stage.h"
#include "ui/studio/recording_controls.h"
#include "ui/studio/speech_model_card.h"
#include "ui/studio/studio_style.h"
#include "ui/studio/transcript_pane.h"

namespace sayloom::ui {

DetailColumn::DetailColumn(AppModel& model, AppActions& actions, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The heading of the section, and the indicator while transcripts are being made.
  auto* heading = new QHBoxLayout;
  heading->setContentsMargins(20, 14, 20, 8);
  layout->addLayout(heading);
  auto* titles = new QVBoxLayout;
  titles->setSpacing(2);
  heading->addLayout(titles, 1);
  m_title = makeHeading(QString(), this, 5);
  titles->addWidget(m_title);
  m_subtitle = makeCaption(QString(), this);
  titles->addWidget(m_subtitle);
  auto* busy = new QWidget(this);
  auto* busyLayout = new QHBoxLayout(busy);
  busyLayout->setContentsMargins(0, 0, 0, 0);
  auto* spinner = new QProgressBar(busy);
  spinner->setRange(0, 0);
  spinner->setTextVisible(false);
  spinner->setFixedSize(60, 8);
  spinner->setAccessibleName(QStringLiteral("대본 처리 중"));
  busyLayout->addWidget(spinner);
  busyLayout->addWidget(makeCaption(QStringLiteral("대본 처리 중"), busy));
  heading->addWidget(busy, 0, Qt::AlignVCenter);
  follow(busy, &model.recognition(), &RecognitionQueue::recognizingChanged,
         [busy, &model] { busy->setVisible(model.recognition().recognizing()); });

  // The cards, scrolled when the window is too small for them.
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(scroll, 1);
  auto* content = new QWidget(scroll);
  scroll->setWidget(content);
  m_cards = new QVBoxLayout(content);
  m_cards->setContentsMargins(20, 4, 20, 20);
  m_cards->setSpacing(12);

  m_speechModelCard = new SpeechModelCard(model, content);
  m_cards->addWidget(m_speechModelCard);
  m_recording = new RecordingControls(model, actions, content);
  m_cards->addWidget(m_recording);
  m_transcript = new TranscriptPane(model, content);
  m_transcript->setMinimumHeight(240);
  m_cards->addWidget(m_transcript, 1);
  m_cloud = new CloudControls(model, actions, content);
  m_cards->addWidget(m_cloud);

  m_overlayRow = new QWidget(content);
  auto* overlayLayout = new QHBoxLayout(m_overlayRow);
  overlayLayout->setContentsMargins(0, 0, 0, 0);
  overlayLayout->setSpacing(12);
  m_preview = new PreviewStage(model.presetEditor(), m_overlayRow);
  m_preview->setMinimumHeight(330);
  overlayLayout->addWidget(m_preview, 3);
  m_inspectorSlot = makeCard(m_overlayRow);
  m_inspectorSlot->setObjectName(QStringLiteral("card"));
  m_inspectorSlot->setAccessibleName(QStringLiteral("프리셋 설정"));
  m_inspectorSlot->setMinimumWidth(260);
  m_inspectorSlot->setMinimumHeight(480);
  m_inspector = new PresetInspector(model.presetEditor(), m_inspectorSlot);
  m_inspectorSlot->layout()->addWidget(m_inspector);
  overlayLayout->addWidget(m_inspectorSlot, 2);
  m_cards->addWidget(m_overlayRow);

  showSection(Section::studio);
}

void DetailColumn::showSection(Section section) {
  m_section = section;
  const bool studio = section == Section::studio;
  m_title->setText(studio ? QStringLiteral("말에 집중하세요.")
                          : QStringLiteral("남겨둔 이야기를 이어가세요."));
  m_subtitle->setText(studio ? QStringLiteral("목소리는 기록하고, 자막은 원하는 곳에.")
                             : QStringLiteral("원본 오디오와 대본은 이 컴퓨터에 보관됩니다."));
  m_recording->setVisible(studio);
  m_overlayRow->setVisible(studio);
  m_cloud->setVisible(!studio);
}

}  // namespace sayloom::ui
