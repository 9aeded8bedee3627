// The cloud card, bound to the cloud seam of the model.
#include "ui/studio/cloud_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_model.h"
#include "app/cloud/cloud_access.h"
#include "app/notes/note_library.h"
#include "app/recording/recording_session.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"
#include "ui/shell/app_actions.h"
#include "ui/studio/choices.h"
#include "ui/studio/studio_style.h"
#include "ui/studio/view_bindings.h"

namespace sayloom::ui {

CloudControls::CloudControls(AppModel& model, AppActions& actions, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("card"));
  CloudAccess& cloud = model.cloud();
  RecordingSession& session = model.session();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 12, 14, 12);
  auto* header = new QHBoxLayout;
  layout->addLayout(header);
  auto* icon = new QLabel(this);
  icon->setPixmap(Icons::icon(QStringLiteral("cloud")).pixmap(16, 16));
  header->addWidget(icon);
  header->addWidget(makeHeading(QStringLiteral("클라우드")), 1);

  // Signed out.
  auto* signedOut = new QWidget(this);
  auto* outLayout = new QHBoxLayout(signedOut);
  outLayout->setContentsMargins(0, 0, 0, 0);
  outLayout->addWidget(makeCaption(invitation, signedOut), 1);
  auto* signIn = new QPushButton(signedOut);
  driveButton(signIn, actions.signIn());
  outLayout->addWidget(signIn);
  layout->addWidget(signedOut);

  // Signed in.
  auto* signedIn = new QWidget(this);
  auto* inLayout = new QGridLayout(signedIn);
  inLayout->setContentsMargins(0, 0, 0, 0);
  auto* workspace = new QComboBox(signedIn);
  bindWorkspaces(workspace, cloud);
  inLayout->addWidget(makeFieldLabel(QStringLiteral("워크스페이스"), workspace, signedIn), 0, 0);
  inLayout->addWidget(workspace, 0, 1);
  auto* language = new QComboBox(signedIn);
  bindChoice(
      language, choices::cloudTranslationLanguage(), &session, &RecordingSession::translationLanguageChanged,
      [&session] { return session.translationLanguage(); },
      [&session](const QString& value) { session.setTranslationLanguage(value); });
  inLayout->addWidget(makeFieldLabel(QStringLiteral("번역 언어"), language, signedIn), 0, 2);
  inLayout->addWidget(language, 0, 3);
  auto* save = new QPushButton(QStringLiteral("클라우드 저장"), signedIn);
  onClick(save, [&model] { start(model.syncSelected(false)); });
  auto* translate = new QPushButton(QStringLiteral("번역하고 저장"), signedIn);
  onClick(translate, [&model] { start(model.syncSelected(true)); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save);
  buttons->addWidget(translate);
  buttons->addStretch();
  inLayout->addLayout(buttons, 1, 0, 1, 4);
  inLayout->addWidget(makeCaption(creditsNote, signedIn), 2, 0, 1, 4);
  inLayout->setColumnStretch(1, 1);
  inLayout->setColumnStretch(3, 1);
  layout->addWidget(signedIn);

  // One of the two at a time (not a stack, which would be as tall as its tallest wrapped page).
  follow(this, &cloud, &CloudAccess::profileChanged, [signedOut, signedIn, &cloud] {
    signedOut->setVisible(!cloud.profile());
    signedIn->setVisible(cloud.profile().has_value());
  });

  // A save needs a selected note, a chosen workspace and nothing else running.
  const auto refreshSave = [=, &model, &cloud] {
    bool chosen = false;
    for (const CloudWorkspace& each : cloud.workspaces()) {
      chosen = chosen || QString::fromStdString(each.id) == cloud.workspaceID();
    }
    const bool ready = !model.busy() && chosen && model.library().selectedNote() != nullptr;
    save->setEnabled(ready);
    translate->setEnabled(ready);
  };
  follow(this, &model, &AppModel::busyChanged, refreshSave);
  follow(this, &cloud, &CloudAccess::workspacesChanged, refreshSave);
  follow(this, &cloud, &CloudAccess::workspaceIDChanged, refreshSave);
  follow(this, &model.library(), &NoteLibrary::selectedNoteIDChanged, refreshSave);
}

}  // namespace sayloom::ui
