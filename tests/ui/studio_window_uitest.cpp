// The studio window as a user meets it: every control found by its text or accessible name, what
// it shows of the model and which command it runs; the empty states, the transcript following a
// recording, the warning alert, and Ctrl+Z undoing preset edits while a text field has the focus.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTextBrowser>

#include "app/cloud/cloud_access.h"
#include "support/studio_fixture.h"
#include "ui/studio/cloud_controls.h"
#include "ui/studio/detail_column.h"
#include "ui/studio/note_list.h"
#include "ui/studio/preset_list.h"
#include "ui/studio/recording_controls.h"
#include "ui/studio/sidebar.h"
#include "ui/studio/transcript_pane.h"

namespace sayloom::test {
namespace {

void click(QWidget* root, const QString& text) {
  auto* button = findByText<QAbstractButton>(root, text);
  ASSERT_NE(button, nullptr) << text.toStdString();
  ASSERT_TRUE(button->isVisible()) << text.toStdString();
  ASSERT_TRUE(button->isEnabled()) << text.toStdString();
  button->click();
}

void trigger(QWidget* root, const QString& text) {
  QAction* action = findAction(root, text);
  ASSERT_NE(action, nullptr) << text.toStdString();
  ASSERT_TRUE(action->isEnabled()) << text.toStdString();
  action->trigger();
}

TranscriptEntry entry(std::int64_t sequence, const std::string& text, const std::string& translation = {}) {
  TranscriptEntry made;
  made.id = "entry-" + std::to_string(sequence);
  made.sequence = sequence;
  made.text = text;
  made.startTimeMs = sequence * 4'000;
  made.endTimeMs = made.startTimeMs + 3'000;
  made.translation = translation;
  return made;
}

// One control, what the user does with it, and what the model shows afterwards.
struct ControlCase {
  const char* name;
  std::function<void(class StudioControls&)> act;
  std::function<void(class StudioControls&)> check;
};

class StudioControls : public StudioTest, public ::testing::WithParamInterface<ControlCase> {
public:
  using StudioTest::eventually;
  using StudioTest::m_cloud;
  using StudioTest::m_dialog;
  using StudioTest::m_model;
  using StudioTest::m_open;
  using StudioTest::m_overlays;
  using StudioTest::m_quits;
  using StudioTest::m_settingsOpened;
  using StudioTest::m_source;
  using StudioTest::recordAt;
  using StudioTest::storedNote;
  using StudioTest::studio;

  ui::StudioWindow& window() { return *m_studio; }
  AppModel& model() { return *m_model; }
  QWidget* recording() { return findByText(studio(), QStringLiteral("녹음"))->parentWidget(); }
};

TEST_P(StudioControls, RunTheirCommand) {
  makeStudio();
  GetParam().act(*this);
  GetParam().check(*this);
}

const ControlCase controlCases[] = {
    {"RecordButtonStartsAndStops", [](StudioControls& t) { click(t.studio(), QStringLiteral("녹음 시작")); },
     [](StudioControls& t) {
       ASSERT_TRUE(StudioControls::eventually([&] { return t.model().session().recording(); }));
       EXPECT_TRUE(StudioControls::eventually(
           [&] { return findByText(t.studio(), QStringLiteral("녹음 중지")) != nullptr; }));
       click(t.studio(), QStringLiteral("녹음 중지"));
       ASSERT_TRUE(StudioControls::eventually(
           [&] { return !t.model().session().recording() && !t.model().appStatus().working(); }));
       ASSERT_EQ(t.model().library().notes().size(), 1U);
       EXPECT_TRUE(t.model().library().notes().front().completed);
       EXPECT_NE(findByText(t.studio(), QStringLiteral("녹음 시작")), nullptr);
     }},
    {"LevelMeterAndElapsedTimeFollowTheRecording",
     [](StudioControls& t) {
       t.recordAt(0.5F);
       t.m_source.push(std::vector<float>(32'000, 0.25F));
     },
     [](StudioControls& t) {
       auto* meter = findByText<QProgressBar>(t.studio(), QStringLiteral("입력 음량"));
       ASSERT_NE(meter, nullptr);
       EXPECT_TRUE(StudioControls::eventually([&] { return meter->value() == 25; })) << meter->value();
       auto* elapsed = findByText<QLabel>(t.studio(), QStringLiteral("경과 시간"));
       ASSERT_NE(elapsed, nullptr);
       EXPECT_TRUE(StudioControls::eventually([&] { return elapsed->text() == QStringLiteral("00:00:02"); }))
           << elapsed->text().toStdString();
       QCoro::waitFor(t.model().stopRecording());
       EXPECT_EQ(meter->value(), 0);
     }},
    {"SystemAudioListsTheDisplaysToChooseFrom",
     [](StudioControls& t) {
       choose(findByText<QComboBox>(t.studio(), QStringLiteral("입력")), QStringLiteral("시스템 오디오"));
     },
     [](StudioControls& t) {
       EXPECT_EQ(t.model().session().source(), QStringLiteral("system"));
       auto* displays = findByText<QComboBox>(t.studio(), QStringLiteral("녹음할 화면 선택"));
       ASSERT_NE(displays, nullptr);
       EXPECT_TRUE(displays->isVisible());
       ASSERT_TRUE(StudioControls::eventually([&] { return displays->count() == 2; }));
       EXPECT_EQ(optionsOf(displays),
                 (QStringList{QStringLiteral("디스플레이 1"), QStringLiteral("디스플레이 2")}));
       choose(displays, QStringLiteral("디스플레이 2"));
       EXPECT_EQ(t.model().session().displayID(), 2U);
       choose(findByText<QComboBox>(t.studio(), QStringLiteral("입력")), QStringLiteral("마이크"));
       EXPECT_FALSE(displays->isVisible());
     }},
    {"RecognitionLanguagePicker",
     [](StudioControls& t) {
       auto* language = findByText<QComboBox>(t.studio(), QStringLiteral("인식 언어"));
       ASSERT_NE(language, nullptr);
       EXPECT_EQ(optionsOf(language), (QStringList{QStringLiteral("한국어"), QStringLiteral("English"),
                                                   QStringLiteral("日本語"), QStringLiteral("자동 감지")}));
       choose(language, QStringLiteral("자동 감지"));
     },
     [](StudioControls& t) { EXPECT_EQ(t.model().session().language(), QStringLiteral("auto")); }},
    {"TitleFieldNamesTheNextRecording",
     [](StudioControls& t) {
       auto* title = findByText<QLineEdit>(t.studio(), QStringLiteral("제목"));
       ASSERT_NE(title, nullptr);
       title->setFocus();
       title->selectAll();
       QTest::keyClicks(title, QStringLiteral("Weekly"));
     },
     [](StudioControls& t) { EXPECT_EQ(t.model().session().title(), QStringLiteral("Weekly")); }},
    {"LiveTranslationToggleAndLanguage",
     [](StudioControls& t) {
       click(t.studio(), QStringLiteral("실시간 번역"));
       auto* target = findAllByText<QComboBox>(t.studio(), QStringLiteral("번역 언어")).front();
       EXPECT_EQ(optionsOf(target), (QStringList{QStringLiteral("English"), QStringLiteral("한국어"),
                                                 QStringLiteral("日本語")}));
       choose(target, QStringLiteral("日本語"));
     },
     [](StudioControls& t) {
       EXPECT_TRUE(t.model().session().liveTranslation());
       EXPECT_EQ(t.model().session().translationLanguage(), QStringLiteral("ja"));
       EXPECT_NE(findByText(t.studio(), ui::RecordingControls::translationLine), nullptr);
       EXPECT_EQ(findByText(t.studio(), ui::RecordingControls::localLine), nullptr);
     }},
    {"ModelDownloadAndCancel", [](StudioControls& t) { click(t.studio(), QStringLiteral("모델 다운로드")); },
     [](StudioControls& t) {
       EXPECT_TRUE(t.model().modelInstaller().downloadProgress().has_value());
       auto* progress = findByText<QProgressBar>(t.studio(), QStringLiteral("모델 다운로드 진행률"));
       ASSERT_NE(progress, nullptr);
       EXPECT_TRUE(progress->isVisible());
       click(t.studio(), QStringLiteral("취소"));
       ASSERT_TRUE(
           StudioControls::eventually([&] { return !t.model().modelInstaller().downloadProgress(); }));
       EXPECT_FALSE(t.model().appStatus().warning().has_value());
       EXPECT_FALSE(progress->isVisible());
     }},
    {"ExportMenuAsksWhereToSaveTranscriptAudioAndSubtitles",
     [](StudioControls& t) {
       t.storedNote({1'000});
       QCoro::waitFor(t.model().reloadNotes());
       trigger(t.studio(), QStringLiteral("대본"));
       trigger(t.studio(), QStringLiteral("오디오 내보내기"));
       trigger(t.studio(), QStringLiteral("SRT 자막"));
       trigger(t.studio(), QStringLiteral("WebVTT 자막"));
     },
     [](StudioControls& t) {
       ASSERT_TRUE(StudioControls::eventually([&] { return t.m_dialog->asked.size() == 4U; }));
       EXPECT_TRUE(t.m_dialog->asked[0].first.startsWith(QStringLiteral("Sayloom-")));
       EXPECT_TRUE(t.m_dialog->asked[0].first.endsWith(QStringLiteral(".txt")));
       EXPECT_EQ(t.m_dialog->asked[1].first, QStringLiteral("Sayloom-audio.wav"));
       EXPECT_TRUE(t.m_dialog->asked[2].first.endsWith(QStringLiteral(".srt")));
       EXPECT_EQ(t.m_dialog->asked[2].second, QStringLiteral("SubRip (*.srt)"));
       EXPECT_TRUE(t.m_dialog->asked[3].first.endsWith(QStringLiteral(".vtt")));
     }},
    {"RecoveryWithoutTheModelAsksForIt",
     [](StudioControls& t) {
       t.storedNote({1'000});
       QCoro::waitFor(t.model().reloadNotes());
       t.model().appStatus().setWarning(std::nullopt);
       click(t.studio(), QStringLiteral("저장 오디오에서 대본 복구"));
     },
     [](StudioControls& t) {
       ASSERT_TRUE(StudioControls::eventually([&] { return t.model().appStatus().warning().has_value(); }));
       EXPECT_EQ(*t.model().appStatus().warning(), QStringLiteral("먼저 Whisper 모델을 다운로드해 주세요."));
     }},
    {"NewPresetAddsAndSelectsOne", [](StudioControls& t) { click(t.studio(), QStringLiteral("새 프리셋")); },
     [](StudioControls& t) {
       const std::vector<OverlayPreset>& presets = t.model().presetEditor().presets();
       ASSERT_EQ(presets.size(), 5U);
       EXPECT_EQ(t.model().presetEditor().selectedPresetID(), QString::fromStdString(presets.back().Id));
       auto* list = t.studio()->findChild<ui::PresetList*>();
       QStringList texts;
       for (int i = 0; i < list->model()->rowCount(); ++i) {
         texts << list->model()->index(i, 0).data(Qt::AccessibleTextRole).toString();
       }
       EXPECT_TRUE(texts.contains(QStringLiteral("사용자 프리셋 1")))
           << texts.join(QLatin1Char('|')).toStdString();
       EXPECT_EQ(list->currentIndex().data(ui::PresetListModel::IdRole).toString(),
                 QString::fromStdString(presets.back().Id));
     }},
    {"PresetFileMenuImportsAndExports",
     [](StudioControls& t) {
       trigger(t.studio(), QStringLiteral("JSON 가져오기"));
       trigger(t.studio(), QStringLiteral("JSON 내보내기"));
     },
     [](StudioControls& t) {
       EXPECT_EQ(t.m_open->asked.size(), 1U);
       EXPECT_EQ(t.m_dialog->asked.size(), 1U);
     }},
    {"DataFolderOpensInTheFileManager", [](StudioControls&) {},
     [](StudioControls& t) {
       UrlCatcher catcher;
       click(t.studio(), QStringLiteral("저장 폴더 열기"));
       ASSERT_EQ(catcher.opened.size(), 1U);
       EXPECT_EQ(catcher.opened.front().toLocalFile().toStdString(), t.model().library().root().string());
     }},
    {"ToolbarHidesAndShowsTheOverlays",
     [](StudioControls& t) { trigger(t.studio(), QStringLiteral("오버레이 숨기기")); },
     [](StudioControls& t) {
       EXPECT_TRUE(t.model().overlays().hidden());
       EXPECT_TRUE(t.m_overlays->hidden);
       ASSERT_NE(findAction(t.studio(), QStringLiteral("오버레이 표시")), nullptr);
       trigger(t.studio(), QStringLiteral("오버레이 표시"));
       EXPECT_FALSE(t.model().overlays().hidden());
     }},
    {"OverlayMenuShortcutTogglesHidden",
     [](StudioControls& t) {
       t.window().activateWindow();
       QTest::keyClick(&t.window(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
     },
     [](StudioControls& t) {
       EXPECT_TRUE(t.model().overlays().hidden());
       EXPECT_NE(findAction(t.studio(), QStringLiteral("모든 오버레이 표시")), nullptr);
     }},
    {"OverlayMenuEditMode", [](StudioControls& t) { trigger(t.studio(), QStringLiteral("오버레이 편집")); },
     [](StudioControls& t) {
       EXPECT_TRUE(t.model().overlays().editing());
       EXPECT_TRUE(t.m_overlays->manualEdit);
       EXPECT_NE(findAction(t.studio(), QStringLiteral("오버레이 편집 종료")), nullptr);
     }},
    {"OverlayMenuBringsWindowsOnScreen",
     [](StudioControls& t) { trigger(t.studio(), QStringLiteral("모든 오버레이 화면 안으로 이동")); },
     [](StudioControls& t) { EXPECT_EQ(t.m_overlays->recoveries, 1); }},
    {"SettingsButtonOpensSettings", [](StudioControls& t) { trigger(t.studio(), QStringLiteral("설정")); },
     [](StudioControls& t) { EXPECT_EQ(t.m_settingsOpened, 1); }},
    {"CtrlQQuitsThroughTheShell",
     [](StudioControls& t) {
       t.window().activateWindow();
       QTest::keyClick(&t.window(), Qt::Key_Q, Qt::ControlModifier);
     },
     [](StudioControls& t) { EXPECT_EQ(t.m_quits, 1); }},
    {"ClosingWithoutATrayQuitsThroughTheShell", [](StudioControls& t) { t.window().close(); },
     [](StudioControls& t) {
       EXPECT_EQ(t.m_quits, 1);
       EXPECT_TRUE(t.window().isVisible());
     }},
    {"NoteRowsSelectTheNote",
     [](StudioControls& t) {
       t.storedNote({}, "older");
       QTest::qWait(1'100);  // creation times are whole seconds
       t.storedNote({}, "newer");
       QCoro::waitFor(t.model().reloadNotes());
       auto* list = findByText<ui::NoteList>(t.studio(), QStringLiteral("내 노트"));
       ASSERT_EQ(list->model()->rowCount(), 2);
       const QModelIndex older = list->model()->index(1, 0);
       ASSERT_TRUE(older.data(Qt::AccessibleTextRole).toString().startsWith(QStringLiteral("older\n")));
       QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(older).center());
     },
     [](StudioControls& t) {
       const NativeNote* selected = t.model().library().selectedNote();
       ASSERT_NE(selected, nullptr);
       EXPECT_EQ(selected->title, "older");
     }},
    {"PresetRowsSelectThePreset",
     [](StudioControls& t) {
       auto* list = t.studio()->findChild<ui::PresetList*>();
       const QModelIndex focus =
           list->model()->index(list->presets()->rowOf(QStringLiteral("builtin-focus")), 0);
       ASSERT_TRUE(focus.isValid());
       list->scrollTo(focus);
       QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(focus).center());
     },
     [](StudioControls& t) {
       EXPECT_EQ(t.model().presetEditor().selectedPresetID(), QStringLiteral("builtin-focus"));
     }},
    {"SectionsSwitchTheDetailColumn",
     [](StudioControls& t) {
       auto* sections = findByText<QListWidget>(t.studio(), QStringLiteral("작업 공간"));
       ASSERT_NE(sections, nullptr);
       sections->setCurrentItem(sections->findItems(QStringLiteral("내 노트"), Qt::MatchExactly).front());
     },
     [](StudioControls& t) {
       EXPECT_TRUE(findByText(t.studio(), QStringLiteral("남겨둔 이야기를 이어가세요."))->isVisible());
       EXPECT_TRUE(
           findByText(t.studio(), QStringLiteral("원본 오디오와 대본은 이 컴퓨터에 보관됩니다."))->isVisible());
       EXPECT_FALSE(findByText(t.studio(), QStringLiteral("녹음 시작"))->isVisible());
       EXPECT_FALSE(findByText(t.studio(), QStringLiteral("오버레이 미리보기"))->isVisible());
       EXPECT_TRUE(findByText(t.studio(), QStringLiteral("계정 연결"))->isVisible());
       t.window().sidebar()->setSection(ui::Section::studio);
       EXPECT_TRUE(findByText(t.studio(), QStringLiteral("말에 집중하세요."))->isVisible());
       EXPECT_TRUE(
           findByText(t.studio(), QStringLiteral("목소리는 기록하고, 자막은 원하는 곳에."))->isVisible());
     }},
    {"CloudSignInAndCancel",
     [](StudioControls& t) {
       t.window().sidebar()->setSection(ui::Section::notes);
       EXPECT_NE(findByText(t.studio(), QStringLiteral("번역·AI 회의록을 기존 계정에서 이어가세요.")),
                 nullptr);
       click(t.studio(), QStringLiteral("계정 연결"));
       click(t.studio(), QStringLiteral("로그인 취소"));
     },
     [](StudioControls& t) {
       EXPECT_EQ(t.m_cloud->calls, (std::vector<std::string>{"signIn", "cancelSignIn"}));
       EXPECT_NE(findByText(t.studio(), QStringLiteral("계정 연결")), nullptr);
     }},
    {"SignedInCloudSavesTheSelectedNote",
     [](StudioControls& t) {
       t.storedNote({}, "to share");
       QCoro::waitFor(t.model().reloadNotes());
       t.m_cloud->signInAs(
           {"uid-1", "mina@example.com", "Mina"},
           {{"ws-personal", "개인", "personal", "owner"}, {"ws-team", "팀", "team", "member"}});
       t.window().sidebar()->setSection(ui::Section::notes);
       auto* workspace = findAllByText<QComboBox>(t.studio(), QStringLiteral("워크스페이스")).back();
       EXPECT_EQ(optionsOf(workspace), (QStringList{QStringLiteral("개인"), QStringLiteral("팀")}));
       choose(workspace, QStringLiteral("팀"));
       choose(findAllByText<QComboBox>(t.studio(), QStringLiteral("번역 언어")).back(),
              QStringLiteral("中文"));
       click(t.studio(), QStringLiteral("클라우드 저장"));
       click(t.studio(), QStringLiteral("번역하고 저장"));
     },
     [](StudioControls& t) {
       EXPECT_EQ(t.model().cloud().workspaceID(), QStringLiteral("ws-team"));
       EXPECT_EQ(t.model().session().translationLanguage(), QStringLiteral("zh"));
       EXPECT_EQ(t.m_cloud->calls, (std::vector<std::string>{"syncSelected", "syncSelected(translate)"}));
       EXPECT_NE(findByText(t.studio(), QStringLiteral("기존 Sayloom 계정")), nullptr);
       EXPECT_NE(findByText(t.studio(), QStringLiteral("Mina")), nullptr);
       EXPECT_NE(findByText(t.studio(), QStringLiteral("mina@example.com")), nullptr);
       EXPECT_NE(findByText(t.studio(), ui::CloudControls::creditsNote), nullptr);
     }},
    {"WebNoteOpensForALinkedNote",
     [](StudioControls& t) {
       NativeNote linked = t.storedNote({}, "linked");
       linked.workspaceId = "ws-team";
       linked.cloudNoteId = "cloud-7";
       LocalNoteStore(t.model().library().root()).save(linked);
       QCoro::waitFor(t.model().reloadNotes());
       click(t.studio(), QStringLiteral("웹 회의록"));
     },
     [](StudioControls& t) { EXPECT_EQ(t.m_cloud->calls, std::vector<std::string>{"openWebNote"}); }},
};

INSTANTIATE_TEST_SUITE_P(Studio, StudioControls, ::testing::ValuesIn(controlCases),
                         [](const ::testing::TestParamInfo<ControlCase>& info) { return info.param.name; });

// --- fixed texts, sizes and states --------------------------------------------------------------

class StudioWindowTest : public StudioTest {};

TEST_F(StudioWindowTest, HasItsIdentifierTitleAndSizes) {
  ui::StudioWindow& window = makeStudio();
  EXPECT_EQ(window.objectName(), QStringLiteral("studio"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Sayloom · Studio"));
  EXPECT_EQ(window.minimumSize(), QSize(1060, 690));
  auto* sidebar = window.sidebar();
  EXPECT_EQ(sidebar->minimumWidth(), 215);
  EXPECT_EQ(sidebar->maximumWidth(), 290);
  EXPECT_EQ(window.splitter()->sizes().front(), 240);
  // The fixed texts of the sidebar and the stage.
  for (const char* text :
       {"Sayloom", "NATIVE STUDIO", "작업 공간", "오버레이 프리셋", "로컬 작업 공간", "로그인 없이 녹음 가능",
        "오프라인 대본을 위한 Whisper 모델", "처음 한 번 148 MB 다운로드 · 이후 기기에서 인식",
        "오버레이 미리보기", "미리보기 배경", "키를 누른 채 실제 자막 창을 이동하거나 크기를 조절하세요.",
        "Alt", "Super", "대본",
        "오디오는 이 컴퓨터에 저장됩니다. 클라우드 작업은 직접 선택할 때만 실행됩니다."}) {
    EXPECT_NE(findByText(&window, QString::fromUtf8(text)), nullptr) << text;
  }
  auto* backdrops = findByText<QComboBox>(&window, QStringLiteral("미리보기 배경"));
  EXPECT_EQ(optionsOf(backdrops), (QStringList{QStringLiteral("어두운 화면"), QStringLiteral("밝은 화면"),
                                               QStringLiteral("복잡한 화면")}));
}

TEST(StudioWindowSize, DefaultSizeShrinksToTheScreenButNotBelowTheMinimum) {
  const struct {
    QSize available;
    QSize expected;
  } cases[] = {
      {{2560, 1400}, {1320, 860}},  // room to spare
      {{1336, 908}, {1320, 860}},   // just enough, frame included
      {{1280, 1000}, {1264, 860}},  // a 1280 wide screen: narrower
      {{1366, 740}, {1320, 692}},   // a short screen: lower
      {{1024, 600}, {1060, 690}},   // smaller than the minimum: the minimum
  };
  for (const auto& each : cases) {
    EXPECT_EQ(ui::StudioWindow::fittedSize(each.available), each.expected) << each.available.width();
  }
}

TEST_F(StudioWindowTest, FirstSizeFitsTheScreen) {
  makeStudio();
  ui::StudioWindow fresh(*m_model, *m_actions, [] { return false; });
  EXPECT_EQ(fresh.size(), ui::StudioWindow::fittedSize(fresh.screen()->availableGeometry().size()));
  fresh.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
  const QRect frame = fresh.frameGeometry();
  EXPECT_TRUE(fresh.screen()->geometry().contains(frame)) << frame.width() << "x" << frame.height();
}

TEST_F(StudioWindowTest, EmptyTranscriptTitlesFollowTheRecording) {
  makeStudio();
  auto* pane = studio()->findChild<ui::TranscriptPane*>();
  const auto shows = [&](const QString& text) {
    QLabel* label = findByText<QLabel>(pane, text);
    return label != nullptr && label->isVisible();
  };
  struct Case {
    const char* name;
    std::function<void()> arrange;
    QString title;
  };
  const Case cases[] = {
      {"no note", [] {}, ui::TranscriptPane::waitingTitle},
      {"recording, nothing recognised yet", [&] { recordAt(0.1F); }, ui::TranscriptPane::listeningTitle},
      {"stopped note without entries", [&] { QCoro::waitFor(m_model->stopRecording()); },
       ui::TranscriptPane::waitingTitle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    EXPECT_TRUE(shows(c.title));
    EXPECT_TRUE(shows(ui::TranscriptPane::emptyHint));
    EXPECT_FALSE(pane->entriesView()->isVisible());
  }
}

TEST_F(StudioWindowTest, TranscriptShowsEntriesAndFollowsTheNewestUnlessScrolledUp) {
  makeStudio();
  NativeNote note = storedNote({}, "mixed");
  for (int i = 0; i < 40; ++i) {
    note.segments.push_back(
        i % 2 == 0 ? entry(i, "회의를 시작하겠습니다 " + std::to_string(i), "Let's begin the meeting")
                   : entry(i, "Next item on the agenda " + std::to_string(i)));
  }
  LocalNoteStore(root()).save(note);
  QCoro::waitFor(m_model->reloadNotes());
  auto* pane = studio()->findChild<ui::TranscriptPane*>();
  QTextBrowser* view = pane->entriesView();
  ASSERT_TRUE(view->isVisible());
  const QString text = view->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("00:00:00  회의를 시작하겠습니다 0")))
      << text.left(200).toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("Let's begin the meeting")));
  EXPECT_TRUE(text.contains(QStringLiteral("00:02:36  Next item on the agenda 39")));
  QScrollBar* scroll = view->verticalScrollBar();
  ASSERT_GT(scroll->maximum(), 0);
  EXPECT_EQ(scroll->value(), scroll->maximum());

  const auto append = [&](int sequence) {
    NativeNote* listed = m_model->library().find(QString::fromStdString(note.id));
    listed->segments.push_back(entry(sequence, "새 문장 " + std::to_string(sequence)));
    m_model->library().markChanged(QString::fromStdString(note.id));
  };
  append(40);
  EXPECT_TRUE(view->toPlainText().endsWith(QStringLiteral("새 문장 40")));
  EXPECT_EQ(scroll->value(), scroll->maximum()) << "the newest entry stays in view";

  scroll->setValue(0);
  append(41);
  EXPECT_TRUE(view->toPlainText().endsWith(QStringLiteral("새 문장 41")));
  EXPECT_EQ(scroll->value(), 0) << "a reader who scrolled up keeps his place";
}

TEST_F(StudioWindowTest, NoteRowsShowTimeDurationAndTheRecoveryBadge) {
  makeStudio();
  NativeNote incomplete = storedNote({}, "interrupted");
  incomplete.durationSeconds = 3'725.9;
  LocalNoteStore(root()).save(incomplete);
  QCoro::waitFor(m_model->reloadNotes());
  auto* list = findByText<ui::NoteList>(studio(), QStringLiteral("내 노트"));
  ASSERT_EQ(list->model()->rowCount(), 1);
  const QModelIndex row = list->model()->index(0, 0);
  const QString detail = ui::NoteList::detailLine(m_model->library().notes().front());
  EXPECT_TRUE(detail.endsWith(QStringLiteral(" · 01:02:05"))) << detail.toStdString();
  EXPECT_EQ(row.data(Qt::DisplayRole).toString(), QStringLiteral("interrupted"));
  EXPECT_EQ(row.data(ui::NoteListModel::DetailRole).toString(), detail);
  EXPECT_TRUE(row.data(ui::NoteListModel::RecoverableRole).toBool());
  EXPECT_EQ(row.data(Qt::AccessibleTextRole).toString(),
            QStringLiteral("interrupted\n") + detail + QLatin1Char('\n') + ui::NoteList::recoverableBadge);

  incomplete.completed = true;
  LocalNoteStore(root()).save(incomplete);
  QCoro::waitFor(m_model->reloadNotes());
  EXPECT_FALSE(list->model()->index(0, 0).data(ui::NoteListModel::RecoverableRole).toBool());
  EXPECT_EQ(list->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
            QStringLiteral("interrupted\n") + detail);
}

TEST_F(StudioWindowTest, PresetRowsGroupBuiltInsAndTagShownOnes) {
  makeStudio();
  auto* list = studio()->findChild<ui::PresetList*>();
  QStringList headings;
  int shown = 0;
  for (int i = 0; i < list->model()->rowCount(); ++i) {
    const QModelIndex row = list->model()->index(i, 0);
    if (row.data(ui::PresetListModel::IdRole).toString().isEmpty()) {
      headings << row.data(Qt::AccessibleTextRole).toString();
      EXPECT_FALSE(row.flags() & Qt::ItemIsSelectable);
      continue;
    }
    const OverlayPreset* preset = nullptr;
    for (const OverlayPreset& each : m_model->presetEditor().presets()) {
      preset = QString::fromStdString(each.Id) == row.data(ui::PresetListModel::IdRole).toString() ? &each
                                                                                                   : preset;
    }
    ASSERT_NE(preset, nullptr);
    const QString name = QString::fromStdString(preset->Name);
    EXPECT_EQ(row.data(Qt::AccessibleTextRole).toString(),
              preset->IsEnabled ? name + QLatin1Char('\n') + ui::PresetList::shownTag : name);
    shown += preset->IsEnabled ? 1 : 0;
  }
  EXPECT_EQ(headings, (QStringList{QStringLiteral("기본 프리셋"), QStringLiteral("사용자 프리셋 0")}));
  EXPECT_GE(shown, 1);
}

// The preset list as a user finds it, by its accessible name, and its row read as `text`.
QAbstractItemView* presetList(QWidget* studio) {
  return findByText<QAbstractItemView>(studio, QStringLiteral("오버레이 프리셋"));
}
QModelIndex presetRowReading(QAbstractItemView* list, const QString& text) {
  for (int row = 0; row < list->model()->rowCount(); ++row) {
    if (list->model()->index(row, 0).data(Qt::AccessibleTextRole).toString() == text) {
      return list->model()->index(row, 0);
    }
  }
  return {};
}

TEST_F(StudioWindowTest, EditingOnePresetRepaintsOnlyItsRow) {
  makeStudio();
  QAbstractItemView* list = presetList(studio());
  ASSERT_NE(list, nullptr);
  // What assistive technology reads for a preset's row.
  const auto reads = [](const OverlayPreset& preset) {
    const QString name = QString::fromStdString(preset.Name);
    return preset.IsEnabled ? name + QLatin1Char('\n') + ui::PresetList::shownTag : name;
  };
  struct Case {
    const char* name;
    std::function<void(OverlayPreset&)> change;
  };
  const Case cases[] = {
      {"renamed", [](OverlayPreset& preset) { preset.Name = "회의 자막"; }},
      {"shown or hidden", [](OverlayPreset& preset) { preset.IsEnabled = !preset.IsEnabled; }},
      {"recoloured",
       [](OverlayPreset& preset) { preset.BackgroundOpacity = preset.BackgroundOpacity > 0.5 ? 0.3 : 0.9; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString id = m_model->presetEditor().selectedPresetID();
    QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(list->model(), &QAbstractItemModel::dataChanged);
    m_model->presetEditor().editSelectedPreset(c.change);
    const OverlayPreset& edited = m_model->presetEditor().selectedPreset();
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changes.count(), 1);
    const auto top = changes.front().at(0).value<QModelIndex>();
    const auto bottom = changes.front().at(1).value<QModelIndex>();
    EXPECT_EQ(top.row(), bottom.row());
    EXPECT_EQ(top.data(ui::PresetListModel::IdRole).toString(), id);
    EXPECT_EQ(top.data(Qt::AccessibleTextRole).toString(), reads(edited));
    EXPECT_EQ(list->currentIndex(), top) << "the selection stays on the edited preset";
  }
}

TEST_F(StudioWindowTest, ArrowKeysMoveThePresetSelectionPastTheHeadings) {
  makeStudio();
  m_model->newPreset(false);
  const QString own = m_model->presetEditor().selectedPresetID();
  QString lastBuiltIn;
  for (const OverlayPreset& preset : m_model->presetEditor().presets()) {
    lastBuiltIn = preset.IsBuiltIn ? QString::fromStdString(preset.Id) : lastBuiltIn;
  }
  QAbstractItemView* list = presetList(studio());
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(presetRowReading(list, QStringLiteral("사용자 프리셋 1")).isValid());
  list->setFocus();
  struct Case {
    Qt::Key key;
    QString selected;
  };
  for (const Case& c : {Case{Qt::Key_Up, lastBuiltIn}, Case{Qt::Key_Down, own}}) {
    QTest::keyClick(list, c.key);
    EXPECT_EQ(m_model->presetEditor().selectedPresetID(), c.selected);
    EXPECT_EQ(list->currentIndex().data(ui::PresetListModel::IdRole).toString(), c.selected);
  }
}

TEST_F(StudioWindowTest, RecognitionShowsItsIndicator) {
  installModel();
  engineRunsFirst("sleep 1");
  makeStudio();
  QWidget* indicator = findByText(studio(), QStringLiteral("대본 처리 중"));
  ASSERT_NE(indicator, nullptr);
  EXPECT_FALSE(indicator->isVisible());
  recordAt(0.2F);
  pushSeconds(8.5, 0.2F);
  ASSERT_TRUE(eventually([&] { return m_model->recognition().recognizing(); }));
  EXPECT_TRUE(indicator->isVisible());
  QCoro::waitFor(m_model->stopRecording());
  EXPECT_TRUE(eventually([&] { return !m_model->recognition().recognizing(); }));
  EXPECT_FALSE(indicator->isVisible());
}

TEST_F(StudioWindowTest, CaptionWindowsReachTheModelThroughTheirHandlers) {
  makeStudio();
  EXPECT_EQ(m_overlays->shortcuts, std::vector<Qt::Key>{Qt::Key_S})
      << "the start-up registers the stored shortcut";
  ASSERT_TRUE(m_overlays->toggleHandler);
  m_overlays->toggleHandler();
  EXPECT_TRUE(m_model->overlays().hidden());
  EXPECT_TRUE(m_overlays->hidden);
  ASSERT_TRUE(m_overlays->frameHandler);
  m_overlays->frameHandler(QStringLiteral("builtin-widget"), Rect{100, 120, 520, 240});
  ASSERT_EQ(m_model->presetEditor().layouts().count("builtin-widget"), 1U);
}

TEST_F(StudioWindowTest, WarningAlertShowsTheTextAndClearsItWithItsButton) {
  ui::StudioWindow& window = makeStudio();
  m_model->appStatus().warn(QStringLiteral("첫 번째 경고"));
  m_model->appStatus().warn(QStringLiteral("두 번째 경고"));
  QMessageBox* box = window.warningBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 1) << "one alert at a time";
  EXPECT_EQ(box->windowTitle(), QStringLiteral("확인이 필요합니다"));
  EXPECT_EQ(box->text(), QStringLiteral("두 번째 경고"));
  ASSERT_EQ(box->buttons().size(), 1);
  EXPECT_EQ(box->buttons().front()->text(), QStringLiteral("확인"));
  box->buttons().front()->click();
  EXPECT_FALSE(m_model->appStatus().warning().has_value());
  EXPECT_EQ(window.warningBox(), nullptr);
}

TEST_F(StudioWindowTest, CtrlZUndoesPresetEditsWhileATextFieldHasTheFocus) {
  ui::StudioWindow& window = makeStudio();
  window.activateWindow();
  auto* title = findByText<QLineEdit>(&window, QStringLiteral("제목"));
  title->setFocus();
  title->selectAll();
  QTest::keyClicks(title, QStringLiteral("draft"));
  PresetEditor& presets = m_model->presetEditor();
  const std::string before = presets.selectedPreset().Name;
  presets.binding(&OverlayPreset::Name).set("renamed");
  ASSERT_EQ(presets.selectedPreset().Name, "renamed");

  QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(presets.selectedPreset().Name, before);
  EXPECT_EQ(title->text(), QStringLiteral("draft")) << "the field's own undo is not used";

  QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(presets.selectedPreset().Name, "renamed");
  EXPECT_EQ(title->text(), QStringLiteral("draft"));

  // Typed into the inspector's own name field, undone from that field: the field follows the preset.
  auto* name = findByText<QLineEdit>(&window, QStringLiteral("프리셋 이름"));
  ASSERT_NE(name, nullptr);
  name->setFocus();
  name->selectAll();
  QTest::keyClicks(name, QStringLiteral("Stage"));
  ASSERT_EQ(presets.selectedPreset().Name, "Stage");
  QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(presets.selectedPreset().Name, "renamed");
  EXPECT_EQ(name->text(), QStringLiteral("renamed"));
}

}  // namespace
}  // namespace sayloom::test
