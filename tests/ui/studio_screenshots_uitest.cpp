// Screenshots of the studio in both sections with a note in Korean and English, at its default and
// its minimum size, of the settings window's sections and of the tray menu, saved in the build
// tree's artefacts folder for a person to look at; and at the minimum size, a check that no label
// or button is narrower than its text needs and no two controls overlap.
#include <QAbstractButton>
#include <QScrollArea>
#include <QTabWidget>

#include "support/studio_fixture.h"
#include "ui/settings/settings_window.h"
#include "ui/studio/detail_column.h"
#include "ui/studio/preview_stage.h"
#include "ui/studio/sidebar.h"
#include "ui/tray/tray_menu.h"

namespace sayloom::test {
namespace {

TranscriptEntry entry(std::int64_t sequence, std::int64_t startMs, const std::string& text,
                      const std::string& translation = {}) {
  TranscriptEntry made;
  made.id = "e" + std::to_string(sequence);
  made.sequence = sequence;
  made.startTimeMs = startMs;
  made.endTimeMs = startMs + 4'000;
  made.text = text;
  made.translation = translation;
  return made;
}

// Visible text controls whose width is less than their text needs (clipped), by their text.
QStringList clippedTexts(QWidget* root) {
  QStringList clipped;
  for (QWidget* widget : root->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(root) || widget->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored) {
      continue;
    }
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && !label->wordWrap() &&
                                                     !label->text().isEmpty() &&
                                                     label->width() < label->minimumSizeHint().width()) {
      clipped << label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget);
        button != nullptr && !button->text().isEmpty() &&
        button->width() < button->minimumSizeHint().width()) {
      clipped << button->text();
    }
  }
  return clipped;
}

// Pairs of visible sibling controls whose frames overlap.
QStringList overlaps(QWidget* root) {
  QStringList found;
  for (QWidget* parent : root->findChildren<QWidget*>()) {
    if (!parent->isVisibleTo(root) || parent->inherits("QStackedWidget") ||
        parent->inherits("QAbstractScrollArea")) {
      continue;
    }
    std::vector<QWidget*> children;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (child->isVisibleTo(root) && !child->isWindow() && !child->geometry().isEmpty() &&
          (qobject_cast<QLabel*>(child) != nullptr || qobject_cast<QAbstractButton*>(child) != nullptr ||
           qobject_cast<QComboBox*>(child) != nullptr)) {
        children.push_back(child);
      }
    }
    for (std::size_t i = 0; i < children.size(); ++i) {
      for (std::size_t j = i + 1; j < children.size(); ++j) {
        if (children[i]->geometry().intersects(children[j]->geometry())) {
          found << children[i]->objectName() + QLatin1Char('/') + children[i]->accessibleName() +
                       QStringLiteral(" × ") + children[j]->objectName() + QLatin1Char('/') +
                       children[j]->accessibleName();
        }
      }
    }
  }
  return found;
}

class StudioScreenshots : public StudioTest {
protected:
  void holdABilingualNote() {
    NativeNote note = storedNote({256'000, 80'000}, "주간 제품 회의 · Weekly sync");
    note.completed = true;
    note.durationSeconds = 10.5;
    note.segments = {
        entry(0, 0, "좋은 아이디어는 대화에서 시작됩니다.", "Great ideas begin with a conversation."),
        entry(1, 4'200, "Let's review the launch checklist first.", "먼저 출시 체크리스트를 검토하죠."),
        entry(2, 8'100, "자막 창은 화면 어디에나 둘 수 있어요."),
        entry(3, 12'600, "The captions follow the speaker in real time.",
              "자막은 실시간으로 화자를 따라갑니다."),
    };
    LocalNoteStore(root()).save(note);
    NativeNote interrupted = storedNote({256'000}, "중단된 녹음");
    interrupted.durationSeconds = 8;
    LocalNoteStore(root()).save(interrupted);
    QCoro::waitFor(m_model->reloadNotes());
    m_model->library().setSelectedNoteID(QString::fromStdString(note.id));
    m_model->newPreset(false);
  }

  void settle() {
    QApplication::processEvents();
    QTest::qWait(100);
  }
};

TEST_F(StudioScreenshots, BothSectionsAtDefaultAndMinimumSize) {
  ui::StudioWindow& window = makeStudio();
  holdABilingualNote();
  struct Shot {
    const char* file;
    ui::Section section;
    QSize size;
  };
  const Shot shots[] = {
      {"studio-section-studio.png", ui::Section::studio, {1320, 860}},
      {"studio-section-notes.png", ui::Section::notes, {1320, 860}},
      {"studio-minimum-studio.png", ui::Section::studio, {1060, 690}},
      {"studio-minimum-notes.png", ui::Section::notes, {1060, 690}},
  };
  for (const Shot& shot : shots) {
    SCOPED_TRACE(shot.file);
    window.sidebar()->setSection(shot.section);
    window.resize(shot.size);
    settle();
    EXPECT_TRUE(window.grab().save(artifactPath(QString::fromUtf8(shot.file))));
    if (window.size() == QSize(1060, 690)) {
      EXPECT_EQ(clippedTexts(&window), QStringList());
      EXPECT_EQ(overlaps(&window), QStringList());
    }
  }

  // The lower half of the studio section: the preview stage beside the preset inspector.
  window.sidebar()->setSection(ui::Section::studio);
  window.resize(1320, 860);
  settle();
  QWidget* preview = window.detail()->preview();
  QWidget* viewport = preview->parentWidget();
  while (viewport != nullptr && qobject_cast<QScrollArea*>(viewport) == nullptr) {
    viewport = viewport->parentWidget();
  }
  ASSERT_NE(viewport, nullptr);
  static_cast<QScrollArea*>(viewport)->ensureWidgetVisible(preview, 0, 0);
  settle();
  EXPECT_TRUE(window.grab().save(artifactPath(QStringLiteral("studio-preview.png"))));
}

TEST_F(StudioScreenshots, SettingsSectionsAndTrayMenu) {
  makeStudio();
  ui::SettingsWindow settings(*m_model);
  settings.show();
  const char* files[] = {"settings-recognition.png", "settings-overlay.png", "settings-account.png"};
  for (int i = 0; i < settings.sections()->count(); ++i) {
    settings.sections()->setCurrentIndex(i);
    settle();
    EXPECT_TRUE(settings.grab().save(artifactPath(QString::fromUtf8(files[i]))));
    EXPECT_EQ(clippedTexts(settings.sections()->widget(i)), QStringList()) << files[i];
  }

  ui::TrayMenu tray(*m_model, *m_actions, [] {});
  QCoro::waitFor(m_model->startRecording());
  m_source.push(std::vector<float>(2 * 16'000, 0.2F));
  ASSERT_TRUE(eventually([&] { return m_model->session().elapsed() >= 2; }));
  tray.menu()->adjustSize();
  EXPECT_TRUE(tray.menu()->grab().save(artifactPath(QStringLiteral("tray-menu.png"))));
  QCoro::waitFor(m_model->stopRecording());
}

}  // namespace
}  // namespace sayloom::test
