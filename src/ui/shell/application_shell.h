#pragma once
// The windowed application: the one application model, the studio window, the tray icon with its
// menu, the settings window (made when first opened) and the quit handshake that every way of
// quitting goes through. `run` is the whole program after the command line has been read.
// Main thread only.
#include <QApplication>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "app/app_services.h"
#include "ui/shell/quit_handshake.h"

namespace sayloom {
class AppModel;
}

namespace sayloom::ui {

class AppActions;
class SettingsWindow;
class StudioWindow;
class TrayMenu;

// The application object: asks the shell before the event loop ends for any reason the window
// system or the session manager gives (their quit becomes a request of the handshake).
class SayloomApplication : public QApplication {
  Q_OBJECT
public:
  SayloomApplication(int& argc, char** argv);
  void setQuitHandler(std::function<void()> handler) { m_quitHandler = std::move(handler); }

protected:
  bool event(QEvent* event) override;

private:
  std::function<void()> m_quitHandler;
};

class ApplicationShell : public QObject {
  Q_OBJECT
public:
  // `finish` and `abort` end the process (see QuitHandshake); by default the event loop's exit
  // with status 0, and an immediate exit with status 0.
  explicit ApplicationShell(AppServices services, std::function<void()> finish = {},
                            std::function<void()> abort = {});
  ~ApplicationShell() override;

  AppModel& model() const { return *m_model; }
  StudioWindow& studio() const { return *m_studio; }
  TrayMenu& tray() const { return *m_tray; }
  AppActions& actions() const { return *m_actions; }
  QuitHandshake& handshake() { return m_handshake; }
  // The settings window, or null before it was first opened.
  SettingsWindow* settings() const;

  // Shows the studio window and brings it forward.
  void openStudio();
  void openSettings();
  // One request to quit (see QuitHandshake).
  void requestQuit();

  // Runs the windowed application until it has quit; returns the process status.
  static int run(int& argc, char** argv);

private:
  std::unique_ptr<AppModel> m_model;
  QuitHandshake m_handshake;
  std::unique_ptr<AppActions> m_actions;
  std::unique_ptr<StudioWindow> m_studio;
  std::unique_ptr<TrayMenu> m_tray;
  QPointer<SettingsWindow> m_settings;
};

}  // namespace sayloom::ui
