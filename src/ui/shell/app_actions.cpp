// The application's commands: each action's text, shortcut, icon, enabled rule and effect.
#include "ui/shell/app_actions.h"

#include <QAction>

#include "app/app_model.h"
#include "app/app_status.h"
#include "app/cloud/cloud_access.h"
#include "app/notes/note_library.h"
#include "app/overlays/overlays.h"
#include "app/recording/recording_session.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"
#include "ui/studio/studio_style.h"

namespace sayloom::ui {

AppActions::AppActions(AppModel& model, Shell shell, QObject* parent)
    : QObject(parent),
      m_record(new QAction(this)),
      m_hideOverlays(new QAction(this)),
      m_hideOverlaysToggle(new QAction(QStringLiteral("모든 오버레이 숨기기"), this)),
      m_editOverlays(new QAction(this)),
      m_editOverlaysToggle(new QAction(QStringLiteral("오버레이 편집"), this)),
      m_recoverOverlays(new QAction(QStringLiteral("모든 오버레이 화면 안으로 이동"), this)),
      m_openDataFolder(
          new QAction(Icons::icon(QStringLiteral("folder")), QStringLiteral("저장 폴더 열기"), this)),
      m_signIn(new QAction(this)),
      m_settings(
          new QAction(Icons::icon(QStringLiteral("slider.horizontal.3")), QStringLiteral("설정…"), this)),
      m_quit(new QAction(Icons::icon(QStringLiteral("power")), QStringLiteral("종료"), this)) {
  RecordingSession& session = model.session();
  AppStatus& status = model.appStatus();
  Overlays& overlays = model.overlays();
  CloudAccess& cloud = model.cloud();

  // Record or stop. Stopping waits for no one but other work (an export, a download); starting
  // also waits for the last recording's chunks to be recognised.
  const auto refreshRecord = [this, &model, &session, &status] {
    const bool recording = session.recording();
    m_record->setText(recording ? QStringLiteral("녹음 중지") : QStringLiteral("녹음 시작"));
    m_record->setIcon(Icons::icon(recording ? QStringLiteral("stop.fill") : QStringLiteral("record.circle")));
    m_record->setEnabled(recording ? !status.working() : !model.busy());
  };
  follow(m_record, &session, &RecordingSession::recordingChanged, refreshRecord);
  follow(m_record, &status, &AppStatus::workingChanged, refreshRecord);
  follow(m_record, &model, &AppModel::busyChanged, refreshRecord);
  onTrigger(m_record, [&model, &session] {
    start(session.recording() ? model.stopRecording() : model.startRecording());
  });

  // Hide or show every overlay: the label says what a click does.
  m_hideOverlays->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  follow(m_hideOverlays, &overlays, &Overlays::hiddenChanged, [this, &overlays] {
    const bool hidden = overlays.hidden();
    m_hideOverlays->setText(hidden ? QStringLiteral("모든 오버레이 표시")
                                   : QStringLiteral("모든 오버레이 숨기기"));
    m_hideOverlays->setIconText(hidden ? QStringLiteral("오버레이 표시") : QStringLiteral("오버레이 숨기기"));
    m_hideOverlays->setIcon(Icons::icon(hidden ? QStringLiteral("rectangle.on.rectangle")
                                               : QStringLiteral("rectangle.on.rectangle.slash")));
  });
  onTrigger(m_hideOverlays, [&model] { model.toggleHidden(); });
  bindToggle(
      m_hideOverlaysToggle, &overlays, &Overlays::hiddenChanged, [&overlays] { return overlays.hidden(); },
      [&model, &overlays](bool hide) {
        if (hide != overlays.hidden()) {
          model.toggleHidden();
        }
      });

  // Edit mode: the overlays take the mouse to be moved and resized.
  follow(m_editOverlays, &overlays, &Overlays::editingChanged, [this, &overlays] {
    m_editOverlays->setText(overlays.editing() ? QStringLiteral("오버레이 편집 종료")
                                               : QStringLiteral("오버레이 편집"));
  });
  onTrigger(m_editOverlays, [&overlays] { overlays.setEditing(!overlays.editing()); });
  bindToggle(
      m_editOverlaysToggle, &overlays, &Overlays::editingChanged, [&overlays] { return overlays.editing(); },
      [&overlays](bool edit) { overlays.setEditing(edit); });

  onTrigger(m_recoverOverlays, [&overlays] { overlays.recoverAll(); });

  onTrigger(m_openDataFolder, [&model] { ui::openDataFolder(model.library().root()); });

  // Sign in through the browser, or give up a pairing that is waiting.
  follow(m_signIn, &cloud, &CloudAccess::signingInChanged, [this, &cloud] {
    m_signIn->setText(cloud.signingIn() ? QStringLiteral("로그인 취소") : QStringLiteral("계정 연결"));
  });
  // Signed in, a menu has nothing to offer here.
  follow(m_signIn, &cloud, &CloudAccess::profileChanged,
         [this, &cloud] { m_signIn->setVisible(!cloud.profile()); });
  onTrigger(m_signIn, [&cloud] { cloud.signingIn() ? cloud.cancelSignIn() : cloud.signIn(); });

  m_settings->setIconText(QStringLiteral("설정"));
  m_settings->setShortcut(QKeySequence::Preferences);
  onTrigger(m_settings, std::move(shell.openSettings));

  m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  onTrigger(m_quit, std::move(shell.quit));
}

}  // namespace sayloom::ui
