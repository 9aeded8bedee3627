// Preset editing on the application model, on the real Qt event loop with real files.
#include <sys/stat.h>

#include "app_model_fixture.h"
#include "core/preset_document.h"
#include "platform/open_dialog.h"
#include "recording_overlays.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

class ScriptedOpenDialog final : public platform::OpenDialog {
public:
  std::optional<QString> askOpenPath(const QString& filter) override {
    filters.push_back(filter);
    if (answers.empty()) {
      return std::nullopt;
    }
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::deque<std::optional<QString>> answers;
  std::vector<QString> filters;
};

class PresetEditingTest : public AppModelTest {
protected:
  AppModel& makePresetModel() {
    AppServices services;
    auto save = std::make_unique<ScriptedSaveDialog>();
    auto open = std::make_unique<ScriptedOpenDialog>();
    auto overlays = std::make_unique<RecordingOverlays>();
    m_dialog = save.get();
    m_open = open.get();
    m_overlays = overlays.get();
    services.saveDialog = std::move(save);
    services.openDialog = std::move(open);
    services.overlays = std::move(overlays);
    m_model = std::make_unique<AppModel>(std::move(services));
    QCoro::waitFor(m_model->waitUntilLoaded());
    return *m_model;
  }

  // Waits until the debounced save (which also closes the edit group) has run.
  void waitForSave() {
    ASSERT_TRUE(eventually([this] { return !m_model->presetEditor().savePending(); }));
  }

  int undoAll() {
    int steps = 0;
    while (m_model->presetEditor().canUndo()) {
      m_model->undo();
      ++steps;
    }
    return steps;
  }

  void import(const fs::path& file) {
    m_open->answers.push_back(QString::fromStdString(file.string()));
    QCoro::waitFor(m_model->importPresets());
  }

  fs::path presetFile() const { return root() / "overlay-presets.json"; }
  fs::path layoutFile() const { return root() / "layout-macos.json"; }

  ScriptedOpenDialog* m_open = nullptr;
  RecordingOverlays* m_overlays = nullptr;
};

TEST_F(PresetEditingTest, QuickEditsFormOneUndoStepAndValuesAreNormalised) {
  AppModel& model = makePresetModel();
  auto fontSize = model.presetEditor().binding(&OverlayPreset::FontSize);
  ASSERT_EQ(fontSize.get(), 26);
  for (int i = 1; i <= 20; ++i) {
    fontSize.set(26 + 5 * i);  // ends at 126
  }
  EXPECT_EQ(fontSize.get(), 96);
  EXPECT_EQ(m_overlays->shownPresets.front().FontSize, 96) << "the overlay windows follow each edit";
  EXPECT_EQ(m_overlays->shownOriginal, QStringLiteral("녹음을 시작하면 자막이 여기에 표시됩니다."));

  model.undo();
  EXPECT_EQ(fontSize.get(), 26);
  EXPECT_FALSE(model.presetEditor().canUndo());
  model.redo();
  EXPECT_EQ(fontSize.get(), 96);

  waitForSave();
  const json saved = json::parse(readFile(presetFile()));
  EXPECT_EQ(saved["Presets"][0]["FontSize"], 96.0);
  EXPECT_TRUE(fs::exists(layoutFile()));
}

TEST_F(PresetEditingTest, OnlyTheLastFiftySeparateEditsCanBeUndone) {
  AppModel& model = makePresetModel();
  model.presetEditor().setSaveDelay(std::chrono::milliseconds(1));
  auto padding = model.presetEditor().binding(&OverlayPreset::Padding);
  for (int i = 0; i < 51; ++i) {
    padding.set(5 + i);
    waitForSave();
  }
  EXPECT_EQ(undoAll(), 50);
  EXPECT_EQ(padding.get(), 5) << "the first edit can no longer be undone";
}

TEST_F(PresetEditingTest, AnEditAfterUndoEmptiesRedo) {
  AppModel& model = makePresetModel();
  auto name = model.presetEditor().binding(&OverlayPreset::Name);
  name.set("첫 이름");
  model.undo();
  EXPECT_TRUE(model.presetEditor().canRedo());
  name.set("다른 이름");
  EXPECT_FALSE(model.presetEditor().canRedo());
  model.redo();
  EXPECT_EQ(name.get(), "다른 이름");
}

TEST_F(PresetEditingTest, GradientStopsAreAddedUpToEightAndRemovedDownToTwoEachAsOneStep) {
  AppModel& model = makePresetModel();
  PresetEditor& editor = model.presetEditor();
  editor.setSaveDelay(std::chrono::milliseconds(1));
  const std::size_t initial = editor.selectedPreset().GradientStops.size();
  ASSERT_GE(initial, 2u);

  while (editor.canAddGradientStop()) {
    editor.addGradientStop();
    waitForSave();
  }
  const auto& stops = editor.selectedPreset().GradientStops;
  ASSERT_EQ(stops.size(), 8u);
  EXPECT_EQ(stops.back(), (GradientStop{"#8000B8A9", 0.5}));
  editor.addGradientStop();
  EXPECT_EQ(editor.selectedPreset().GradientStops.size(), 8u);

  const GradientStop first = editor.selectedPreset().GradientStops.front();
  editor.removeGradientStop(0);
  EXPECT_NE(editor.selectedPreset().GradientStops.front(), first);
  editor.removeGradientStop(99);  // no such row
  EXPECT_EQ(editor.selectedPreset().GradientStops.size(), 7u);
  while (editor.canRemoveGradientStop()) {
    editor.removeGradientStop(editor.selectedPreset().GradientStops.size() - 1);
    waitForSave();
  }
  EXPECT_EQ(editor.selectedPreset().GradientStops.size(), 2u);
  editor.removeGradientStop(0);
  EXPECT_EQ(editor.selectedPreset().GradientStops.size(), 2u);

  model.undo();
  EXPECT_EQ(editor.selectedPreset().GradientStops.size(), 3u) << "each removal is one undo step";
}

TEST_F(PresetEditingTest, PresetCountStaysBetweenOneAndSixtyFour) {
  AppModel& model = makePresetModel();
  model.newPreset(true);
  EXPECT_EQ(model.presetEditor().presets().back().Name, "위젯 복사");
  EXPECT_EQ(model.presetEditor().selectedPresetID().toStdString(), model.presetEditor().presets().back().Id);
  while (model.presetEditor().presets().size() < 64) {
    model.newPreset(false);
  }
  EXPECT_EQ(model.presetEditor().presets().back().Name, "새 프리셋");
  EXPECT_FALSE(model.presetEditor().presets().back().IsEnabled);
  model.newPreset(false);
  EXPECT_EQ(model.presetEditor().presets().size(), 64u);

  // Undoing the additions leaves the selection on an existing preset.
  model.undo();
  EXPECT_EQ(model.presetEditor().presets().size(), 4u);
  EXPECT_EQ(model.presetEditor().selectedPresetID(), QStringLiteral("builtin-widget"));

  for (int i = 0; i < 5; ++i) {
    model.deletePreset();
  }
  ASSERT_EQ(model.presetEditor().presets().size(), 1u);
  EXPECT_EQ(model.presetEditor().presets().front().Id, "builtin-focus");
  EXPECT_EQ(m_overlays->shownPresets.size(), 1u);
}

TEST_F(PresetEditingTest, ImportAddsDisabledCopies) {
  AppModel& model = makePresetModel();
  const fs::path file = m_dir / "widget.json";
  writeFile(file, PresetDocument({OverlayPreset::builtIns()[0]}).encode());
  import(file);
  EXPECT_EQ(m_open->filters.back(), QStringLiteral("JSON (*.json)"));
  ASSERT_EQ(model.presetEditor().presets().size(), 5u);
  EXPECT_EQ(model.presetEditor().presets()[0], OverlayPreset::builtIns()[0]);
  const OverlayPreset& copy = model.presetEditor().presets()[4];
  EXPECT_EQ(copy.Name, "위젯");
  EXPECT_EQ(copy.Kind, "Custom");
  EXPECT_FALSE(copy.IsEnabled);
  EXPECT_FALSE(copy.IsBuiltIn);
  EXPECT_NE(copy.Id, "builtin-widget");
  EXPECT_EQ(copy.GradientStops, model.presetEditor().presets()[0].GradientStops);
  EXPECT_EQ(model.presetEditor().selectedPresetID().toStdString(), copy.Id);
  EXPECT_EQ(model.appStatus().status(),
            QStringLiteral("프리셋을 가져왔습니다. 미리보기를 확인한 뒤 표시를 켜세요."));
  EXPECT_FALSE(model.appStatus().warning());

  m_open->answers.push_back(std::nullopt);
  QCoro::waitFor(model.importPresets());
  EXPECT_EQ(model.presetEditor().presets().size(), 5u);
}

TEST_F(PresetEditingTest, FailedImportsAddNothing) {
  AppModel& model = makePresetModel();
  while (model.presetEditor().presets().size() < 62) {
    model.newPreset(false);
  }
  waitForSave();
  const std::string savedFile = readFile(presetFile());

  const fs::path three = m_dir / "three.json";
  writeFile(three, PresetDocument(std::vector<OverlayPreset>(3)).encode());
  const fs::path newer = m_dir / "newer.json";
  writeFile(newer, R"({"Version": 3, "Presets": [{}]})");
  const fs::path large = m_dir / "large.json";
  writeFile(large, std::string(1024 * 1024 + 1, ' '));
  const fs::path missing = m_dir / "missing.json";
  // Files nobody should offer, which must neither hang the import nor fill the memory.
  const fs::path huge = m_dir / "huge.json";
  writeFile(huge, "");
  fs::resize_file(huge, std::uintmax_t{2} << 30);
  const fs::path fifo = m_dir / "fifo.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path nested = m_dir / "nested.json";
  writeFile(nested, std::string(400'000, '[') + std::string(400'000, ']'));

  const std::pair<fs::path, std::optional<QString>> cases[] = {
      {three, QStringLiteral("프리셋은 최대 64개입니다.")},
      {newer,
       QStringLiteral("더 최신 앱의 프리셋 버전 3입니다. 원본을 보호하기 위해 설정 저장을 잠갔습니다.")},
      {large, QStringLiteral("프리셋 파일은 1 MiB 이하여야 합니다.")},
      {huge, QStringLiteral("프리셋 파일은 1 MiB 이하여야 합니다.")},
      {missing, std::nullopt},  // the file system's own text
      {fifo, std::nullopt},
      {"/dev/zero", std::nullopt},
      {nested, std::nullopt},  // the JSON reader's text
  };
  for (const auto& [file, expected] : cases) {
    model.appStatus().setWarning(std::nullopt);
    import(file);
    ASSERT_TRUE(model.appStatus().warning()) << file;
    if (expected) {
      EXPECT_EQ(*model.appStatus().warning(), *expected);
    }
    EXPECT_EQ(model.presetEditor().presets().size(), 62u);
    EXPECT_FALSE(model.presetEditor().savePending());
  }
  EXPECT_FALSE(model.presetEditor().presetReadOnly());
  EXPECT_EQ(readFile(presetFile()), savedFile);
}

TEST_F(PresetEditingTest, ExportWritesEveryPreset) {
  AppModel& model = makePresetModel();
  model.newPreset(true);
  const fs::path target = m_dir / "out" / "presets.json";
  m_dialog->answers.push_back(QString::fromStdString(target.string()));
  QCoro::waitFor(model.exportPresets());
  EXPECT_EQ(m_dialog->asked.back().first, QStringLiteral("Sayloom-presets.json"));
  EXPECT_EQ(PresetDocument::read(readFile(target)).Presets, model.presetEditor().presets());
  EXPECT_FALSE(model.appStatus().warning());

  m_dialog->answers.push_back(
      QString::fromStdString((m_dir / "missing-folder-is-a-file" / "x.json").string()));
  writeFile(m_dir / "missing-folder-is-a-file", "");
  QCoro::waitFor(model.exportPresets());
  EXPECT_TRUE(model.appStatus().warning());
}

TEST_F(PresetEditingTest, LockedPresetsStillRecordWindowFrames) {
  const std::string newer = R"({"Version": 3, "Presets": [{"Name": "미래"}]})";
  writeFile(presetFile(), newer);
  AppModel& model = makePresetModel();
  ASSERT_TRUE(model.presetEditor().presetReadOnly());
  EXPECT_EQ(model.appStatus().warning(),
            QStringLiteral("더 최신 앱의 프리셋 버전 3입니다. 원본을 보호하기 위해 설정 저장을 잠갔습니다."));
  EXPECT_EQ(model.presetEditor().presets(), OverlayPreset::builtIns());

  model.presetEditor().binding(&OverlayPreset::FontSize).set(40);
  model.newPreset(false);
  model.deletePreset();
  EXPECT_EQ(model.presetEditor().presets(), OverlayPreset::builtIns());
  EXPECT_FALSE(model.presetEditor().canUndo());

  model.recordLayout(QStringLiteral("builtin-widget"), Rect{300, 200, 200, 80});
  EXPECT_EQ(model.presetEditor().presets()[0].Width, 240);
  waitForSave();
  EXPECT_EQ(LayoutFile::read(root()).at("builtin-widget"), (MacLayout{300, 200, 200, 80, 2, "1"}));
  EXPECT_EQ(readFile(presetFile()), newer);
  for (const auto& entry : fs::directory_iterator(root())) {
    EXPECT_EQ(entry.path().filename().string().find("corrupt"), std::string::npos) << entry.path();
  }
  EXPECT_FALSE(model.appStatus().warning() && model.appStatus().warning()->contains(QStringLiteral("잠겨")));
}

TEST_F(PresetEditingTest, SavedPresetsAndLayoutsComeBackAtTheNextStart) {
  {
    AppModel& model = makePresetModel();
    model.newPreset(false);
    model.presetEditor().binding(&OverlayPreset::Name).set("내 프리셋");
    model.recordLayout(QString::fromStdString(model.presetEditor().presets().back().Id),
                       Rect{10, 20, 640, 360});
    model.recordLayout(QStringLiteral("gone"), Rect{1, 2, 300, 300});
    shutdown();
  }
  AppModel& model = makePresetModel();
  ASSERT_EQ(model.presetEditor().presets().size(), 5u);
  EXPECT_EQ(model.presetEditor().presets().back().Name, "내 프리셋");
  EXPECT_EQ(model.presetEditor().presets().back().Width, 640);
  EXPECT_EQ(model.presetEditor().selectedPresetID(), QStringLiteral("builtin-widget"));
  EXPECT_EQ(model.presetEditor().layouts().size(), 2u);
  EXPECT_EQ(model.presetEditor().layouts().at(model.presetEditor().presets().back().Id),
            (MacLayout{10, 20, 640, 360, 2, "1"}));
}

TEST_F(PresetEditingTest, FailedSaveShowsTheErrorAndKeepsTheEdit) {
  AppModel& model = makePresetModel();
  fs::create_directories(layoutFile());  // the layout file cannot replace a folder
  model.presetEditor().binding(&OverlayPreset::CornerRadius).set(3);
  waitForSave();
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(model.presetEditor().presets()[0].CornerRadius, 3);
  EXPECT_EQ(json::parse(readFile(presetFile()))["Presets"][0]["CornerRadius"], 3.0);
}

}  // namespace
}  // namespace sayloom::test
