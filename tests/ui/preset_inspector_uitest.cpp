// The preset inspector driven like a user would (QTest clicks and keys) against a real preset
// editor with its files in a scratch folder: each control edits its field, the edit is one undo
// step and is saved, and the controls follow the preset.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <chrono>

#include "app/app_status.h"
#include "app/presets/preset_editor.h"
#include "core/preset_document.h"
#include "support/canvas.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"
#include "ui/inspector/checkerboard.h"
#include "ui/inspector/preset_inspector.h"
#include "ui/inspector/value_slider.h"

namespace sayloom::ui {
namespace {

namespace fs = std::filesystem;

// The widget below `root` of type T whose accessible name, or else text, is `name`.
template <typename T>
T* named(QWidget* root, const QString& name) {
  for (T* widget : root->findChildren<T*>()) {
    if (widget->accessibleName() == name) {
      return widget;
    }
    if constexpr (std::is_base_of_v<QAbstractButton, T>) {
      if (widget->text() == name) {
        return widget;
      }
    }
  }
  ADD_FAILURE() << "no control named " << name.toStdString();
  return nullptr;
}

class PresetInspectorTest : public ::testing::Test {
protected:
  // A preset editor on a scratch folder, loaded from `presetFile` when given.
  void open(const std::optional<std::string>& presetFile = std::nullopt) {
    if (presetFile) {
      test::writeFile(m_dir / "overlay-presets.json", *presetFile);
    }
    m_editor = std::make_unique<PresetEditor>(m_dir.path(), m_status, nullptr, nullptr);
    ASSERT_TRUE(QCoro::waitFor(m_editor->loadPresets()));
    m_inspector = std::make_unique<PresetInspector>(*m_editor);
    m_inspector->resize(380, 900);
    m_inspector->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_inspector.get()));
  }

  void select(const char* id) { m_editor->setSelectedPresetID(QString::fromLatin1(id)); }
  const OverlayPreset& selected() const { return m_editor->selectedPreset(); }

  // The selected preset as the preset file holds it once the debounced save has run.
  OverlayPreset saved() {
    EXPECT_TRUE(QTest::qWaitFor([this] { return !m_editor->savePending(); }, 10'000));
    const PresetDocument document = PresetDocument::read(test::readFile(m_dir / "overlay-presets.json"));
    for (const OverlayPreset& preset : document.Presets) {
      if (preset.Id == selected().Id) {
        return preset;
      }
    }
    ADD_FAILURE() << "the selected preset is not in the file";
    return {};
  }

  template <typename T>
  T* control(const QString& name) {
    return named<T>(m_inspector.get(), name);
  }

  // A click near the button's leading edge, where a check box has its box and text.
  void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {},
                      QPoint(std::min(8, button->width() / 2), button->height() / 2));
  }

  test::TempDir m_dir;
  AppStatus m_status;
  std::unique_ptr<PresetEditor> m_editor;
  std::unique_ptr<PresetInspector> m_inspector;
};

TEST_F(PresetInspectorTest, TheOpacitySliderAtItsMiddleStoresHalfAsOneSavedUndoStep) {
  open();
  select("builtin-widget");
  QSignalSpy changed(m_editor.get(), &PresetEditor::presetsChanged);
  auto* slider = control<QSlider>(QStringLiteral("배경 불투명도"));
  ASSERT_NE(slider, nullptr);
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_Home);
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(slider, Qt::Key_PageUp);  // ten per page: the middle of 0...100
  }
  EXPECT_DOUBLE_EQ(selected().BackgroundOpacity, 0.5);
  auto* row = qobject_cast<ValueSlider*>(slider->parentWidget());
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->valueLabel()->text(), QStringLiteral("50%"));
  EXPECT_EQ(changed.count(), 6) << "every step refreshes the overlay windows";
  EXPECT_DOUBLE_EQ(saved().BackgroundOpacity, 0.5);

  m_editor->undo();
  EXPECT_DOUBLE_EQ(selected().BackgroundOpacity, 0.9) << "the whole drag is one undo step";
  EXPECT_EQ(row->valueLabel()->text(), QStringLiteral("90%"));
  EXPECT_FALSE(m_editor->canUndo());
}

TEST_F(PresetInspectorTest, SlidersShowTheirUnitsAndTheAngleHasANumericField) {
  open();
  select("builtin-glass");
  auto shown = [&](const char* name) {
    return qobject_cast<ValueSlider*>(control<QSlider>(QString::fromUtf8(name))->parentWidget())->shownText();
  };
  EXPECT_EQ(shown("각도"), QStringLiteral("120°"));
  EXPECT_EQ(shown("표면 빛"), QStringLiteral("65%"));
  EXPECT_EQ(shown("글자 크기"), QStringLiteral("26pt"));
  EXPECT_EQ(shown("모서리"), QStringLiteral("26pt"));

  auto* angle = control<QSpinBox>(QStringLiteral("그라데이션 각도 숫자 입력"));
  angle->setFocus();
  angle->selectAll();
  QTest::keyClicks(angle, QStringLiteral("75"));
  QTest::keyClick(angle, Qt::Key_Return);
  EXPECT_DOUBLE_EQ(selected().GradientAngle, 75);
  EXPECT_EQ(shown("각도"), QStringLiteral("75°"));
  EXPECT_DOUBLE_EQ(saved().GradientAngle, 75);
}

TEST_F(PresetInspectorTest, TheLanguageFilterSplitsOnlyAtCommasAndNormalisationDoesTheRest) {
  open();
  select("builtin-widget");
  EXPECT_FALSE(m_inspector->advancedOpen()) << "closed at first";
  click(control<QToolButton>(PresetInspector::advancedTitle));
  ASSERT_TRUE(m_inspector->advancedOpen());

  EXPECT_EQ(PresetInspector::languagesFromText(QStringLiteral("en,  KO ,ja")),
            (std::vector<std::string>{"en", "  KO ", "ja"}));
  auto* field = control<QLineEdit>(QStringLiteral("번역 언어 필터 (en, ko)"));
  ASSERT_TRUE(field->isVisible());
  field->setFocus();
  QTest::keyClicks(field, QStringLiteral("en,  KO ,ja"));
  EXPECT_EQ(selected().Languages, (std::vector<std::string>{"en", "ko", "ja"}));
  EXPECT_EQ(field->text(), QStringLiteral("en,  KO ,ja")) << "the typed text stays while typing";
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(field->text(), QStringLiteral("en, ko, ja"));
  EXPECT_EQ(saved().Languages, (std::vector<std::string>{"en", "ko", "ja"}));

  m_editor->undo();
  EXPECT_TRUE(selected().Languages.empty()) << "the typing was one undo step";
  EXPECT_EQ(field->text(), QString());
}

TEST_F(PresetInspectorTest, StopsAreAddedUpToEightAndRemovedDownToTwo) {
  open();
  select("builtin-widget");  // two stops
  auto* add = control<QAbstractButton>(QStringLiteral("색상 추가"));
  for (int i = 0; i < 7; ++i) {
    click(add);
  }
  ASSERT_EQ(selected().GradientStops.size(), 8U);
  EXPECT_EQ(selected().GradientStops.back(), (GradientStop{"#8000B8A9", 0.5}));
  EXPECT_FALSE(add->isEnabled());
  EXPECT_EQ(saved().GradientStops.size(), 8U);

  // The third stop's position, then its removal by its own row.
  auto* position = control<QSlider>(QStringLiteral("색상 3 위치"));
  position->setFocus();
  QTest::keyClick(position, Qt::Key_End);
  EXPECT_DOUBLE_EQ(selected().GradientStops[2].offset, 1.0);
  click(control<QAbstractButton>(QStringLiteral("색상 1 삭제")));
  ASSERT_EQ(selected().GradientStops.size(), 7U);
  EXPECT_EQ(selected().GradientStops[0].color, "#101622");
  EXPECT_DOUBLE_EQ(selected().GradientStops[1].offset, 1.0);

  while (selected().GradientStops.size() > 2) {
    auto* remove =
        control<QAbstractButton>(QStringLiteral("색상 %1 삭제").arg(selected().GradientStops.size()));
    ASSERT_TRUE(remove->isEnabled());
    click(remove);
    QCoreApplication::processEvents();
  }
  auto* last = control<QAbstractButton>(QStringLiteral("색상 2 삭제"));
  EXPECT_FALSE(last->isEnabled());
  click(last);
  EXPECT_EQ(selected().GradientStops.size(), 2U);
  EXPECT_TRUE(add->isEnabled());
  EXPECT_EQ(saved().GradientStops.size(), 2U);
}

TEST_F(PresetInspectorTest, TheHexEditorKeepsInvalidTextOut) {
  open();
  select("builtin-focus");
  auto* field = control<QLineEdit>(QStringLiteral("배경 HEX, 알파-빨강-초록-파랑 순서"));
  EXPECT_EQ(field->placeholderText(), QStringLiteral("#AARRGGBB"));
  EXPECT_EQ(field->text(), QStringLiteral("#F4F1E9"));

  struct Typed {
    const char* text;
    Qt::Key key;
    const char* stored;
  };
  const Typed cases[] = {
      {"#12345", Qt::Key_Return, "#F4F1E9"},     // too short: dropped
      {"#GG0000", Qt::Key_Return, "#F4F1E9"},    // not hexadecimal
      {"#ff336699", Qt::Key_Escape, "#F4F1E9"},  // escape drops even valid text
      {"#ff336699", Qt::Key_Return, "#FF336699"},
  };
  for (const Typed& c : cases) {
    SCOPED_TRACE(c.text);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QString::fromLatin1(c.text));
    QTest::keyClick(field, c.key);
    EXPECT_EQ(selected().BackgroundColor, c.stored);
    EXPECT_EQ(field->text(), QString::fromLatin1(c.stored)) << "the draft returns to the stored text";
  }
  EXPECT_EQ(saved().BackgroundColor, "#FF336699");
  m_editor->undo();
  EXPECT_EQ(field->text(), QStringLiteral("#F4F1E9")) << "the draft follows a change from elsewhere";
}

TEST_F(PresetInspectorTest, ChoicesTogglesAndTheTitleMenuEditThePreset) {
  open();
  select("builtin-widget");
  QStringList texts;
  for (QLabel* label : m_inspector->findChildren<QLabel*>()) {
    texts << label->text();
  }
  EXPECT_TRUE(texts.contains(PresetInspector::title));
  EXPECT_TRUE(
      texts.contains(QStringLiteral("변경 내용은 자동으로 저장됩니다. Ctrl+Z로 되돌릴 수 있습니다.")));
  EXPECT_EQ(control<QLineEdit>(QStringLiteral("프리셋 이름"))->text(), QStringLiteral("위젯"));

  click(control<QAbstractButton>(QStringLiteral("단색")));
  EXPECT_EQ(selected().BackgroundMode, "Solid");
  EXPECT_FALSE(control<QSlider>(QStringLiteral("각도"))->isVisible())
      << "no gradient controls for a solid fill";
  click(control<QAbstractButton>(QStringLiteral("방사형")));
  EXPECT_EQ(selected().BackgroundMode, "Radial");
  EXPECT_TRUE(control<QSlider>(QStringLiteral("각도"))->isVisible());
  click(control<QAbstractButton>(QStringLiteral("오른쪽 정렬")));
  EXPECT_EQ(selected().Alignment, "Right");
  click(control<QCheckBox>(QStringLiteral("헤더 표시")));
  EXPECT_FALSE(selected().ShowHeader);

  auto* name = control<QLineEdit>(QStringLiteral("프리셋 이름"));
  name->setFocus();
  name->selectAll();
  QTest::keyClicks(name, QStringLiteral("Team "));
  EXPECT_EQ(selected().Name, "Team");
  EXPECT_EQ(name->text(), QStringLiteral("Team ")) << "a trailing space survives while typing";

  auto* menuButton = control<QToolButton>(QStringLiteral("프리셋 메뉴"));
  QAction* duplicate = nullptr;
  QAction* remove = nullptr;
  for (QAction* action : menuButton->menu()->actions()) {
    (action->text() == QStringLiteral("복제") ? duplicate : remove) = action;
  }
  ASSERT_NE(duplicate, nullptr);
  ASSERT_NE(remove, nullptr);
  duplicate->trigger();
  EXPECT_EQ(m_editor->presets().size(), 5U);
  EXPECT_EQ(selected().Name, "Team 복사");
  EXPECT_EQ(name->text(), QStringLiteral("Team 복사")) << "the form shows the new preset";
  remove->trigger();
  EXPECT_EQ(m_editor->presets().size(), 4U);
}

TEST_F(PresetInspectorTest, ALockedPresetFileDisablesTheControls) {
  open(R"({"Version": 3, "Presets": [{"Name": "미래"}]})");
  ASSERT_TRUE(m_editor->presetReadOnly());
  for (QWidget* widget : std::initializer_list<QWidget*>{
           control<QLineEdit>(QStringLiteral("프리셋 이름")),
           control<QSlider>(QStringLiteral("배경 불투명도")),
           control<QAbstractButton>(QStringLiteral("선형")), control<QCheckBox>(QStringLiteral("원문 표시")),
           control<QLineEdit>(QStringLiteral("테두리 HEX, 알파-빨강-초록-파랑 순서")),
           control<QToolButton>(QStringLiteral("프리셋 메뉴"))}) {
    EXPECT_FALSE(widget->isEnabled()) << widget->accessibleName().toStdString();
  }
  EXPECT_TRUE(control<QToolButton>(PresetInspector::advancedTitle)->isEnabled());
}

TEST(CheckerboardTest, AlternatesTenPointGreyAndWhiteSquares) {
  const test::Premultiplied grey = test::Premultiplied::of(QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.3f));
  const test::Premultiplied white = test::Premultiplied::of(QColor::fromRgbF(1, 1, 1, 0.75f));
  for (qreal ratio : {1.0, 2.0}) {
    const test::Canvas canvas(QSizeF(40, 30), ratio, [](QPainter& painter, const QRectF& rect) {
      Checkerboard::paint(painter, rect);
    });
    EXPECT_LE(canvas.at({1, 1}).distance(grey), 1);
    EXPECT_LE(canvas.at({9.5, 9.5}).distance(grey), 1);
    EXPECT_LE(canvas.at({10.5, 1}).distance(white), 1);
    EXPECT_LE(canvas.at({15, 15}).distance(grey), 1);
    EXPECT_LE(canvas.at({5, 25}).distance(grey), 1);
    EXPECT_LE(canvas.at({39.5, 29.5}).distance(white), 1);
    EXPECT_EQ(canvas.at({40.5, 29.5}).alpha, 0) << "nothing beyond the rectangle";
  }
}

TEST_F(PresetInspectorTest, ScreenshotOfALinearPresetWithTheAdvancedSectionOpen) {
  open();
  select("builtin-glass");
  m_inspector->setAdvancedOpen(true);
  QWidget* form = m_inspector->findChild<QScrollArea*>()->widget();
  m_inspector->resize(400, form->sizeHint().height() + 4);
  QCoreApplication::processEvents();
  const QString folder = test::artifactsDir() + QStringLiteral("/inspector");
  QDir().mkpath(folder);
  ASSERT_TRUE(m_inspector->grab().save(folder + QStringLiteral("/linear-advanced.png")));
}

}  // namespace
}  // namespace sayloom::ui
