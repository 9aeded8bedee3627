// The settings window: its size, its three sections, and what each control shows and runs.
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>

#include "app/settings/user_settings.h"
#include "app/speech_model/model_installer.h"
#include "platform/accessibility_settings.h"
#include "support/studio_fixture.h"
#include "ui/settings/settings_window.h"

namespace sayloom::test {
namespace {

class SettingsWindowTest : public StudioTest {
protected:
  ui::SettingsWindow& makeSettings() {
    makeStudio();
    m_settings = std::make_unique<ui::SettingsWindow>(*m_model);
    m_settings->show();
    return *m_settings;
  }
  ~SettingsWindowTest() override { m_settings.reset(); }

  // Shows the section holding `text` and returns the control.
  template <typename T = QAbstractButton>
  T* control(const QString& text) {
    QTabWidget* sections = m_settings->sections();
    for (int i = 0; i < sections->count(); ++i) {
      if (T* found = findByText<T>(sections->widget(i), text)) {
        sections->setCurrentIndex(i);
        return found;
      }
    }
    ADD_FAILURE() << "no control " << text.toStdString();
    return nullptr;
  }

  std::unique_ptr<ui::SettingsWindow> m_settings;
};

TEST_F(SettingsWindowTest, HasAFixedSizeAndThreeSections) {
  ui::SettingsWindow& window = makeSettings();
  EXPECT_EQ(window.size(), QSize(520, 430));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  QStringList titles;
  for (int i = 0; i < window.sections()->count(); ++i) {
    titles << window.sections()->tabText(i);
  }
  EXPECT_EQ(titles,
            (QStringList{QStringLiteral("로컬 인식"), QStringLiteral("오버레이"), QStringLiteral("계정")}));
  for (const QString& text : {ui::SettingsWindow::cpuHelp, ui::SettingsWindow::editTip}) {
    EXPECT_NE(findByText(&window, text), nullptr) << text.toStdString();
  }
}

TEST_F(SettingsWindowTest, ControlsRunTheirCommands) {
  makeSettings();
  struct Case {
    const char* name;
    std::function<void()> act;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"processor-only recognition is stored", [&] { control(QStringLiteral("CPU로만 인식"))->click(); },
       [&] {
         EXPECT_TRUE(m_model->settings().cpuOnly());
         EXPECT_TRUE(m_model->settings().store().cpuOnly());
       }},
      {"the model download starts", [&] { control(QStringLiteral("Whisper 모델 다운로드"))->click(); },
       [&] {
         EXPECT_TRUE(m_model->modelInstaller().downloadProgress().has_value());
         QCoro::waitFor(m_model->modelInstaller().cancel());
       }},
      {"the second shortcut is registered",
       [&] { choose(control<QComboBox>(QStringLiteral("단축키")), QStringLiteral("Super+Shift+O")); },
       [&] {
         EXPECT_EQ(m_model->settings().shortcut(), 1);
         EXPECT_EQ(m_overlays->shortcuts.back(), Qt::Key_O);
       }},
      {"a refused shortcut warns",
       [&] {
         m_overlays->acceptShortcuts = false;
         choose(control<QComboBox>(QStringLiteral("단축키")), QStringLiteral("Super+Shift+S"));
       },
       [&] {
         EXPECT_EQ(m_overlays->shortcuts.back(), Qt::Key_S);
         ASSERT_TRUE(m_model->appStatus().warning().has_value());
         EXPECT_EQ(*m_model->appStatus().warning(),
                   QStringLiteral("오버레이 단축키를 등록하지 못했습니다. 설정에서 다른 키를 선택하거나 메뉴 "
                                  "막대를 사용해 주세요."));
         m_model->appStatus().setWarning(std::nullopt);
       }},
      {"all captions hide and show", [&] { control(QStringLiteral("전체 표시·숨기기"))->click(); },
       [&] {
         EXPECT_TRUE(m_model->overlays().hidden());
         control(QStringLiteral("전체 표시·숨기기"))->click();
         EXPECT_FALSE(m_model->overlays().hidden());
       }},
      {"windows off screen are brought back",
       [&] { control(QStringLiteral("화면 밖 오버레이 복구"))->click(); },
       [&] { EXPECT_EQ(m_overlays->recoveries, 1); }},
      {"reduce transparency is the user's own choice",
       [&] { control(QStringLiteral("자막 배경의 투명 효과 줄이기"))->click(); },
       [&] {
         platform::AccessibilitySettings& accessibility = platform::AccessibilitySettings::shared();
         EXPECT_TRUE(accessibility.userReduceTransparency());
         EXPECT_TRUE(accessibility.reduceTransparency());
         control(QStringLiteral("자막 배경의 투명 효과 줄이기"))->click();
         EXPECT_FALSE(accessibility.userReduceTransparency());
       }},
      {"linking through the browser and cancelling",
       [&] {
         control(QStringLiteral("브라우저에서 계정 연결"))->click();
         control(QStringLiteral("로그인 취소"))->click();
       },
       [&] {
         EXPECT_EQ(m_cloud->calls, (std::vector<std::string>{"signIn", "cancelSignIn"}));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.act();
    c.check();
  }
}

TEST_F(SettingsWindowTest, LabelsFollowTheModel) {
  ui::SettingsWindow& window = makeSettings();
  EXPECT_NE(findByText(&window, QStringLiteral("Whisper 모델 다운로드")), nullptr);
  installModel();
  QCoro::waitFor(m_model->modelInstaller().check());
  EXPECT_NE(findByText(&window, QStringLiteral("Whisper 모델 다시 다운로드")), nullptr);

  auto* shortcut = control<QComboBox>(QStringLiteral("단축키"));
  EXPECT_EQ(optionsOf(shortcut),
            (QStringList{QStringLiteral("Super+Shift+S"), QStringLiteral("Super+Shift+O")}));
  m_model->settings().setShortcut(1);
  EXPECT_EQ(shortcut->currentText(), QStringLiteral("Super+Shift+O"));

  // Signed out, then signed in: the account section's controls.
  EXPECT_TRUE(control(QStringLiteral("브라우저에서 계정 연결"))->isVisible());
  EXPECT_FALSE(control(QStringLiteral("로그아웃"))->isVisible());
  m_cloud->signInAs({"uid-1", "mina@example.com", "Mina"}, {{"ws", "개인", "personal", "owner"}});
  EXPECT_FALSE(control(QStringLiteral("브라우저에서 계정 연결"))->isVisible());
  EXPECT_NE(findByText(&window, QStringLiteral("Mina")), nullptr);
  EXPECT_NE(findByText(&window, QStringLiteral("mina@example.com")), nullptr);
  control(QStringLiteral("워크스페이스 새로고침"))->click();
  control(QStringLiteral("로그아웃"))->click();
  EXPECT_EQ(m_cloud->calls, (std::vector<std::string>{"reloadWorkspaces", "signOut"}));
}

TEST_F(SettingsWindowTest, DataFolderOpensInTheFileManager) {
  makeSettings();
  UrlCatcher catcher;
  control(QStringLiteral("로컬 저장 폴더 열기"))->click();
  ASSERT_EQ(catcher.opened.size(), 1U);
  EXPECT_EQ(catcher.opened.front().toLocalFile().toStdString(), m_model->library().root().string());
}

}  // namespace
}  // namespace sayloom::test
