// The application shell: model, windows, tray and the way out.
#include "ui/shell/application_shell.h"

#include <QCloseEvent>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

#include "app/app_model.h"
#include "core/data_paths.h"
#include "platform/single_instance.h"
#include "ui/desktop_services.h"
#include "ui/icons/icons.h"
#include "ui/settings/settings_window.h"
#include "ui/shell/app_actions.h"
#include "ui/shell/unix_signals.h"
#include "ui/studio/studio_window.h"
#include "ui/tray/tray_menu.h"

namespace sayloom::ui {

namespace {

// The model's shutdown, holding the model weakly: a model that is gone has nothing to wait for.
QCoro::Task<void> shutDown(QPointer<AppModel> model) {
  if (model) {
    co_await model->shutdown();
  }
}

// A second start for a data folder whose application could not be reached over the session bus.
const char* const alreadyRunning =
    "Sayloom이 이 데이터 폴더로 이미 실행 중입니다. 실행 중인 앱의 메뉴에서 \"Sayloom Studio 열기\"를 선택해 "
    "주세요.";

void exitNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace

SayloomApplication::SayloomApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool SayloomApplication::event(QEvent* event) {
  if (event->type() == QEvent::Quit && m_quitHandler) {
    m_quitHandler();
    event->ignore();
    return true;
  }
  return QApplication::event(event);
}

ApplicationShell::ApplicationShell(AppServices services, std::function<void()> finish,
                                   std::function<void()> abort)
    : m_model(std::make_unique<AppModel>(std::move(services))),
      m_handshake(
          finish ? std::move(finish) : [] { QCoreApplication::exit(0); },
          abort ? std::move(abort) : exitNow) {
  m_actions = std::make_unique<AppActions>(
      *m_model, AppActions::Shell{[this] { openSettings(); }, [this] { requestQuit(); }});
  m_tray = std::make_unique<TrayMenu>(*m_model, *m_actions, [this] { openStudio(); });
  m_studio = std::make_unique<StudioWindow>(*m_model, *m_actions, [this] { return m_tray->inTray(); });
  QGuiApplication::setWindowIcon(Icons::bundled(QStringLiteral("waveform")));
}

ApplicationShell::~ApplicationShell() {
  delete m_settings;
  m_studio.reset();
  m_tray.reset();
  m_actions.reset();
}

void ApplicationShell::openStudio() {
  m_studio->show();
  m_studio->setWindowState(m_studio->windowState() & ~Qt::WindowMinimized);
  m_studio->raise();
  m_studio->activateWindow();
  // From the first showing of the studio on, quitting waits for the model's shutdown.
  if (!m_handshake.attached()) {
    m_handshake.attach([model = QPointer<AppModel>(m_model.get())] { return shutDown(model); });
  }
}

void ApplicationShell::openSettings() {
  if (m_settings == nullptr) {
    m_settings = new SettingsWindow(*m_model);
    m_settings->setAttribute(Qt::WA_DeleteOnClose);
  }
  m_settings->show();
  m_settings->raise();
  m_settings->activateWindow();
}

void ApplicationShell::requestQuit() { m_handshake.request(); }

SettingsWindow* ApplicationShell::settings() const { return m_settings; }

int ApplicationShell::run(int& argc, char** argv) {
  SayloomApplication app(argc, argv);
  QGuiApplication::setQuitOnLastWindowClosed(false);

  // One application per data folder: a later start brings the running one's studio forward and
  // ends before it makes a window or touches a file of the folder.
  const std::filesystem::path root = DataPaths::root();
  DataPaths::createPrivateRoot(root);
  ApplicationShell* running = nullptr;
  platform::SingleInstance instance(root);
  switch (instance.claim([&running] {
    if (running != nullptr) {
      running->openStudio();
    }
  })) {
    case platform::SingleInstance::Claim::first:
      break;
    case platform::SingleInstance::Claim::activated:
      return 0;
    case platform::SingleInstance::Claim::unreachable:
      std::fprintf(stderr, "sayloom: %s\n", alreadyRunning);
      return 0;
  }

  ApplicationShell shell(desktopServices());
  running = &shell;
  app.setQuitHandler([&shell] { shell.requestQuit(); });
  UnixSignals termination({SIGTERM, SIGINT});
  QObject::connect(&termination, &UnixSignals::received, &shell, &ApplicationShell::requestQuit);

  shell.openStudio();
  const int status = QApplication::exec();
  // Had the loop ended some other way, the recording would still be stopped and saved here.
  if (!shell.handshake().started()) {
    QCoro::waitFor(shell.model().shutdown());
  }
  return status;
}

}  // namespace sayloom::ui
