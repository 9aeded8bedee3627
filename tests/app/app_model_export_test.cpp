// Export of the selected note through a replaced save dialog: the WAV file of its recording, the
// text of its transcript and its subtitles.
#include "app/app_model_fixture.h"
#include "core/subtitle_export.h"
#include "core/transcript_export.h"

namespace sayloom::test {
namespace {

const QString exportedStatus = QStringLiteral("원본 오디오를 WAV로 내보냈습니다");

std::uint32_t le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  }
  return value;
}

class ExportTest : public AppModelTest {
protected:
  // A file in an existing folder, as the dialog offers.
  QString destination(const char* name) const {
    fs::create_directories(m_dir / "out");
    return QString::fromStdString((m_dir / "out" / name).string());
  }
};

TEST_F(ExportTest, AudioExportWritesTheChunksBehindAWavHeaderWhileWorking) {
  const NativeNote note = storedNote({256'000, 1'000});
  AppModel& model = makeModel();
  m_dialog->answers.push_back(destination("recording.wav"));
  std::vector<bool> working;
  QObject::connect(&model.appStatus(), &AppStatus::workingChanged,
                   [&] { working.push_back(model.appStatus().working()); });

  QCoro::waitFor(model.exportAudio());
  ASSERT_EQ(m_dialog->asked.size(), 1U);
  EXPECT_EQ(m_dialog->asked[0].first, QStringLiteral("Sayloom-audio.wav"));
  EXPECT_EQ(m_dialog->asked[0].second, QStringLiteral("WAV (*.wav)"));
  EXPECT_EQ(working, (std::vector<bool>{true, false}));
  EXPECT_EQ(model.appStatus().status(), exportedStatus);
  EXPECT_FALSE(model.appStatus().warning());
  const std::string wav = readFile(m_dir / "out" / "recording.wav");
  ASSERT_EQ(wav.size(), 257'044U);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(le32(wav, 4), 257'036U);
  EXPECT_EQ(le32(wav, 40), 257'000U);
  EXPECT_EQ(wav.substr(44), readFile(audioFolder(note.id) / "00000000.pcm") +
                                readFile(audioFolder(note.id) / "00000001.pcm"));
}

TEST_F(ExportTest, AudioExportFailureWarnsAndLeavesAnExistingFileAlone) {
  storedNote({0});  // only an empty chunk
  AppModel& model = makeModel();
  writeFile(m_dir / "out" / "recording.wav", "earlier export");
  m_dialog->answers.push_back(destination("recording.wav"));
  QCoro::waitFor(model.exportAudio());
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(), QStringLiteral("WAV로 내보낼 수 있는 오디오 크기를 벗어났습니다."));
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_NE(model.appStatus().status(), exportedStatus);
  EXPECT_EQ(readFile(m_dir / "out" / "recording.wav"), "earlier export");
}

TEST_F(ExportTest, CancellingOrHavingNothingSelectedDoesNothing) {
  AppModel& empty = makeModel();
  QCoro::waitFor(empty.exportAudio());
  QCoro::waitFor(empty.exportTranscript());
  EXPECT_TRUE(m_dialog->asked.empty());
  shutdown();

  storedNote({256'000});
  AppModel& model = makeModel();
  QSignalSpy working(&model.appStatus(), &AppStatus::workingChanged);
  QSignalSpy status(&model.appStatus(), &AppStatus::statusChanged);
  QCoro::waitFor(model.exportAudio());  // the dialog answers with a cancel
  QCoro::waitFor(model.exportTranscript());
  EXPECT_EQ(m_dialog->asked.size(), 2U);
  EXPECT_EQ(working.count(), 0);
  EXPECT_EQ(status.count(), 0);
  EXPECT_FALSE(model.appStatus().warning());
  EXPECT_FALSE(fs::exists(m_dir / "out" / "Sayloom-audio.wav"));
}

TEST_F(ExportTest, TranscriptExportWritesTheTranscriptText) {
  NativeNote note = storedNote({});
  note.title = "회의";
  note.segments = {TranscriptEntry{"0-0", 0, "안녕하세요", 0, 1000, "Hello"},
                   TranscriptEntry{"0-1", 1, "네", 61'500, 62'000, ""}};
  LocalNoteStore(root()).save(note);
  AppModel& model = makeModel();
  m_dialog->answers.push_back(destination("transcript.txt"));
  QCoro::waitFor(model.exportTranscript());
  EXPECT_EQ(readFile(m_dir / "out" / "transcript.txt"),
            "회의\n\n[00:00:00] 안녕하세요\nHello\n\n[00:01:01] 네");
  EXPECT_EQ(readFile(m_dir / "out" / "transcript.txt"), transcriptText(note));
  EXPECT_FALSE(model.appStatus().warning());
}

TEST_F(ExportTest, TranscriptExportFailureWarns) {
  storedNote({});
  AppModel& model = makeModel();
  fs::create_directories(m_dir / "out" / "taken");
  m_dialog->answers.push_back(destination("taken"));  // a folder cannot be replaced by the text
  QCoro::waitFor(model.exportTranscript());
  EXPECT_TRUE(model.appStatus().warning());
  EXPECT_TRUE(fs::is_directory(m_dir / "out" / "taken"));
}

TEST_F(ExportTest, SubtitleExportWritesSubRipAndWebVttThroughTheDialog) {
  NativeNote note = storedNote({});
  note.segments = {TranscriptEntry{"0-0", 0, "안녕하세요", 0, 1000, "Hello"},
                   TranscriptEntry{"0-1", 1, "", 1000, 2000, ""}};
  LocalNoteStore(root()).save(note);
  AppModel& model = makeModel();
  ScopedEnv utc("TZ", "UTC");
  const struct {
    SubtitleFormat format;
    const char* file;
    QString filter;
    std::string content;
  } cases[] = {
      {SubtitleFormat::srt, "note.srt", QStringLiteral("SubRip (*.srt)"),
       "1\n00:00:00,000 --> 00:00:01,000\n안녕하세요\nHello\n\n"},
      {SubtitleFormat::webVtt, "note.vtt", QStringLiteral("WebVTT (*.vtt)"),
       "WEBVTT\n\n00:00:00.000 --> 00:00:01.000\n안녕하세요\nHello\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    m_dialog->asked.clear();
    m_dialog->answers.push_back(destination(c.file));
    QCoro::waitFor(model.exportSubtitles(c.format));
    ASSERT_EQ(m_dialog->asked.size(), 1U);
    EXPECT_EQ(m_dialog->asked[0].first,
              NoteExporter::suggestedFileName(note, QLocale::system(), exportFormat(c.format)));
    EXPECT_TRUE(m_dialog->asked[0].first.endsWith(QString::fromLatin1(subtitles::extension(c.format))));
    EXPECT_EQ(m_dialog->asked[0].second, c.filter);
    EXPECT_EQ(readFile(m_dir / "out" / c.file), c.content);
  }
  EXPECT_FALSE(model.appStatus().warning());

  fs::create_directories(m_dir / "out" / "taken.srt");
  m_dialog->answers.push_back(destination("taken.srt"));  // a folder cannot be replaced by the text
  QCoro::waitFor(model.exportSubtitles(SubtitleFormat::srt));
  EXPECT_TRUE(model.appStatus().warning());
  EXPECT_TRUE(fs::is_directory(m_dir / "out" / "taken.srt"));
}

TEST_F(ExportTest, TheSuggestedTranscriptNameCarriesTheNoteDateWithoutPathSeparators) {
  NativeNote note;
  note.createdAt = Timestamp(std::chrono::seconds(1'772'359'200));  // 2026-03-01T10:00:00Z
  struct Case {
    const char* locale;
    QString name;
  };
  for (const Case& c : {Case{"en_US", QStringLiteral("Sayloom-Mar 1, 2026.txt")},
                        Case{"ko_KR", QStringLiteral("Sayloom-2026년 3월 1일.txt")}}) {
    SCOPED_TRACE(c.locale);
    ScopedEnv utc("TZ", "UTC");
    const QString name = NoteExporter::suggestedFileName(note, QLocale(QString::fromLatin1(c.locale)),
                                                         ExportFormat::transcript);
    EXPECT_EQ(name, c.name);
    EXPECT_FALSE(name.contains(QLatin1Char('/')));
  }
}

}  // namespace
}  // namespace sayloom::test
