// The recording card: each control beside the model property it shows and the command it runs.
#include "ui/studio/recording_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/app_model.h"
#include "app/cloud/cloud_access.h"
#include "app/export/note_exporter.h"
#include "app/recording/recording_session.h"
#include "core/native_note.h"
#include "ui/binding.h"
#include "ui/shell/app_actions.h"
#include "ui/studio/choices.h"
#include "ui/studio/studio_style.h"
#include "ui/studio/view_bindings.h"

namespace sayloom::ui {

RecordingControls::RecordingControls(AppModel& model, AppActions& actions, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("card"));
  RecordingSession& session = model.session();
  CloudAccess& cloud = model.cloud();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 12, 14, 12);
  layout->setSpacing(8);
  layout->addWidget(makeHeading(QStringLiteral("녹음")));

  auto* form = new QGridLayout;
  form->setHorizontalSpacing(10);
  form->setVerticalSpacing(6);
  layout->addLayout(form);
  int row = 0;
  const auto addRow = [&](const QString& label, QWidget* control, int column = 0) {
    form->addWidget(makeFieldLabel(label, control, this), row, column);
    form->addWidget(control, row, column + 1);
  };

  // The title of the next recording; an empty or blank title gives "새 음성 노트".
  auto* title = new QLineEdit(this);
  title->setPlaceholderText(QString::fromUtf8(defaultNoteTitle));
  follow(title, &session, &RecordingSession::titleChanged, [title, &session] {
    if (title->text() != session.title()) {
      title->setText(session.title());
    }
  });
  connect(title, &QLineEdit::textEdited, &session, &RecordingSession::setTitle);
  form->addWidget(makeFieldLabel(QStringLiteral("제목"), title, this), row, 0);
  form->addWidget(title, row, 1, 1, 3);
  ++row;

  auto* source = new QComboBox(this);
  bindChoice(
      source, choices::inputSource(), &session, &RecordingSession::sourceChanged,
      [&session] { return session.source(); },
      [&session, &model](const QString& value) {
        session.setSource(value);
        // The displays are listed afresh each time system audio is chosen.
        if (value == QLatin1String("system")) {
          start(model.loadDisplays());
        }
      });
  addRow(QStringLiteral("입력"), source);

  auto* language = new QComboBox(this);
  bindChoice(
      language, choices::recognitionLanguage(), &session, &RecordingSession::languageChanged,
      [&session] { return session.language(); },
      [&session](const QString& value) { session.setLanguage(value); });
  addRow(QStringLiteral("인식 언어"), language, 2);
  ++row;

  // Shown for system audio only: "디스플레이 N" for every display the window system lists.
  auto* display = new QComboBox(this);
  auto* displayLabel = makeFieldLabel(QStringLiteral("녹음할 화면 선택"), display, this);
  form->addWidget(displayLabel, row, 0);
  form->addWidget(display, row, 1, 1, 3);
  const auto refreshDisplays = [display, &session] {
    std::vector<Choice> list;
    for (const Display& each : session.displays()) {
      list.push_back(
          {QStringLiteral("디스플레이 %1").arg(each.identifier), QString::number(each.identifier)});
    }
    setChoices(display, list);
    showChoice(display, QString::number(session.displayID()));
  };
  follow(display, &session, &RecordingSession::displaysChanged, refreshDisplays);
  follow(display, &session, &RecordingSession::displayIDChanged, refreshDisplays);
  follow(display, &session, &RecordingSession::sourceChanged, [display, displayLabel, &session] {
    const bool system = session.source() == QLatin1String("system");
    display->setVisible(system);
    displayLabel->setVisible(system);
  });
  connect(display, &QComboBox::activated, display,
          [display, &session](int index) { session.setDisplayID(display->itemData(index).toUInt()); });
  ++row;

  auto* live = new QCheckBox(QStringLiteral("실시간 번역"), this);
  bindToggle(
      live, &session, &RecordingSession::liveTranslationChanged,
      [&session] { return session.liveTranslation(); },
      [&session](bool on) { session.setLiveTranslation(on); });
  form->addWidget(live, row, 0, 1, 4);
  ++row;

  auto* target = new QComboBox(this);
  bindChoice(
      target, choices::liveTranslationLanguage(), &session, &RecordingSession::translationLanguageChanged,
      [&session] { return session.translationLanguage(); },
      [&session](const QString& value) { session.setTranslationLanguage(value); });
  addRow(QStringLiteral("번역 언어"), target);

  // The account's workspaces; "선택하세요" when there is none to choose.
  auto* workspace = new QComboBox(this);
  bindWorkspaces(workspace, cloud);
  addRow(QStringLiteral("워크스페이스"), workspace, 2);
  ++row;
  form->setColumnStretch(1, 1);
  form->setColumnStretch(3, 1);

  // The level of the input and the time recorded.
  auto* meterRow = new QHBoxLayout;
  layout->addLayout(meterRow);
  auto* meter = new QProgressBar(this);
  meter->setRange(0, 100);
  meter->setTextVisible(false);
  meter->setMaximumHeight(10);
  follow(meter, &session, &RecordingSession::levelChanged,
         [meter, &session] { meter->setValue(qBound(0, qRound(session.level() * 100), 100)); });
  meterRow->addWidget(makeFieldLabel(QStringLiteral("입력 음량"), meter, this));
  meterRow->addWidget(meter, 1);
  auto* elapsed = new QLabel(this);
  // Assistive technology reads the time itself as the name, and what it is as the description.
  elapsed->setAccessibleDescription(QStringLiteral("경과 시간"));
  QFont mono = elapsed->font();
  mono.setStyleHint(QFont::Monospace);
  mono.setFamily(QStringLiteral("monospace"));
  elapsed->setFont(mono);
  follow(elapsed, &session, &RecordingSession::elapsedChanged,
         [elapsed, &session] { elapsed->setText(NoteExporter::duration(session.elapsed())); });
  meterRow->addWidget(elapsed);

  auto* record = new QPushButton(this);
  record->setMinimumHeight(34);
  driveButton(record, actions.record());
  layout->addWidget(record);

  auto* line = makeCaption(QString(), this);
  follow(line, &session, &RecordingSession::liveTranslationChanged,
         [line, &session] { line->setText(session.liveTranslation() ? translationLine : localLine); });
  layout->addWidget(line);

  // What the next recording will be is fixed while one runs.
  const auto refreshEnabled = [=, &session, &cloud] {
    const bool idle = !session.recording();
    for (QWidget* control : std::initializer_list<QWidget*>{title, source, language, display, live}) {
      control->setEnabled(idle);
    }
    target->setEnabled(idle && session.liveTranslation());
    workspace->setEnabled(idle && session.liveTranslation() && !cloud.workspaces().empty());
  };
  follow(this, &session, &RecordingSession::recordingChanged, refreshEnabled);
  follow(this, &session, &RecordingSession::liveTranslationChanged, refreshEnabled);
  follow(this, &cloud, &CloudAccess::workspacesChanged, refreshEnabled);
}

}  // namespace sayloom::ui
