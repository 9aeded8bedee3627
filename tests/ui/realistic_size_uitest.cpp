// The studio on a data folder of the size users reach: it opens and stays up with a thousand notes
// (and with just enough notes to need a scroll bar), lists every note, selects one by click and by
// keyboard and shows its transcript, records and stops while only the recording note's row is
// updated, exports a transcript and starts recovering the six-hour note; and a screenshot of the
// long list.
#include <QAbstractItemView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBrowser>

#include "core/local_note_store.h"
#include "support/realistic_data_folder.h"
#include "support/studio_fixture.h"

namespace sayloom::test {
namespace {

// The note list as a user finds it, by its accessible name.
QAbstractItemView* noteList(QWidget* studio) {
  return findByText<QAbstractItemView>(studio, QStringLiteral("내 노트"));
}

// What assistive technology reads for a row: title, detail line and the badge, one a line.
QString rowText(QAbstractItemView* list, int row) {
  return list->model()->index(row, 0).data(Qt::AccessibleTextRole).toString();
}

// The row whose first line is `title`.
QModelIndex rowTitled(QAbstractItemView* list, const QString& title) {
  for (int row = 0; row < list->model()->rowCount(); ++row) {
    if (rowText(list, row).section(QLatin1Char('\n'), 0, 0) == title) {
      return list->model()->index(row, 0);
    }
  }
  return {};
}

void clickRow(QAbstractItemView* list, const QModelIndex& row) {
  ASSERT_TRUE(row.isValid());
  list->scrollTo(row);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
}

class RealisticSizeTest : public StudioTest {
protected:
  void SetUp() override { m_folder = &RealisticDataFolder::linkInto(root()); }

  QString title(std::size_t i) const { return QString::fromStdString(m_folder->titles()[i]); }
  QTextBrowser* transcript() { return findByText<QTextBrowser>(studio(), QStringLiteral("대본")); }
  bool transcriptShows(const std::string& text) {
    return eventually([&] {
      return transcript()->isVisible() && transcript()->toPlainText().contains(QString::fromStdString(text));
    });
  }
  bool idle() {
    return eventually([&] {
      return !m_model->session().recording() && !m_model->recognition().recognizing() &&
             !m_model->appStatus().working();
    });
  }

  const RealisticDataFolder* m_folder = nullptr;
};

TEST_F(RealisticSizeTest, StudioListsEveryNoteAndSelectsByClickAndKeyboard) {
  makeStudio();
  QAbstractItemView* list = noteList(studio());
  ASSERT_NE(list, nullptr);
  const int listed = RealisticDataFolder::noteCount + 1;
  ASSERT_EQ(list->model()->rowCount(), listed);
  EXPECT_TRUE(list->verticalScrollBar()->isVisible());
  EXPECT_EQ(rowText(list, 0).section(QLatin1Char('\n'), 0, 0), title(0));
  EXPECT_TRUE(rowText(list, 1).endsWith(QStringLiteral("\n복구 가능"))) << rowText(list, 1).toStdString();
  EXPECT_TRUE(transcriptShows(RealisticDataFolder::entryText(m_folder->titles()[0], 99)));

  // A note far down the list, by click; then the next one by keyboard.
  clickRow(list, rowTitled(list, title(700)));
  ASSERT_NE(m_model->library().selectedNote(), nullptr);
  EXPECT_EQ(m_model->library().selectedNote()->id, m_folder->ids()[700]);
  EXPECT_TRUE(transcriptShows(RealisticDataFolder::entryText(m_folder->titles()[700], 0)));
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(m_model->library().selectedNote()->id, m_folder->ids()[701]);
  EXPECT_TRUE(transcriptShows(RealisticDataFolder::entryText(m_folder->titles()[701], 50)));
  QTest::keyClick(list, Qt::Key_End);
  EXPECT_EQ(m_model->library().selectedNote()->id, m_folder->ids().back());
  EXPECT_TRUE(list->visualRect(list->currentIndex()).intersects(list->viewport()->rect()));

  // The library's selection moves the list's.
  m_model->library().setSelectedNoteID(QString::fromStdString(m_folder->ids()[3]));
  EXPECT_EQ(list->currentIndex().row(), 3);
  EXPECT_TRUE(list->selectionModel()->isSelected(list->currentIndex()));
}

TEST_F(RealisticSizeTest, RecordingUpdatesOnlyItsOwnRowAndStops) {
  installModel();
  engineSays("새로 녹음한 문장");
  makeStudio();
  QAbstractItemView* list = noteList(studio());
  ASSERT_NE(list, nullptr);
  findByText<QPushButton>(studio(), QStringLiteral("녹음 시작"))->click();
  ASSERT_TRUE(eventually([&] { return m_model->session().recording(); }));
  ASSERT_EQ(list->model()->rowCount(), RealisticDataFolder::noteCount + 2);
  const QString id = *m_model->session().activeNoteID();
  EXPECT_EQ(list->currentIndex().row(), 0);

  QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);
  QSignalSpy reset(list->model(), &QAbstractItemModel::modelReset);
  pushSeconds(2, 0.3F);
  ASSERT_TRUE(eventually([&] { return rowText(list, 0).contains(QStringLiteral(" · 00:00:02")); }))
      << rowText(list, 0).toStdString();
  EXPECT_GT(changed.size(), 0);
  for (const QList<QVariant>& change : changed) {
    EXPECT_EQ(change[0].toModelIndex().row(), 0);
    EXPECT_EQ(change[1].toModelIndex().row(), 0) << "a recording's progress repaints its own row only";
  }
  EXPECT_EQ(reset.size(), 0);

  pushSeconds(8, 0.3F);
  findByText<QPushButton>(studio(), QStringLiteral("녹음 중지"))->click();
  ASSERT_TRUE(idle());
  EXPECT_EQ(m_model->library().notes().front().id, id.toStdString());
  EXPECT_TRUE(m_model->library().notes().front().completed);
  EXPECT_TRUE(transcriptShows("새로 녹음한 문장"));
  EXPECT_EQ(list->model()->rowCount(), RealisticDataFolder::noteCount + 2);
}

TEST_F(RealisticSizeTest, ExportsATranscriptAndRecoversTheSixHourNote) {
  installModel();
  makeStudio();
  QAbstractItemView* list = noteList(studio());
  ASSERT_NE(list, nullptr);

  clickRow(list, rowTitled(list, title(500)));
  const fs::path exported = m_dir / "회의.txt";
  m_dialog->answers.push_back(QString::fromStdString(exported.string()));
  QAction* exportTranscript = findAction(studio(), QStringLiteral("대본"));
  ASSERT_NE(exportTranscript, nullptr);
  exportTranscript->trigger();
  ASSERT_TRUE(eventually([&] { return fs::exists(exported) && !m_model->appStatus().working(); }));
  const std::string text = readFile(exported);
  EXPECT_NE(text.find(RealisticDataFolder::entryText(m_folder->titles()[500], 99)), std::string::npos);

  // The six-hour note was never completed: its audio is all silence, so recovery finds no speech.
  const QString longTitle = QString::fromUtf8(RealisticDataFolder::longNoteTitle);
  const auto recoverable = [&] {
    return rowTitled(list, longTitle)
        .data(Qt::AccessibleTextRole)
        .toString()
        .endsWith(QStringLiteral("\n복구 가능"));
  };
  const auto stored = [&] { return LocalNoteStore(root()).load(m_folder->longNoteID()); };
  EXPECT_TRUE(recoverable());
  clickRow(list, rowTitled(list, longTitle));
  auto* recover = findByText<QPushButton>(studio(), QStringLiteral("저장 오디오에서 대본 복구"));
  ASSERT_TRUE(recover->isEnabled());
  recover->click();
  // The note is marked complete before its 2,700 chunks are gone through (the command line's test
  // waits for the end of that).
  ASSERT_TRUE(eventually([&] { return m_model->recognition().recognizing(); }));
  EXPECT_TRUE(stored()->completed);
  EXPECT_FALSE(recoverable());
  EXPECT_FALSE(m_model->appStatus().warning()) << m_model->appStatus().warning()->toStdString();
  EXPECT_EQ(stored()->durationSeconds, RealisticDataFolder::longNoteChunks * 8.0);
}

TEST_F(RealisticSizeTest, ScreenshotOfTheLongList) {
  makeStudio();
  m_studio->resize(1320, 860);
  QAbstractItemView* list = noteList(studio());
  ASSERT_NE(list, nullptr);
  list->scrollTo(list->model()->index(0, 0));
  QTest::qWait(200);
  EXPECT_TRUE(m_studio->grab().save(artifactPath(QStringLiteral("studio-1000-notes.png"))));
}

// Just more notes than fit without a scroll bar, at start and when a recording adds one: the list
// lays out rows only once they exist.
class ScrollingNoteList : public StudioTest {};

TEST_F(ScrollingNoteList, StudioOpensAndRecordsWithFortyNotes) {
  for (int i = 0; i < 40; ++i) {
    storedNote({}, "노트 " + std::to_string(i));
  }
  makeStudio();
  QAbstractItemView* list = noteList(studio());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->model()->rowCount(), 40);
  EXPECT_TRUE(list->verticalScrollBar()->isVisible());
  recordAt(0.3F);
  EXPECT_EQ(list->model()->rowCount(), 41);
  QCoro::waitFor(m_model->stopRecording());
  EXPECT_FALSE(m_model->session().recording());
}

}  // namespace
}  // namespace sayloom::test
