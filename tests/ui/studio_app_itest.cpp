// The built application end to end, on the test display and the test sound server, driven as a
// person with assistive technology would: through its accessibility tree (AT-SPI), the mouse and
// the keyboard (xdotool). It records from the sine source, sees the level meter move and the time
// grow, stops, finds the note in "내 노트" with its duration, exports the audio and the transcript
// through the save dialog, and is told to end (SIGTERM) during a second recording, which it saves
// first. On a data folder of a thousand notes it opens, lists them and records without falling.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "core/local_note_store.h"
#include "desktop_session.h"
#include "support/atspi.h"
#include "support/file_bytes.h"
#include "support/realistic_data_folder.h"
#include "support/temp_dir.h"

namespace sayloom::test {
namespace {

namespace fs = std::filesystem;

const QByteArray modelBytes = "a stand-in for the speech model";
const std::string spoken = "회의를 시작하겠습니다 let's begin";

class StudioAppTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!onX11() || qEnvironmentVariableIsEmpty("PULSE_SERVER") ||
        qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
      GTEST_SKIP() << "needs the test services: display, sound server and session bus";
    }
    ASSERT_TRUE(m_atspi.connected()) << "no accessibility bus on the session bus";
    writeFile(root() / "Models" / "ggml-base.bin", modelBytes.toStdString());
    writeFile(m_dir / "engine.json",
              R"({"transcription": [{"offsets": {"from": 0, "to": 1500}, "text": " )" + spoken + R"("}]})");
    fs::create_directories(m_dir / "home");
    fs::create_directories(m_dir / "out");
    fillDataFolder();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto set = [&](const char* name, const fs::path& value) {
      environment.insert(QString::fromLatin1(name), QString::fromStdString(value.string()));
    };
    set("SAYLOOM_DATA_DIR", root());
    set("XDG_CONFIG_HOME", m_dir / "config");
    set("HOME", m_dir / "home");
    set("FAKE_WHISPER_JSON", m_dir / "engine.json");
    set("SAYLOOM_WHISPER_CLI", fs::path(SAYLOOM_TEST_FAKES_DIR) / "fake-whisper-cli");
    environment.insert(QStringLiteral("SAYLOOM_MODEL_SIZE"), QString::number(modelBytes.size()));
    environment.insert(
        QStringLiteral("SAYLOOM_MODEL_SHA256"),
        QString::fromLatin1(QCryptographicHash::hash(modelBytes, QCryptographicHash::Sha256).toHex()));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    m_app.setProcessEnvironment(environment);
    m_app.setProgram(QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom"));
    m_app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_app.start();
    ASSERT_TRUE(m_app.waitForStarted(10'000));
  }

  void TearDown() override {
    if (m_app.state() != QProcess::NotRunning) {
      m_app.kill();
      m_app.waitForFinished(10'000);
    }
  }

  fs::path root() const { return m_dir / "data"; }

  // Puts notes into the data folder before the application starts.
  virtual void fillDataFolder() {}

  static bool eventually(const std::function<bool()>& condition, int timeoutMs = 30'000) {
    return QTest::qWaitFor(condition, timeoutMs);
  }

  // The application's accessible root, once it has registered.
  AtspiNode app() {
    std::optional<AtspiNode> found;
    EXPECT_TRUE(eventually([&] { return (found = m_atspi.application(m_app.processId())).has_value(); }));
    return found.value_or(AtspiNode{});
  }

  // The control on screen named `text`, waiting for it to appear.
  AtspiNode control(const QString& text, const QString& role = {}) {
    std::optional<AtspiNode> found;
    EXPECT_TRUE(eventually([&] { return (found = m_atspi.showing(app(), text, role)).has_value(); }))
        << "no " << text.toStdString() << " on screen";
    return found.value_or(AtspiNode{});
  }

  void click(const AtspiNode& node) {
    const QRect frame = m_atspi.extents(node);
    ASSERT_FALSE(frame.isEmpty());
    moveMouse(frame.center());
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
  }

  // The elapsed time as the studio shows it.
  QString elapsed() {
    const std::optional<AtspiNode> label = m_atspi.find(app(), [&](const AtspiNode& node) {
      return m_atspi.description(node) == QStringLiteral("경과 시간");
    });
    return label ? m_atspi.name(*label) : QString();
  }

  // Chooses entry `position` (1-based) of the "내보내기" menu and answers the save dialog with `file`.
  void exportThroughTheDialog(int position, const fs::path& file) {
    click(control(QStringLiteral("내보내기")));
    for (int i = 0; i < position; ++i) {
      xdotool({QStringLiteral("key"), QStringLiteral("Down")});
    }
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    control(QStringLiteral("Save As"), QStringLiteral("dialog"));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")});
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"),
             QString::fromStdString(file.string())});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(eventually([&] { return fs::exists(file) && fs::file_size(file) > 0; })) << file;
  }

  TempDir m_dir;
  Atspi m_atspi;
  QProcess m_app;
};

TEST_F(StudioAppTest, RecordsExportsAndSavesARecordingWhenToldToEnd) {
  // A first recording from the record button: the meter moves and the time grows.
  ASSERT_TRUE(m_atspi.press(control(QStringLiteral("녹음 시작"), QStringLiteral("push button"))));
  const AtspiNode meter = control(QStringLiteral("입력 음량"), QStringLiteral("progress bar"));
  EXPECT_TRUE(eventually([&] { return m_atspi.value(meter) > 5; })) << "the level meter moves";
  ASSERT_TRUE(eventually([&] { return elapsed() >= QStringLiteral("00:00:02"); }));
  ASSERT_TRUE(eventually([&] { return elapsed() >= QStringLiteral("00:00:09"); })) << "the time grows";
  ASSERT_TRUE(m_atspi.press(control(QStringLiteral("녹음 중지"), QStringLiteral("push button"))));
  control(QStringLiteral("녹음 시작"), QStringLiteral("push button"));
  EXPECT_TRUE(eventually([&] { return m_atspi.value(meter) == 0; }));

  // The note under "내 노트", with its duration, and its transcript.
  click(control(QStringLiteral("내 노트"), QStringLiteral("list item")));
  control(QStringLiteral("남겨둔 이야기를 이어가세요."));
  std::optional<AtspiNode> row;
  ASSERT_TRUE(eventually([&] {
    row = m_atspi.find(app(), [&](const AtspiNode& node) {
      return m_atspi.role(node) == QStringLiteral("list item") &&
             m_atspi.name(node).startsWith(QStringLiteral("새 음성 노트\n"));
    });
    return row.has_value();
  }));
  const QString duration = m_atspi.name(*row).section(QStringLiteral(" · "), 1).left(8);
  EXPECT_GE(duration, QStringLiteral("00:00:09")) << m_atspi.name(*row).toStdString();
  EXPECT_TRUE(eventually([&] {
    const std::optional<AtspiNode> status = m_atspi.find(app(), [&](const AtspiNode& node) {
      return m_atspi.name(node) ==
             QStringLiteral("기기에 저장했습니다. 회의록을 확인하거나 클라우드에 연결할 수 있습니다.");
    });
    return status.has_value();
  })) << "recognition has finished";

  // Both exports through the save dialog.
  const fs::path wav = m_dir / "out" / "recording.wav";
  exportThroughTheDialog(2, wav);
  const std::vector<NativeNote> first = LocalNoteStore(root()).list().notes;
  ASSERT_EQ(first.size(), 1U);
  std::uintmax_t pcm = 0;
  for (const auto& chunk : fs::directory_iterator(root() / "Notes" / first.front().id / "Audio")) {
    pcm += chunk.path().extension() == ".pcm" ? fs::file_size(chunk.path()) : 0;
  }
  EXPECT_GE(pcm, 9U * 32'000U);
  ASSERT_TRUE(eventually([&] { return fs::file_size(wav) == pcm + 44; }));
  EXPECT_EQ(readFile(wav).substr(0, 4), "RIFF");

  const fs::path text = m_dir / "out" / "transcript.txt";
  exportThroughTheDialog(1, text);
  const std::string transcript = readFile(text);
  EXPECT_EQ(transcript.rfind("새 음성 노트\n\n[00:00:00] " + spoken, 0), 0U) << transcript;

  // A second recording, and the session tells the application to end in the middle of it.
  click(control(QStringLiteral("스튜디오"), QStringLiteral("list item")));
  ASSERT_TRUE(m_atspi.press(control(QStringLiteral("녹음 시작"), QStringLiteral("push button"))));
  control(QStringLiteral("녹음 중지"), QStringLiteral("push button"));
  ASSERT_TRUE(eventually([&] {
    const QString time = elapsed();
    return time >= QStringLiteral("00:00:03") && time < QStringLiteral("00:00:08");
  }));
  m_app.terminate();
  ASSERT_TRUE(m_app.waitForFinished(30'000));
  EXPECT_EQ(m_app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(m_app.exitCode(), 0);

  const std::vector<NativeNote> notes = LocalNoteStore(root()).list().notes;
  ASSERT_EQ(notes.size(), 2U);
  EXPECT_TRUE(notes[0].completed) << "the interrupted recording was stopped and saved";
  EXPECT_GE(notes[0].durationSeconds, 3.0);
  EXPECT_TRUE(notes[1].completed);
}

// A data folder of the size users reach: the application opens on it, lists every note and
// records, and stays up throughout.
class StudioAppAtRealisticSize : public StudioAppTest {
protected:
  void fillDataFolder() override { m_folder = &RealisticDataFolder::linkInto(root()); }

  std::optional<AtspiNode> row(const std::string& title) {
    return m_atspi.find(app(), [&](const AtspiNode& node) {
      return m_atspi.role(node) == QStringLiteral("list item") &&
             m_atspi.name(node).startsWith(QString::fromStdString(title) + QLatin1Char('\n'));
    });
  }

  const RealisticDataFolder* m_folder = nullptr;
};

TEST_F(StudioAppAtRealisticSize, OpensListsAndRecordsWithoutFalling) {
  ASSERT_TRUE(eventually([&] { return row(m_folder->titles().front()).has_value(); }, 60'000));
  EXPECT_TRUE(row(m_folder->titles().back()).has_value());
  ASSERT_TRUE(m_atspi.press(control(QStringLiteral("녹음 시작"), QStringLiteral("push button"))));
  ASSERT_TRUE(eventually([&] { return elapsed() >= QStringLiteral("00:00:02"); }, 60'000));
  ASSERT_TRUE(m_atspi.press(control(QStringLiteral("녹음 중지"), QStringLiteral("push button"))));
  control(QStringLiteral("녹음 시작"), QStringLiteral("push button"));
  EXPECT_TRUE(eventually([&] { return row("새 음성 노트").has_value(); }));
  EXPECT_EQ(m_app.state(), QProcess::Running);
}

}  // namespace
}  // namespace sayloom::test
