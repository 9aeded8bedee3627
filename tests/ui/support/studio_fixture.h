#pragma once
// A studio on a scratch model: stand-ins for the overlay windows, the cloud and the open dialog
// that record what they are asked, a scripted sound source for recordings, and finders that look
// controls up the way a user does, by their visible text or accessible name.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "app/app_model_fixture.h"
#include "app/cloud/cloud_access.h"
#include "app/overlays/overlays.h"
#include "app/scripted_audio.h"
#include "platform/open_dialog.h"
#include "ui/shell/app_actions.h"
#include "ui/studio/studio_window.h"

namespace sayloom::test {

// The overlay windows' side, remembering every call.
class StandInOverlays final : public OverlayWindows {
public:
  void update(const std::vector<OverlayPreset>&, const QString& original, const QString&, const QString&,
              const LayoutMap&) override {
    ++updates;
    lastOriginal = original;
  }
  std::vector<ScreenInfo> screens() const override { return {}; }
  std::optional<std::size_t> mainScreen() const override { return std::nullopt; }
  void setHidden(bool on) override { hidden = on; }
  void setManualEdit(bool on) override { manualEdit = on; }
  void recoverAll() override { ++recoveries; }
  bool registerShortcut(Qt::Key key) override {
    shortcuts.push_back(key);
    return acceptShortcuts;
  }
  void setFrameHandler(FrameHandler handler) override { frameHandler = std::move(handler); }
  void setToggleHandler(std::function<void()> handler) override { toggleHandler = std::move(handler); }

  int updates = 0;
  QString lastOriginal;
  bool hidden = false;
  bool manualEdit = false;
  int recoveries = 0;
  std::vector<Qt::Key> shortcuts;
  bool acceptShortcuts = true;
  FrameHandler frameHandler;
  std::function<void()> toggleHandler;
};

// The cloud seam, remembering the commands; a test signs in by setting the account.
class StandInCloud final : public CloudAccess {
public:
  QCoro::Task<bool> restore() override { co_return true; }
  bool bindLiveNote(NativeNote&, const QString&, bool) const override { return false; }
  QCoro::Task<void> syncLiveNote(QString, bool) override { co_return; }
  void windDown(std::chrono::milliseconds) override {}
  void cancelSignIn() override {
    calls.push_back("cancelSignIn");
    setSigningIn(false);
  }
  void signIn() override {
    calls.push_back("signIn");
    setSigningIn(true);
  }
  QCoro::Task<void> signOut() override {
    calls.push_back("signOut");
    co_return;
  }
  QCoro::Task<void> reloadWorkspaces() override {
    calls.push_back("reloadWorkspaces");
    co_return;
  }
  QCoro::Task<void> syncSelected(bool translate) override {
    calls.push_back(translate ? "syncSelected(translate)" : "syncSelected");
    co_return;
  }
  void openWebNote() override { calls.push_back("openWebNote"); }

  void signInAs(const FirebaseProfile& profile, const std::vector<CloudWorkspace>& workspaces) {
    setProfile(profile);
    setWorkspaces(workspaces);
    setWorkspaceID(workspaces.empty() ? QString() : QString::fromStdString(workspaces.front().id));
  }

  std::vector<std::string> calls;
};

// Receives the file URLs the desktop would open, while it lives (through the text browser's
// `setSource` slot, which it keeps from loading anything).
class UrlCatcher : public QTextBrowser {
public:
  UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "setSource"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  std::vector<QUrl> opened;

protected:
  void doSetSource(const QUrl& url, QTextDocument::ResourceType) override { opened.push_back(url); }
};

class ScriptedOpenDialog final : public platform::OpenDialog {
public:
  std::optional<QString> askOpenPath(const QString& filter) override {
    asked.push_back(filter);
    return std::nullopt;
  }
  std::vector<QString> asked;
};

// Where a test leaves a screenshot (the build tree's artefacts folder, made when missing).
inline QString artifactPath(const QString& name) {
  QDir().mkpath(QStringLiteral(SAYLOOM_ARTIFACTS_DIR));
  return QStringLiteral(SAYLOOM_ARTIFACTS_DIR "/") + name;
}

// Readable lists of texts in test failures.
inline void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << '[' << texts.join(QStringLiteral(" | ")).toStdString() << ']';
}

// Every widget under `root` with `text` as its visible text, accessible name or description.
template <typename T>
std::vector<T*> findAllByText(QWidget* root, const QString& text) {
  std::vector<T*> found;
  for (T* widget : root->findChildren<T*>()) {
    QString shown;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      shown = button->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      shown = label->text();
    }
    if (shown == text || widget->accessibleName() == text || widget->accessibleDescription() == text) {
      found.push_back(widget);
    }
  }
  return found;
}

template <typename T = QWidget>
T* findByText(QWidget* root, const QString& text) {
  const std::vector<T*> found = findAllByText<T>(root, text);
  return found.empty() ? nullptr : found.front();
}

// The menu or toolbar entry `text` anywhere under `root` (menus of tool buttons included); a
// toolbar shows an action's short text, its icon text.
inline QAction* findAction(QWidget* root, const QString& text) {
  const auto shows = [&text](const QAction* action) {
    return action->text() == text || action->iconText() == text;
  };
  for (QAction* action : root->findChildren<QAction*>()) {
    if (shows(action)) {
      return action;
    }
  }
  for (QWidget* widget : root->findChildren<QWidget*>()) {
    for (QAction* action : widget->actions()) {
      if (shows(action)) {
        return action;
      }
    }
  }
  return nullptr;
}

// The texts of a combo box's options.
inline QStringList optionsOf(const QComboBox* box) {
  QStringList options;
  for (int i = 0; i < box->count(); ++i) {
    options << box->itemText(i);
  }
  return options;
}

// Picks the option `label` as a user would.
inline void choose(QComboBox* box, const QString& label) {
  const int index = box->findText(label);
  ASSERT_GE(index, 0) << label.toStdString();
  box->setCurrentIndex(index);
  emit box->activated(index);
}

class StudioTest : public AppModelTest {
protected:
  // The model on the stand-ins (no model file unless installed first), and the studio window; the
  // cloud part is `cloud` when given, else the stand-in.
  ui::StudioWindow& makeStudio(std::unique_ptr<CloudAccess> cloud = nullptr) {
    AppServices services;
    auto dialog = std::make_unique<ScriptedSaveDialog>();
    auto displays = std::make_unique<FixedDisplayList>();
    auto overlays = std::make_unique<StandInOverlays>();
    if (!cloud) {
      auto standIn = std::make_unique<StandInCloud>();
      m_cloud = standIn.get();
      cloud = std::move(standIn);
    }
    auto open = std::make_unique<ScriptedOpenDialog>();
    m_dialog = dialog.get();
    m_displays = displays.get();
    m_overlays = overlays.get();
    m_open = open.get();
    m_displays->displays = {Display{1, "DP-1", {}}, Display{2, "HDMI-1", {}}};
    services.saveDialog = std::move(dialog);
    services.displayList = std::move(displays);
    services.overlays = std::move(overlays);
    services.cloud = std::move(cloud);
    services.openDialog = std::move(open);
    services.settings = std::make_unique<platform::MemorySettingsStore>();
    services.makeCapture = [this] { return scriptedCapture(m_source, m_converter); };
    m_model = std::make_unique<AppModel>(std::move(services));
    QCoro::waitFor(m_model->waitUntilLoaded());
    m_actions = std::make_unique<ui::AppActions>(
        *m_model, ui::AppActions::Shell{[this] { ++m_settingsOpened; }, [this] { ++m_quits; }});
    m_studio = std::make_unique<ui::StudioWindow>(*m_model, *m_actions, [] { return false; });
    m_studio->show();
    m_studio->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(m_studio.get()));
    return *m_studio;
  }

  ~StudioTest() override {
    m_studio.reset();
    m_actions.reset();
  }

  QWidget* studio() const { return m_studio.get(); }

  // Starts a recording on the scripted source and pushes one block at `level`.
  void recordAt(float level) {
    QCoro::waitFor(m_model->startRecording());
    ASSERT_TRUE(m_model->session().recording());
    m_source.push(std::vector<float>(1600, level));
  }

  // Pushes `seconds` of audio at `level` in half-second blocks, letting the capture drain its ring
  // (four seconds deep) in between.
  void pushSeconds(double seconds, float level) {
    for (double pushed = 0; pushed < seconds; pushed += 0.5) {
      m_source.push(std::vector<float>(8'000, level));
      QTest::qWait(60);
    }
  }

  SourceScript m_source;
  ConverterScript m_converter;
  StandInOverlays* m_overlays = nullptr;
  StandInCloud* m_cloud = nullptr;
  ScriptedOpenDialog* m_open = nullptr;
  std::unique_ptr<ui::AppActions> m_actions;
  std::unique_ptr<ui::StudioWindow> m_studio;
  int m_settingsOpened = 0;
  int m_quits = 0;
};

}  // namespace sayloom::test
