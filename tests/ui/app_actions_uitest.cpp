// The record command wherever it is offered: the studio's menu bar, the tray menu and the studio's
// record button show the same text and are enabled alike in each state of the application, and
// each of them starts and stops a recording.
#include <QPushButton>

#include "support/studio_fixture.h"
#include "ui/tray/tray_menu.h"

namespace sayloom::test {
namespace {

class RecordCommand : public StudioTest {
protected:
  void makeTray() {
    m_tray = std::make_unique<ui::TrayMenu>(*m_model, *m_actions, [] {});
  }
  ~RecordCommand() override { m_tray.reset(); }

  // The entry `text` of the studio's menu bar, or null.
  QAction* menuBarEntry(const QString& text) const {
    for (QAction* menu : m_studio->menuBar()->actions()) {
      for (QAction* action : menu->menu() != nullptr ? menu->menu()->actions() : QList<QAction*>{}) {
        if (action->text() == text) {
          return action;
        }
      }
    }
    return nullptr;
  }
  QAction* trayEntry(const QString& text) const {
    for (QAction* action : m_tray->menu()->actions()) {
      if (action->text() == text) {
        return action;
      }
    }
    return nullptr;
  }
  QPushButton* button(const QString& text) const { return findByText<QPushButton>(studio(), text); }

  // The engine waits for `releaseEngine` before it recognises anything.
  void holdEngine() {
    engineRunsFirst("while [ ! -e '" + (m_dir / "release").string() + "' ]; do sleep 0.1; done");
  }
  void releaseEngine() { writeFile(m_dir / "release", ""); }

  std::unique_ptr<ui::TrayMenu> m_tray;
  std::optional<AppStatus::WorkScope> m_work;
};

struct StateCase {
  const char* name;
  std::function<void(class RecordCommandInState&)> enter;
  QString text;
  bool enabled;
};

class RecordCommandInState : public RecordCommand, public ::testing::WithParamInterface<StateCase> {
public:
  using RecordCommand::eventually;
  using RecordCommand::holdEngine;
  using RecordCommand::installModel;
  using RecordCommand::m_model;
  using RecordCommand::m_work;
  using RecordCommand::pushSeconds;
  using RecordCommand::recordAt;
};

TEST_P(RecordCommandInState, EveryPlaceShowsTheSameTextAndEnabledState) {
  const StateCase& c = GetParam();
  installModel();
  holdEngine();
  makeStudio();
  makeTray();
  c.enter(*this);

  QAction* menu = menuBarEntry(c.text);
  QAction* tray = trayEntry(c.text);
  QPushButton* record = button(c.text);
  ASSERT_NE(menu, nullptr) << "menu bar";
  ASSERT_NE(tray, nullptr) << "tray menu";
  ASSERT_NE(record, nullptr) << "record button";
  EXPECT_EQ(menu->isEnabled(), c.enabled) << "menu bar";
  EXPECT_EQ(tray->isEnabled(), c.enabled) << "tray menu";
  EXPECT_EQ(record->isEnabled(), c.enabled) << "record button";

  m_work.reset();
  releaseEngine();
  if (m_model->session().recording()) {
    QCoro::waitFor(m_model->stopRecording());
  }
  EXPECT_TRUE(eventually([&] { return !m_model->busy(); }));
}

const StateCase stateCases[] = {
    {"Idle", [](RecordCommandInState&) {}, QStringLiteral("녹음 시작"), true},
    {"Recording", [](RecordCommandInState& t) { t.recordAt(0.2F); }, QStringLiteral("녹음 중지"), true},
    // An export or a download runs: nothing starts meanwhile, and a running recording waits for it.
    {"Working", [](RecordCommandInState& t) { t.m_work.emplace(t.m_model->appStatus()); },
     QStringLiteral("녹음 시작"), false},
    {"RecordingWhileWorking",
     [](RecordCommandInState& t) {
       t.recordAt(0.2F);
       t.m_work.emplace(t.m_model->appStatus());
     },
     QStringLiteral("녹음 중지"), false},
    // The last recording's chunks are still being recognised: the next recording waits.
    {"Recognising",
     [](RecordCommandInState& t) {
       t.recordAt(0.2F);
       t.pushSeconds(8.5, 0.2F);
       ASSERT_TRUE(RecordCommandInState::eventually([&] { return t.m_model->recognition().recognizing(); }));
       QCoro::waitFor(t.m_model->stopRecording());
       ASSERT_TRUE(t.m_model->recognition().recognizing());
     },
     QStringLiteral("녹음 시작"), false},
};

INSTANTIATE_TEST_SUITE_P(States, RecordCommandInState, ::testing::ValuesIn(stateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordCommand, EveryPlaceStartsAndStopsARecording) {
  makeStudio();
  makeTray();
  struct Place {
    const char* name;
    std::function<void(const QString& text)> use;
  };
  const Place places[] = {
      {"menu bar",
       [&](const QString& text) {
         ASSERT_NE(menuBarEntry(text), nullptr);
         menuBarEntry(text)->trigger();
       }},
      {"tray menu",
       [&](const QString& text) {
         ASSERT_NE(trayEntry(text), nullptr);
         trayEntry(text)->trigger();
       }},
      {"record button",
       [&](const QString& text) {
         ASSERT_NE(button(text), nullptr);
         button(text)->click();
       }},
  };
  for (const Place& place : places) {
    SCOPED_TRACE(place.name);
    place.use(QStringLiteral("녹음 시작"));
    ASSERT_TRUE(eventually([&] { return m_model->session().recording(); }));
    place.use(QStringLiteral("녹음 중지"));
    ASSERT_TRUE(eventually([&] { return !m_model->busy(); }));
  }
  EXPECT_EQ(m_model->library().notes().size(), 3U);
}

}  // namespace
}  // namespace sayloom::test
