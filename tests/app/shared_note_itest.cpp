// The application and sayloom-cli on one note: a note whose lock another process holds (as the tool
// does while it records or rebuilds it) is refused by the app's commands without being touched, and
// a note the tool rewrote behind the app's back is read again before the app recovers, uploads or
// exports it.
#include <QProcess>

#include "app_model_fixture.h"
#include "core/transcript_export.h"

namespace sayloom::test {
namespace {

const QString heldElsewhere = QStringLiteral(
    "이 노트는 지금 다른 프로그램(sayloom-cli)이 녹음하거나 복구하고 있습니다. 끝난 뒤 다시 시도해 주세요.");

// The cloud seam, remembering the note each cloud save was asked for.
class UploadingCloud final : public LocalOnlyCloud {
public:
  void attach(CloudContext context) override { m_library = &context.library; }
  QCoro::Task<void> syncSelected(bool) override {
    uploaded.push_back(*m_library->selectedNote());
    co_return;
  }

  std::vector<NativeNote> uploaded;

private:
  NoteLibrary* m_library = nullptr;
};

class SharedNoteTest : public AppModelTest {
protected:
  AppModel& makeSharedModel(const NativeNote& note) {
    auto cloud = std::make_unique<UploadingCloud>();
    m_uploads = cloud.get();
    m_cloud = std::move(cloud);
    AppModel& model = makeModel();
    model.library().setSelectedNoteID(QString::fromStdString(note.id));
    return model;
  }

  // Holds note `id`'s lock from another process until the test ends.
  void holdLockElsewhere(const std::string& id) {
    m_holder.start(QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom_hold_note_lock"),
                   {QString::fromStdString(root().string()), QString::fromStdString(id)});
    ASSERT_TRUE(m_holder.waitForReadyRead(30'000));
    ASSERT_EQ(m_holder.readLine().trimmed(), "held");
  }

  void TearDown() override {
    if (m_holder.state() != QProcess::NotRunning) {
      m_holder.closeWriteChannel();
      m_holder.waitForFinished(10'000);
    }
  }

  UploadingCloud* m_uploads = nullptr;
  QProcess m_holder;
};

NativeNote withText(NativeNote note, const std::string& text) {
  note.segments = {TranscriptEntry{"0-0", 0, text, 0, 1000, ""}};
  return note;
}

TEST_F(SharedNoteTest, EveryCommandRefusesANoteAnotherProgramHoldsAndLeavesItAlone) {
  installModel();
  engineSays("복구된 말");
  const NativeNote note = withText(storedNote({256'000, 256'000}), "녹음 전");
  LocalNoteStore(root()).save(note);
  const fs::path file = noteFolder(note.id) / "note.json";
  const std::string before = readFile(file);
  AppModel& model = makeSharedModel(note);
  holdLockElsewhere(note.id);
  EXPECT_TRUE(model.heldElsewhere(QString::fromStdString(note.id)));

  struct Case {
    const char* command;
    std::function<QCoro::Task<void>()> run;
  } const cases[] = {
      {"대본 복구", [&] { return model.recoverSelected(); }},
      {"클라우드 저장", [&] { return model.syncSelected(false); }},
      {"대본 내보내기", [&] { return model.exportTranscript(); }},
      {"오디오 내보내기", [&] { return model.exportAudio(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    model.appStatus().setWarning(std::nullopt);
    QCoro::waitFor(c.run());
    EXPECT_EQ(model.appStatus().warning(), heldElsewhere);
    EXPECT_FALSE(model.recognition().recognizing());
  }
  QTest::qWait(200);
  EXPECT_EQ(readFile(file), before) << "note.json untouched";
  EXPECT_EQ(engineRuns(), 0);
  EXPECT_TRUE(m_uploads->uploaded.empty());
  EXPECT_TRUE(m_dialog->asked.empty()) << "no export was begun";

  // Once the other program is done, recovery runs and holds the lock itself meanwhile.
  m_holder.closeWriteChannel();
  ASSERT_TRUE(m_holder.waitForFinished(30'000));
  EXPECT_FALSE(model.heldElsewhere(QString::fromStdString(note.id)));
  model.appStatus().setWarning(std::nullopt);
  QCoro::waitFor(model.recoverSelected());
  EXPECT_TRUE(eventually([&] { return !model.recognition().recognizing() && engineRuns() == 2; }));
  EXPECT_FALSE(model.appStatus().warning());
}

TEST_F(SharedNoteTest, ANoteRewrittenOnDiskIsReadAgainBeforeItIsUploadedOrExported) {
  const NativeNote note = withText(storedNote({}), "앱이 읽은 대본");
  LocalNoteStore(root()).save(note);
  AppModel& model = makeSharedModel(note);

  // The tool rebuilds the transcript behind the app's back.
  const NativeNote recovered = withText(note, "복구된 대본");
  LocalNoteStore(root()).save(recovered);

  m_dialog->answers.push_back(QString::fromStdString((m_dir / "transcript.txt").string()));
  QCoro::waitFor(model.exportTranscript());
  EXPECT_EQ(readFile(m_dir / "transcript.txt"), transcriptText(recovered));

  LocalNoteStore(root()).save(withText(note, "다시 바뀐 대본"));
  QCoro::waitFor(model.syncSelected(false));
  ASSERT_EQ(m_uploads->uploaded.size(), 1U);
  EXPECT_EQ(m_uploads->uploaded.front().segments, withText(note, "다시 바뀐 대본").segments);
  EXPECT_EQ(model.library().selectedNote()->segments, m_uploads->uploaded.front().segments);
}

}  // namespace
}  // namespace sayloom::test
