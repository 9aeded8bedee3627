// The application model on a data folder of the size users reach: it starts with every note and
// preset, selects by id, and while a recording runs it announces only the recording note's changes,
// never a new listing, so no view has to go over the thousand others.
#include "app/scripted_recording.h"
#include "support/realistic_data_folder.h"

namespace sayloom::test {
namespace {

class RealisticSizeModelTest : public ScriptedRecordingTest {
protected:
  void SetUp() override { m_folder = &RealisticDataFolder::linkInto(root()); }

  const RealisticDataFolder* m_folder = nullptr;
};

TEST_F(RealisticSizeModelTest, StartsWithEveryNoteAndPresetAndSelects) {
  AppModel& model = makeScriptedModel();
  EXPECT_FALSE(model.appStatus().warning());
  const std::vector<NativeNote>& notes = model.library().notes();
  ASSERT_EQ(notes.size(), m_folder->ids().size());
  for (std::size_t i = 0; i < notes.size(); ++i) {
    ASSERT_EQ(notes[i].id, m_folder->ids()[i]) << i;
  }
  EXPECT_EQ(notes[500].segments.size(), std::size_t{RealisticDataFolder::entriesPerNote});
  EXPECT_EQ(model.presetEditor().presets().size(), PresetDocument::maxPresets);
  EXPECT_EQ(model.library().selectedNoteID(), QString::fromStdString(m_folder->ids().front()));

  for (const std::size_t i : {std::size_t{1}, std::size_t{999}, notes.size() - 1}) {
    const QString id = QString::fromStdString(m_folder->ids()[i]);
    model.library().setSelectedNoteID(id);
    ASSERT_NE(model.library().selectedNote(), nullptr);
    EXPECT_EQ(model.library().selectedNote()->title, m_folder->titles()[i]);
    EXPECT_EQ(model.library().indexOf(id), static_cast<int>(i));
  }
  EXPECT_EQ(model.library().find(QStringLiteral("00000000-0000-0000-0000-000000000000")), nullptr);
}

TEST_F(RealisticSizeModelTest, ARecordingAnnouncesOnlyItsOwnNote) {
  AppModel& model = makeScriptedModel();
  QSignalSpy listings(&model.library(), &NoteLibrary::notesChanged);
  QSignalSpy changes(&model.library(), &NoteLibrary::noteChanged);
  const QString id = start(model);
  ASSERT_FALSE(id.isEmpty());
  EXPECT_EQ(listings.size(), 1) << "the new note is listed once";
  EXPECT_EQ(model.library().indexOf(id), 0);
  EXPECT_EQ(model.library().indexOf(QString::fromStdString(m_folder->ids().back())),
            static_cast<int>(m_folder->ids().size()));

  push(samplesPerChunk + 16'000);
  QCoro::waitFor(model.stopRecording());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing() && !model.appStatus().working(); }));
  EXPECT_EQ(listings.size(), 1);
  ASSERT_GE(changes.size(), 2);
  for (const QList<QVariant>& change : changes) {
    EXPECT_EQ(change[0].toString(), id);
  }
  EXPECT_TRUE(model.library().notes().front().completed);
  EXPECT_EQ(model.library().notes().size(), m_folder->ids().size() + 1);
}

}  // namespace
}  // namespace sayloom::test
