// The tray icon and its menu, bound to the model.
#include "ui/tray/tray_menu.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "app/app_model.h"
#include "app/cloud/cloud_access.h"
#include "app/export/note_exporter.h"
#include "app/recording/recording_session.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"
#include "ui/shell/app_actions.h"

namespace sayloom::ui {

TrayMenu::TrayMenu(AppModel& model, AppActions& actions, std::function<void()> openStudio, QObject* parent)
    : QObject(parent) {
  RecordingSession& session = model.session();
  m_menu = new QMenu;
  m_icon = new QSystemTrayIcon(this);
  m_icon->setToolTip(QStringLiteral("Sayloom"));
  m_icon->setContextMenu(m_menu);
  follow(m_icon, &session, &RecordingSession::recordingChanged, [this, &session] {
    m_icon->setIcon(
        Icons::icon(session.recording() ? QStringLiteral("record.circle.fill") : QStringLiteral("waveform")));
  });
  // A click on the icon itself opens the studio as well.
  connect(m_icon, &QSystemTrayIcon::activated, this,
          [open = openStudio](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) {
              open();
            }
          });

  // The header: who is working, the tagline, and the time recorded while a recording runs.
  QAction* account = m_menu->addAction(QString());
  account->setEnabled(false);
  follow(account, &model.cloud(), &CloudAccess::profileChanged, [account, &model] {
    const std::optional<FirebaseProfile>& profile = model.cloud().profile();
    account->setText(
        profile ? QString::fromStdString(profile->displayName.empty() ? profile->email : profile->displayName)
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

  onTrigger(
      m_menu->addAction(Icons::icon(QStringLiteral("macwindow")), QStringLiteral("Sayloom Studio 열기")),
      openStudio);
  m_menu->addAction(actions.record());
  m_menu->addSeparator();
  m_menu->addAction(actions.hideOverlaysToggle());
  m_menu->addAction(actions.editOverlaysToggle());
  m_menu->addAction(actions.recoverOverlays());
  m_menu->addSeparator();
  m_menu->addAction(actions.quit());

  m_icon->show();
}

TrayMenu::~TrayMenu() { delete m_menu; }

bool TrayMenu::inTray() const { return QSystemTrayIcon::isSystemTrayAvailable() && m_icon->isVisible(); }

}  // namespace sayloom::ui
