// The tray icon and its menu, bound to the model.
#include "ui/tray/tray_menu.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "app/app_model.h"
#include "app/cloud/cloud_access.h"
#include "app/export/note_exporter.h"
#include "app/overlays/overlays.h"
#include "app/recording/recording_session.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"

namespace sayloom::ui {

TrayMenu::TrayMenu(AppModel& model, Shell shell, QObject* parent) : QObject(parent) {
  RecordingSession& session = model.session();
  Overlays& overlays = model.overlays();
  m_menu = new QMenu;
  m_icon = new QSystemTrayIcon(this);
  m_icon->setToolTip(QStringLiteral("Sayloom"));
  m_icon->setContextMenu(m_menu);
  follow(m_icon, &session, &RecordingSession::recordingChanged, [this, &session] {
    m_icon->setIcon(Icons::icon(session.recording() ? QStringLiteral("record.circle.fill") : QStringLiteral("waveform")));
  });
  // A click on the icon itself opens the studio as well.
  connect(m_icon, &QSystemTrayIcon::activated, this, [open = shell.openStudio](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) {
      open();
    }
  });

  // The header: who is working, the tagline, and the time recorded while a recording runs.
  QAction* account = m_menu->addAction(QString());
  account->setEnabled(false);
  follow(account, &model.cloud(), &CloudAccess::profileChanged, [account, &model] {
    const std::optional<FirebaseProfile>& profile = model.cloud().profile();
    account->setText(profile ? QString::fromStdString(profile->displayName.empty() ? profile->email : profile->displayName)
                             : QStringLiteral("로컬 작업 공간"));
  });
  m_menu->addAction(tagline)->setEnabled(false);
  QAction* elapsed = m_menu->addAction(QString());
  elapsed->setEnabled(false);
  const auto showElapsed = [elapsed, &session] {
    elapsed->setVisible(session.recording());
    elapsed->setText(QStringLiteral("녹음 중 ") + NoteExporter::duration(session.elapsed()));
  };
  follow(elapsed, &session, &RecordingSession::recordingChanged, showElapsed);
  follow(elapsed, &session, &RecordingSession::elapsedChanged, showElapsed);
  m_menu->addSeparator();

  onTrigger(m_menu->addAction(Icons::icon(QStringLiteral("macwindow")), QStringLiteral("Sayloom Studio 열기")),
            shell.openStudio);
  QAction* record = m_menu->addAction(QString());
  follow(record, &session, &RecordingSession::recordingChanged, [record, &session] {
    const bool recording = session.recording();
    record->setText(recording ? QStringLiteral("녹음 중지") : QStringLiteral("녹음 시작"));
    record->setIcon(Icons::icon(recording ? QStringLiteral("stop.fill") : QStringLiteral("record.circle")));
  });
  onTrigger(record, [&model, &session] { start(session.recording() ? model.stopRecording() : model.startRecording()); });
  m_menu->addSeparator();

  bindToggle(m_menu->addAction(QStringLiteral("모든 오버레이 숨기기")), &overlays, &Overlays::hiddenChanged,
             [&overlays] { return overlays.hidden(); },
             [&model, &overlays](bool hide) {
               if (hide != overlays.hidden()) {
                 model.toggleHidden();
               }
             });
  bindToggle(m_menu->addAction(QStringLiteral("오버레이 편집")), &overlays, &Overlays::editingChanged,
             [&overlays] { return overlays.editing(); },
             [&overlays](bool edit) { overlays.setEditing(edit); });
  onTrigger(m_menu->addAction(QStringLiteral("모든 오버레이 화면 안으로 이동")), [&model] { model.overlays().recoverAll(); });
  m_menu->addSeparator();
  QAction* quit = m_menu->addAction(Icons::icon(QStringLiteral("power")), QStringLiteral("종료"));
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  onTrigger(quit, shell.quit);

  m_icon->show();
}

TrayMenu::~TrayMenu() { delete m_menu; }

bool TrayMenu::inTray() const { return QSystemTrayIcon::isSystemTrayAvailable() && m_icon->isVisible(); }

}  // namespace sayloom::ui
