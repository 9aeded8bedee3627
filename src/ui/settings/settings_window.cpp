// The settings window, each control bound to the model or the desktop's settings.
#include "ui/settings/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/app_model.h"
#include "app/cloud/cloud_access.h"
#include "app/notes/note_library.h"
#include "app/overlays/overlays.h"
#include "app/settings/user_settings.h"
#include "app/speech_model/model_installer.h"
#include "platform/accessibility_settings.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"
#include "ui/studio/studio_style.h"

namespace sayloom::ui {

namespace {

QWidget* makeRecognitionSection(AppModel& model, QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* layout = new QVBoxLayout(page);
  UserSettings& settings = model.settings();
  auto* cpu = new QCheckBox(QStringLiteral("CPU로만 인식"), page);
  bindToggle(
      cpu, &settings, &UserSettings::cpuOnlyChanged, [&settings] { return settings.cpuOnly(); },
      [&settings](bool on) { settings.setCpuOnly(on); });
  layout->addWidget(cpu);
  layout->addWidget(makeCaption(SettingsWindow::cpuHelp, page));
  layout->addSpacing(8);

  auto* download = new QPushButton(Icons::icon(QStringLiteral("arrow.down.circle")), QString(), page);
  follow(download, &model.modelInstaller(), &ModelInstaller::modelReadyChanged, [download, &model] {
    download->setText(model.modelInstaller().modelReady() ? QStringLiteral("Whisper 모델 다시 다운로드")
                                                          : QStringLiteral("Whisper 모델 다운로드"));
  });
  follow(download, &model.modelInstaller(), &ModelInstaller::downloadProgressChanged,
         [download, &model] { download->setEnabled(!model.modelInstaller().downloadProgress()); });
  onClick(download, [&model] { model.downloadModel(); });
  layout->addWidget(download, 0, Qt::AlignLeft);

  auto* folder =
      new QPushButton(Icons::icon(QStringLiteral("folder")), QStringLiteral("로컬 저장 폴더 열기"), page);
  onClick(folder, [&model] { openDataFolder(model.library().root()); });
  layout->addWidget(folder, 0, Qt::AlignLeft);
  layout->addStretch();
  return page;
}

QWidget* makeOverlaySection(AppModel& model, QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* layout = new QVBoxLayout(page);
  UserSettings& settings = model.settings();

  auto* form = new QFormLayout;
  layout->addLayout(form);
  // The shortcut that hides and shows every caption; changing it registers it at once.
  auto* shortcut = new QComboBox(page);
  bindChoice(
      shortcut,
      {{QStringLiteral("Super+Shift+S"), QStringLiteral("0")},
       {QStringLiteral("Super+Shift+O"), QStringLiteral("1")}},
      &settings, &UserSettings::shortcutChanged,
      [&settings] { return QString::number(settings.shortcut() != 0 ? 1 : 0); },
      [&settings](const QString& value) { settings.setShortcut(value.toInt()); });
  form->addRow(makeFieldLabel(QStringLiteral("단축키"), shortcut, page), shortcut);

  auto* toggle = new QPushButton(QStringLiteral("전체 표시·숨기기"), page);
  onClick(toggle, [&model] { model.toggleHidden(); });
  layout->addWidget(toggle, 0, Qt::AlignLeft);
  auto* recover = new QPushButton(QStringLiteral("화면 밖 오버레이 복구"), page);
  onClick(recover, [&model] { model.overlays().recoverAll(); });
  layout->addWidget(recover, 0, Qt::AlignLeft);
  layout->addWidget(makeCaption(SettingsWindow::editTip, page));
  layout->addSpacing(8);

  // Linux desktops have no such setting of their own, so the user chooses it here.
  platform::AccessibilitySettings& accessibility = platform::AccessibilitySettings::shared();
  auto* flat = new QCheckBox(QStringLiteral("자막 배경의 투명 효과 줄이기"), page);
  bindToggle(
      flat, &accessibility, &platform::AccessibilitySettings::changed,
      [&accessibility] { return accessibility.userReduceTransparency(); },
      [&accessibility](bool on) { accessibility.setUserReduceTransparency(on); });
  layout->addWidget(flat);
  layout->addWidget(makeCaption(
      QStringLiteral("켜면 자막 배경을 그라데이션과 유리 효과 없이 불투명한 단색으로 그립니다."), page));
  layout->addStretch();
  return page;
}

QWidget* makeAccountSection(AppModel& model, QWidget* parent) {
  CloudAccess& cloud = model.cloud();
  auto* page = new QWidget(parent);
  auto* layout = new QVBoxLayout(page);

  auto* profile = makeHeading(QString(), page, 0);
  auto* email = makeCaption(QString(), page);
  layout->addWidget(profile);
  layout->addWidget(email);

  auto* signIn = new QPushButton(page);
  follow(signIn, &cloud, &CloudAccess::signingInChanged, [signIn, &cloud] {
    signIn->setText(cloud.signingIn() ? QStringLiteral("로그인 취소")
                                      : QStringLiteral("브라우저에서 계정 연결"));
  });
  onClick(signIn, [&cloud] { cloud.signingIn() ? cloud.cancelSignIn() : cloud.signIn(); });
  layout->addWidget(signIn, 0, Qt::AlignLeft);
  auto* reload = new QPushButton(Icons::icon(QStringLiteral("arrow.clockwise")),
                                 QStringLiteral("워크스페이스 새로고침"), page);
  onClick(reload, [&cloud] { start(cloud.reloadWorkspaces()); });
  layout->addWidget(reload, 0, Qt::AlignLeft);
  auto* signOut = new QPushButton(QStringLiteral("로그아웃"), page);
  onClick(signOut, [&cloud] { start(cloud.signOut()); });
  layout->addWidget(signOut, 0, Qt::AlignLeft);
  layout->addStretch();

  follow(page, &cloud, &CloudAccess::profileChanged, [=, &cloud] {
    const std::optional<FirebaseProfile>& account = cloud.profile();
    profile->setText(account ? QString::fromStdString(account->displayName)
                             : QStringLiteral("로컬 작업 공간"));
    email->setText(account ? QString::fromStdString(account->email)
                           : QStringLiteral("로그인 없이 녹음 가능"));
    signIn->setVisible(!account);
    reload->setVisible(account.has_value());
    signOut->setVisible(account.has_value());
  });
  return page;
}

}  // namespace

SettingsWindow::SettingsWindow(AppModel& model, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("settings"));
  setWindowTitle(QStringLiteral("설정"));
  setFixedSize(520, 430);
  setStyleSheet(studioStyleSheet());
  auto* layout = new QVBoxLayout(this);
  m_sections = new QTabWidget(this);
  m_sections->addTab(makeRecognitionSection(model, m_sections), QStringLiteral("로컬 인식"));
  m_sections->addTab(makeOverlaySection(model, m_sections), QStringLiteral("오버레이"));
  m_sections->addTab(makeAccountSection(model, m_sections), QStringLiteral("계정"));
  layout->addWidget(m_sections);
}

}  // namespace sayloom::ui
