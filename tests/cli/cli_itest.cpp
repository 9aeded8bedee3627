// The built sayloom-cli run as a user runs it: every command's success and its failures, the
// --json shapes, recognition with the scripted and the real engine, the progress bar on a
// terminal, and the recording lock against a running recording.
#include <signal.h>
#include <sys/stat.h>

#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <nlohmann/json.hpp>

#include "app/app_model_fixture.h"
#include "app/recognition/sound_file_transcriber.h"
#include "app/speech_model/model_downloader.h"
#include "core/preset_document.h"
#include "core/recording_lock.h"
#include "core/subtitle_export.h"
#include "core/transcript_export.h"
#include "core/whisper_output.h"
#include "fakes/loopback_server.h"
#include "support/engine_fixture.h"
#include "support/program_run.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

const QString cliProgram = QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom-cli");

QString text(const fs::path& path) { return QString::fromStdString(path.string()); }

std::string failure(const std::string& message) { return "sayloom-cli: " + message + "\n"; }

class CliTest : public AppModelTest {
protected:
  ProgramRun cli(const QStringList& arguments) { return runProgram(cliProgram, arguments); }

  // Runs the command on a terminal (a pseudo-terminal made by script(1)); its output as shown.
  std::string onTerminal(const QStringList& arguments) {
    QString command = cliProgram;
    for (const QString& argument : arguments) {
      command += QStringLiteral(" '") + argument + QLatin1Char('\'');
    }
    const ProgramRun run = runProgram(QStringLiteral("script"), {"-qefc", command, "/dev/null"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return run.out;
  }

  // The scripted engine answers every chunk with these segments.
  void engineAnswers(const json& transcription) {
    writeFile(m_dir / "engine.json", json{{"transcription", transcription}}.dump());
    m_engineJson.emplace("FAKE_WHISPER_JSON", (m_dir / "engine.json").c_str());
  }

  // A generated sound file (sox), e.g. {"-r", "44100", "-c", "2"}.
  fs::path soxFile(const char* name, const QStringList& format, const char* seconds = "3") {
    const fs::path file = m_dir / name;
    QStringList arguments = {QStringLiteral("-n")};
    arguments << format << "-b"
              << "16" << text(file) << "synth" << seconds << "sine"
              << "440";
    EXPECT_EQ(QProcess::execute(QStringLiteral("sox"), arguments), 0);
    return file;
  }

  NativeNote noteWithTranscript() {
    NativeNote note = storedNote({256'000, 1'000}, "회의 메모");
    note.segments = {{"0-0", 0, "안녕하세요", 0, 2'000, "Hello"}, {"1-0", 1'000, "끝", 8'000, 8'500, ""}};
    note.completed = true;
    note.durationSeconds = 8.03125;
    LocalNoteStore(root()).save(note);
    return note;
  }

  NativeNote reloaded(const std::string& id) { return *LocalNoteStore(root()).load(id); }
};

// --- command line -----------------------------------------------------------------------------

TEST_F(CliTest, HelpForTheProgramEveryGroupAndEveryCommand) {
  const ProgramRun general = cli({"--help"});
  EXPECT_EQ(general.status, 0);
  EXPECT_EQ(general.err, "");
  EXPECT_EQ(general.out.rfind("사용법: sayloom-cli 명령 [인수] [옵션]\n", 0), 0U) << general.out;
  const char* const usages[] = {
      "notes list [--json]",  "notes show ID [--json]",
      "export audio ID FILE", "export transcript ID FILE",
      "export srt ID FILE",   "export vtt ID FILE",
      "recover ID [--cpu]",   "transcribe FILE [--language L] [--srt|--vtt|--json] [--cpu]",
      "model download",       "model check",
      "presets export FILE",  "presets import FILE",
  };
  for (const char* usage : usages) {
    SCOPED_TRACE(usage);
    EXPECT_NE(general.out.find(std::string("  ") + usage), std::string::npos);
    // Each command's own help, asked with its operands left out.
    QStringList words = QString::fromUtf8(usage).split(QLatin1Char(' '));
    while (words.size() > 1 && (words.last().startsWith('[') || words.last().toUpper() == words.last())) {
      words.removeLast();
    }
    words << QStringLiteral("--help");
    const ProgramRun own = cli(words);
    EXPECT_EQ(own.status, 0);
    EXPECT_EQ(own.out.rfind(std::string("사용법: sayloom-cli ") + usage + "\n", 0), 0U) << own.out;
  }
  for (const char* group : {"notes", "export", "model", "presets"}) {
    const ProgramRun groupHelp = cli({group, "-h"});
    EXPECT_EQ(groupHelp.status, 0) << group;
    EXPECT_NE(groupHelp.out.find(std::string("sayloom-cli ") + group + " "), std::string::npos) << group;
  }
  const ProgramRun version = cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("sayloom-cli ", 0), 0U);
}

TEST_F(CliTest, UsageMistakesExitWithStatusTwoAndSayWhatIsWrong) {
  const struct {
    QStringList arguments;
    std::string message;
    std::string hint;
  } cases[] = {
      {{}, "명령을 지정해 주세요.", "'sayloom-cli --help'"},
      {{"frobnicate"}, "알 수 없는 명령입니다: frobnicate", "'sayloom-cli --help'"},
      {{"notes"}, "하위 명령을 지정해 주세요: notes", "'sayloom-cli notes --help'"},
      {{"notes", "delete"}, "알 수 없는 명령입니다: notes delete", "'sayloom-cli notes --help'"},
      {{"export", "srt", "ID"},
       "인수가 부족합니다: FILE이(가) 필요합니다.",
       "'sayloom-cli export srt --help'"},
      {{"notes", "show", "a", "b"}, "인수가 너무 많습니다: b", "'sayloom-cli notes show --help'"},
      {{"notes", "list", "--yaml"}, "알 수 없는 옵션입니다: --yaml", "'sayloom-cli notes list --help'"},
      {{"notes", "list", "--json=yes"},
       "값을 받지 않는 옵션입니다: --json",
       "'sayloom-cli notes list --help'"},
      {{"transcribe", "f.wav", "--srt", "--vtt"},
       "함께 쓸 수 없는 옵션입니다: --srt, --vtt",
       "'sayloom-cli transcribe --help'"},
      {{"transcribe", "f.wav", "--language"},
       "옵션에 값이 필요합니다: --language L",
       "'sayloom-cli transcribe --help'"},
      {{"record", "--display", "2"}, "--display는 --system과 함께 씁니다.", "'sayloom-cli record --help'"},
      {{"record", "--system", "--display", "0"},
       "화면 번호는 1 이상의 정수입니다: 0",
       "'sayloom-cli record --help'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const ProgramRun run = cli(c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(failure(c.message), 0), 0U) << run.err;
    EXPECT_NE(run.err.find(c.hint), std::string::npos) << run.err;
  }
  EXPECT_EQ(engineRuns(), 0);
}

TEST_F(CliTest, NeedsNeitherQtWidgetsNorQtGui) {
  const ProgramRun dynamic = runProgram(QStringLiteral("readelf"), {"-d", cliProgram});
  ASSERT_EQ(dynamic.status, 0) << dynamic.err;
  EXPECT_NE(dynamic.out.find("libQt6Core"), std::string::npos);
  EXPECT_EQ(dynamic.out.find("libQt6Widgets"), std::string::npos) << dynamic.out;
  EXPECT_EQ(dynamic.out.find("libQt6Gui"), std::string::npos) << dynamic.out;
}

// --- notes --------------------------------------------------------------------------------------

TEST_F(CliTest, NotesListAndShowAsTextAndJson) {
  const NativeNote note = noteWithTranscript();
  NativeNote empty;
  empty.title = "빈 노트";
  empty.createdAt = note.createdAt - std::chrono::hours(1);
  LocalNoteStore(root()).save(empty);
  writeFile(root() / "Notes" / "broken" / "note.json", "{");

  const ProgramRun listed = cli({"notes", "list"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, note.id + "\t" + formatIsoDate(note.createdAt) + "\t00:00:08\t완료\t회의 메모\n" +
                            empty.id + "\t" + formatIsoDate(empty.createdAt) +
                            "\t00:00:00\t미완료\t빈 노트\n");
  EXPECT_EQ(listed.err, std::string(messages::unreadableNotePrefix) + "broken\n");

  const ProgramRun listedJson = cli({"notes", "list", "--json"});
  EXPECT_EQ(listedJson.status, 0);
  const json list = json::parse(listedJson.out);
  EXPECT_EQ(list["warnings"], json::array({std::string(messages::unreadableNotePrefix) + "broken"}));
  ASSERT_EQ(list["notes"].size(), 2U);
  EXPECT_EQ(list["notes"][0], (json{{"id", note.id},
                                    {"title", "회의 메모"},
                                    {"createdAt", formatIsoDate(note.createdAt)},
                                    {"language", "ko"},
                                    {"source", "microphone"},
                                    {"durationSeconds", 8.03125},
                                    {"completed", true},
                                    {"segmentCount", 2},
                                    {"recording", false}}));
  EXPECT_EQ(list["notes"][1]["id"], empty.id);

  const ProgramRun shownJson = cli({"notes", "show", QString::fromStdString(note.id), "--json"});
  EXPECT_EQ(shownJson.status, 0) << shownJson.err;
  const json shown = json::parse(shownJson.out);
  EXPECT_EQ(shown["note"].get<NativeNote>(), note);
  EXPECT_EQ(shown["audio"], (json{{"chunks", 2}, {"bytes", 257'000}, {"seconds", 257'000 / 32'000.0}}));
  EXPECT_EQ(shown["recording"], false);

  const ProgramRun shownText = cli({"notes", "show", QString::fromStdString(note.id)});
  EXPECT_EQ(shownText.status, 0);
  EXPECT_NE(shownText.out.find("오디오: 2개 조각, 00:00:08\n"), std::string::npos) << shownText.out;
  EXPECT_NE(shownText.out.find("\n\n" + transcriptText(note) + "\n"), std::string::npos) << shownText.out;
}

TEST_F(CliTest, ANoteThatIsNotThereOrNotANoteIdFailsClearly) {
  const std::string unknown = "77777777-7777-4777-8777-777777777777";
  writeFile(root() / "Notes" / "11111111-1111-4111-8111-111111111111" / "note.json", "[]");
  const struct {
    QStringList arguments;
    std::string error;
  } cases[] = {
      {{"notes", "show", QString::fromStdString(unknown)}, "노트를 찾지 못했습니다: " + unknown},
      {{"export", "srt", QString::fromStdString(unknown), text(m_dir / "out.srt")},
       "노트를 찾지 못했습니다: " + unknown},
      {{"recover", QString::fromStdString(unknown)}, "노트를 찾지 못했습니다: " + unknown},
      {{"notes", "show", "../../etc"}, messages::invalidNoteId},
      {{"notes", "show", "11111111-1111-4111-8111-111111111111"},
       std::string(messages::unreadableNotePrefix) + "11111111-1111-4111-8111-111111111111"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const ProgramRun run = cli(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, failure(c.error));
  }
  EXPECT_FALSE(fs::exists(m_dir / "out.srt"));
}

// --- export -------------------------------------------------------------------------------------

TEST_F(CliTest, ExportsWriteWhatTheAppWrites) {
  const NativeNote note = noteWithTranscript();
  const QString id = QString::fromStdString(note.id);
  const struct {
    const char* kind;
    const char* file;
    std::string content;
  } cases[] = {
      {"transcript", "note.txt", transcriptText(note)},
      {"srt", "note.srt", subtitles::text(note.segments, SubtitleFormat::srt)},
      {"vtt", "note.vtt", subtitles::text(note.segments, SubtitleFormat::webVtt)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    writeFile(m_dir / c.file, "older content");
    const ProgramRun run = cli({"export", c.kind, id, text(m_dir / c.file)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(readFile(m_dir / c.file), c.content);
  }
  EXPECT_EQ(
      readFile(m_dir / "note.srt"),
      "1\n00:00:00,000 --> 00:00:02,000\n안녕하세요\nHello\n\n2\n00:00:08,000 --> 00:00:08,500\n끝\n\n");

  const ProgramRun audio = cli({"export", "audio", id, text(m_dir / "note.wav")});
  EXPECT_EQ(audio.status, 0) << audio.err;
  const std::string wav = readFile(m_dir / "note.wav");
  EXPECT_EQ(wav.size(), 257'044U);
  EXPECT_EQ(wavSamples(m_dir / "note.wav"), speechPcm(256'000) + speechPcm(1'000));
}

TEST_F(CliTest, ExportFailuresLeaveNothingBehind) {
  const NativeNote note = noteWithTranscript();
  const QString id = QString::fromStdString(note.id);
  NativeNote silent;
  LocalNoteStore(root()).save(silent);
  writeFile(m_dir / "a-file", "x");
  const struct {
    QStringList arguments;
    std::string errorStart;
  } cases[] = {
      {{"export", "srt", id, text(m_dir / "a-file" / "out.srt")}, "sayloom-cli: filesystem error: "},
      {{"export", "transcript", id, text(m_dir / "a-file" / "out.txt")}, "sayloom-cli: filesystem error: "},
      {{"export", "audio", id, text(m_dir / "a-file" / "out.wav")}, "sayloom-cli: filesystem error: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const ProgramRun run = cli(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind(c.errorStart, 0), 0U) << run.err;
    EXPECT_NE(run.err.find("a-file"), std::string::npos);
  }
  EXPECT_EQ(readFile(m_dir / "a-file"), "x");

  // A recording without audio has nothing to export, in the app's words.
  fs::create_directories(audioFolder(silent.id));
  const ProgramRun empty =
      cli({"export", "audio", QString::fromStdString(silent.id), text(m_dir / "none.wav")});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, failure(messages::audioTooLargeForWav));
  EXPECT_FALSE(fs::exists(m_dir / "none.wav"));
}

// --- recover ------------------------------------------------------------------------------------

TEST_F(CliTest, RecoverRebuildsTheTranscriptFromEveryChunk) {
  installModel();
  engineSays("복구된 말");
  NativeNote note = storedNote({256'000, 256'000, 16'000});
  note.segments = {{"1-0", 1'000, "남아 있던 말", 8'000, 9'000, ""}};
  LocalNoteStore(root()).save(note);

  const ProgramRun run = cli({"recover", QString::fromStdString(note.id)});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "기기에 저장했습니다. 회의록을 확인하거나 클라우드에 연결할 수 있습니다.\n");
  EXPECT_EQ(run.err, "");
  const NativeNote recovered = reloaded(note.id);
  EXPECT_TRUE(recovered.completed);
  EXPECT_DOUBLE_EQ(recovered.durationSeconds, 528'000 / 32'000.0);
  ASSERT_EQ(recovered.segments.size(), 3U);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(recovered.segments[i].id, std::to_string(i) + "-0");
    EXPECT_EQ(recovered.segments[i].text, "복구된 말");
    EXPECT_EQ(recovered.segments[i].startTimeMs, i * 8'000);
    EXPECT_TRUE(fs::exists(audioFolder(note.id) / ("0000000" + std::to_string(i) + ".pcm.transcript.json")));
  }
  EXPECT_EQ(engineRuns(), 3);
  EXPECT_EQ(readFile(m_dir / "engine.log").find("\"-ng\""), std::string::npos);

  // --cpu, or the app's own CPU setting, runs the engine processor-only.
  const auto processorOnlyRuns = [this] {
    std::size_t runs = 0;
    const std::string log = readFile(m_dir / "engine.log");
    for (std::size_t at = log.find("\"-ng\"]"); at != std::string::npos; at = log.find("\"-ng\"]", at + 1)) {
      ++runs;
    }
    return runs;
  };
  EXPECT_EQ(cli({"recover", QString::fromStdString(note.id), "--cpu"}).status, 0);
  EXPECT_EQ(engineRuns(), 6);
  EXPECT_EQ(processorOnlyRuns(), 3U);
  writeFile(m_dir / "config" / "kr.tovik" / "sayloom.conf", "[General]\ncpuOnly=true\n");
  EXPECT_EQ(cli({"recover", QString::fromStdString(note.id)}).status, 0);
  EXPECT_EQ(processorOnlyRuns(), 6U);
}

TEST_F(CliTest, RecoverFailuresSayWhyAndKeepTheAudio) {
  const NativeNote withAudio = storedNote({256'000});
  NativeNote withoutAudio;
  LocalNoteStore(root()).save(withoutAudio);

  const ProgramRun noModel = cli({"recover", QString::fromStdString(withAudio.id)});
  EXPECT_EQ(noModel.status, 1);
  EXPECT_EQ(noModel.err, failure("먼저 Whisper 모델을 다운로드해 주세요."));

  installModel();
  const ProgramRun noAudio = cli({"recover", QString::fromStdString(withoutAudio.id)});
  EXPECT_EQ(noAudio.status, 1);
  EXPECT_EQ(noAudio.err, failure(messages::noAudioToRecover));

  ScopedEnv failing("FAKE_WHISPER_EXIT", "1");
  const ProgramRun engineFails = cli({"recover", QString::fromStdString(withAudio.id)});
  EXPECT_EQ(engineFails.status, 1);
  EXPECT_EQ(engineFails.err, failure(messages::whisperFailed));
  EXPECT_EQ(engineRuns(), 2);  // the default device, then processor-only
  EXPECT_EQ(readFile(audioFolder(withAudio.id) / "00000000.pcm"), speechPcm(256'000));
}

TEST_F(CliTest, RecoverShowsItsProgressOnATerminal) {
  installModel();
  engineSays("말");
  const NativeNote note = storedNote({256'000, 256'000});
  const std::string shown = onTerminal({"recover", QString::fromStdString(note.id)});
  EXPECT_NE(shown.find("대본 복구 [###############---------------]  50%  1/2"), std::string::npos) << shown;
  EXPECT_NE(shown.find("대본 복구 [##############################] 100%  2/2"), std::string::npos) << shown;
  // Not on a terminal: no bar at all.
  const ProgramRun piped = cli({"recover", QString::fromStdString(note.id)});
  EXPECT_EQ(piped.err, "");
}

// --- transcribe ---------------------------------------------------------------------------------

TEST_F(CliTest, TranscribeCutsTheFileIntoChunksAndWritesSubtitles) {
  installModel();
  engineAnswers(
      json::array({{{"offsets", {{"from", 0}, {"to", 1'000}}}, {"text", " ask not"}},
                   {{"offsets", {{"from", 1'000}, {"to", 2'500}}}, {"text", " what your country"}}}));
  ScopedEnv copy("FAKE_WHISPER_WAV_COPY", (m_dir / "last-chunk.wav").c_str());
  const QString zeb = text(fixture("zeb.wav"));

  const ProgramRun srt = cli({"transcribe", zeb, "--language", "en", "--srt"});
  EXPECT_EQ(srt.status, 0) << srt.err;
  EXPECT_EQ(srt.err, "");
  EXPECT_EQ(srt.out,
            "1\n00:00:00,000 --> 00:00:01,000\nask not\n\n"
            "2\n00:00:01,000 --> 00:00:02,500\nwhat your country\n\n"
            "3\n00:00:08,000 --> 00:00:09,000\nask not\n\n"
            "4\n00:00:09,000 --> 00:00:10,500\nwhat your country\n\n");
  EXPECT_EQ(engineRuns(), 2);
  const std::string log = readFile(m_dir / "engine.log");
  EXPECT_NE(log.find("\"-l\", \"en\""), std::string::npos) << log;
  // A 16 kHz 16-bit file reaches the engine sample for sample: the second chunk is its tail.
  EXPECT_EQ(wavSamples(m_dir / "last-chunk.wav"), wavSamples(fixture("zeb.wav")).substr(256'000));

  const ProgramRun asJson = cli({"transcribe", zeb, "--language=en", "--json"});
  EXPECT_EQ(asJson.status, 0) << asJson.err;
  const json result = json::parse(asJson.out);
  EXPECT_EQ(result["file"], fixture("zeb.wav").string());
  EXPECT_EQ(result["language"], "en");
  EXPECT_EQ(result["chunks"], 2);
  EXPECT_DOUBLE_EQ(result["durationSeconds"].get<double>(),
                   static_cast<double>(wavSamples(fixture("zeb.wav")).size()) / 32'000);
  ASSERT_EQ(result["entries"].size(), 4U);
  EXPECT_EQ(result["entries"][3].get<TranscriptEntry>(),
            (TranscriptEntry{"1-1", 1'001, "what your country", 9'000, 10'500, ""}));

  const ProgramRun plain = cli({"transcribe", zeb});
  EXPECT_EQ(
      plain.out,
      "[00:00:00] ask not\n[00:00:01] what your country\n[00:00:08] ask not\n[00:00:09] what your country\n");
  EXPECT_NE(readFile(m_dir / "engine.log").rfind("\"-l\", \"ko\""), std::string::npos);  // the app's default

  const ProgramRun vtt = cli({"transcribe", zeb, "--vtt"});
  EXPECT_EQ(vtt.out.rfind("WEBVTT\n\n00:00:00.000 --> 00:00:01.000\nask not\n\n", 0), 0U) << vtt.out;
}

TEST_F(CliTest, TranscribeConvertsOtherRatesAndChannelsToSixteenKilohertzMono) {
  installModel();
  engineSays("tone");
  ScopedEnv copy("FAKE_WHISPER_WAV_COPY", (m_dir / "chunk.wav").c_str());
  for (const char* format : {"wav", "flac"}) {
    SCOPED_TRACE(format);
    const fs::path file = soxFile((std::string("stereo.") + format).c_str(), {"-r", "44100", "-c", "2"});
    const ProgramRun run = cli({"transcribe", text(file), "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json::parse(run.out)["chunks"], 1);
    const std::string pcm = wavSamples(m_dir / "chunk.wav");
    EXPECT_NEAR(static_cast<double>(pcm.size()), 3 * 32'000.0, 64);
    const std::string wav = readFile(m_dir / "chunk.wav");
    EXPECT_EQ(wav.substr(22, 2), std::string("\x01\x00", 2));          // one channel
    EXPECT_EQ(wav.substr(24, 4), std::string("\x80\x3E\x00\x00", 4));  // 16,000 per second
  }
}

TEST_F(CliTest, TranscribeFailuresNameTheFileProblem) {
  writeFile(m_dir / "notes.txt", "these are words, not sound\n");
  const fs::path sound = soxFile("tone.wav", {"-r", "16000", "-c", "1"}, "1");
  const std::string unreadable = std::string("sayloom-cli: ") + messages::soundFileUnreadablePrefix;
  const struct {
    const char* name;
    QStringList arguments;
    std::string errorStart;
  } cases[] = {
      {"missing file", {"transcribe", text(m_dir / "none.wav")}, unreadable},
      {"not audio", {"transcribe", text(m_dir / "notes.txt")}, unreadable},
      {"no model", {"transcribe", text(sound)}, failure("먼저 Whisper 모델을 다운로드해 주세요.")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramRun run = cli(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(c.errorStart, 0), 0U) << run.err;
  }
  EXPECT_EQ(engineRuns(), 0);
}

TEST_F(CliTest, TranscribeWithTheRealEngineAndTestModelRunsEveryStepAndSaysNothingWasHeard) {
  TestEngineEnvironment engine;
  fs::create_directories(root() / "Models");
  fs::copy_file(fixture("whisper-test-model.bin"), root() / "Models" / "ggml-base.bin");

  const ProgramRun run = cli({"transcribe", text(fixture("zeb.wav")), "--language", "en", "--cpu", "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "인식된 말이 없습니다.\n");
  const json result = json::parse(run.out);
  EXPECT_EQ(result["chunks"], 2);
  EXPECT_EQ(result["entries"], json::array());

  const ProgramRun srt = cli({"transcribe", text(fixture("zeb.wav")), "--language", "en", "--cpu", "--srt"});
  EXPECT_EQ(srt.status, 0);
  EXPECT_EQ(srt.out, "");
  EXPECT_EQ(srt.err, "인식된 말이 없습니다.\n");
}

// --- model --------------------------------------------------------------------------------------

TEST_F(CliTest, ModelCheckAcceptsOnlyTheExpectedFile) {
  const ProgramRun missing = cli({"model", "check"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, failure("먼저 Whisper 모델을 다운로드해 주세요."));

  installModel();
  const ProgramRun good = cli({"model", "check"});
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.out, "Whisper 모델을 확인했습니다.\n");
  EXPECT_NE(onTerminal({"model", "check"}).find("모델 검증 [##############################] 100%"),
            std::string::npos);

  std::string changed = modelBytes();
  changed[3] ^= 1;
  writeFile(root() / "Models" / "ggml-base.bin", changed);
  const ProgramRun bad = cli({"model", "check"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, failure(messages::whisperModelInvalid));
}

TEST_F(CliTest, ModelDownloadInstallsAVerifiedModelWithProgress) {
  LoopbackServer server;
  server.handler = [](const HttpRequest& request) {
    return request.path() == "/model.bin" ? HttpAnswer{200, QByteArray::fromStdString(modelBytes())}
                                          : HttpAnswer{404, "not here"};
  };
  ScopedEnv url("SAYLOOM_MODEL_URL", (server.baseUrl() + "/model.bin").toUtf8().constData());

  const std::string shown = onTerminal({"model", "download"});
  EXPECT_NE(shown.find("모델 다운로드 [##############################] 100%"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Whisper 모델을 준비했습니다. 이제 오프라인 인식이 가능합니다."), std::string::npos);
  EXPECT_EQ(readFile(root() / "Models" / "ggml-base.bin"), modelBytes());

  ScopedEnv missing("SAYLOOM_MODEL_URL", (server.baseUrl() + "/elsewhere").toUtf8().constData());
  const ProgramRun notFound = cli({"model", "download"});
  EXPECT_EQ(notFound.status, 1);
  EXPECT_EQ(notFound.err, failure(messages::modelServerUnreachable));
  EXPECT_EQ(readFile(root() / "Models" / "ggml-base.bin"), modelBytes());
  EXPECT_EQ(std::distance(fs::directory_iterator(root() / "Models"), fs::directory_iterator()), 1);
}

TEST_F(CliTest, ANewDataFolderIsTheOwnersAloneWhicheverCommandMakesItAndAnExistingOneKeepsItsPermissions) {
  LoopbackServer server;
  server.handler = [](const HttpRequest& request) {
    return request.path() == "/model.bin" ? HttpAnswer{200, QByteArray::fromStdString(modelBytes())}
                                          : HttpAnswer{404, "not here"};
  };
  ScopedEnv url("SAYLOOM_MODEL_URL", (server.baseUrl() + "/model.bin").toUtf8().constData());
  // The usual umask, under which a folder made without a mode is readable by everyone.
  const auto restoreUmask = qScopeGuard([umask = ::umask(022)] { ::umask(umask); });
  struct Case {
    const char* name;
    QStringList arguments;
    int status;
  };
  const Case cases[] = {
      {"model download", {"model", "download"}, 0},
      {"notes list", {"notes", "list"}, 0},
      {"presets export", {"presets", "export", text(m_dir / "presets.json")}, 0},
      {"recover of a note that is not there", {"recover", "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB"}, 1},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Missing folders above it too, as for a first start without ~/.local/share.
    const fs::path fresh = m_dir / ("fresh-" + std::to_string(++number)) / "share" / "Sayloom Native";
    ScopedEnv data("SAYLOOM_DATA_DIR", fresh.c_str());
    const ProgramRun first = cli(c.arguments);
    EXPECT_EQ(first.status, c.status) << first.err;
    struct stat info {};
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700U) << std::oct << (info.st_mode & 0777);

    fs::permissions(fresh, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    const ProgramRun again = cli(c.arguments);
    EXPECT_EQ(again.status, c.status) << again.err;
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750U) << std::oct << (info.st_mode & 0777);
  }
}

// --- presets ------------------------------------------------------------------------------------

TEST_F(CliTest, PresetsExportAndImportFollowTheAppsRules) {
  const ProgramRun exported = cli({"presets", "export", text(m_dir / "presets.json")});
  EXPECT_EQ(exported.status, 0) << exported.err;
  const PresetDocument document = PresetDocument::read(readFile(m_dir / "presets.json"));
  EXPECT_EQ(document.Presets, OverlayPreset::builtIns());

  const ProgramRun imported = cli({"presets", "import", text(m_dir / "presets.json")});
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.out, "프리셋을 가져왔습니다. 미리보기를 확인한 뒤 표시를 켜세요.\n");
  const std::vector<OverlayPreset> stored =
      PresetDocument::read(readFile(root() / "overlay-presets.json")).Presets;
  ASSERT_EQ(stored.size(), 8U);
  for (std::size_t i = 4; i < 8; ++i) {
    EXPECT_EQ(stored[i].Name, stored[i - 4].Name);
    EXPECT_NE(stored[i].Id, stored[i - 4].Id);
    EXPECT_EQ(stored[i].Kind, "Custom");
    EXPECT_FALSE(stored[i].IsEnabled);
    EXPECT_FALSE(stored[i].IsBuiltIn);
  }

  std::vector<OverlayPreset> many(57, OverlayPreset{});
  writeFile(m_dir / "many.json", PresetDocument(many).encode());
  json future = json::parse(readFile(m_dir / "presets.json"));
  future["Version"] = 3;
  writeFile(m_dir / "future.json", future.dump());
  const struct {
    const char* file;
    std::string error;
  } cases[] = {
      {"many.json", "프리셋은 최대 64개입니다."},
      {"future.json", NativeError::futureVersion(3).description()},
  };
  const std::string before = readFile(root() / "overlay-presets.json");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ProgramRun run = cli({"presets", "import", text(m_dir / c.file)});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, failure(c.error));
  }
  const ProgramRun missing = cli({"presets", "import", text(m_dir / "none.json")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.json"), std::string::npos) << missing.err;
  EXPECT_EQ(readFile(root() / "overlay-presets.json"), before);
}

// --- the recording lock -------------------------------------------------------------------------

TEST_F(CliTest, ANoteTheAppIsRecordingIsNotTouchedUntilTheRecordingEnds) {
  installModel();
  engineSays("말");
  QProcess app;
  app.setProgram(QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom_record_until_killed"));
  app.start();
  ASSERT_TRUE(
      QTest::qWaitFor([&app] { return app.canReadLine() || app.state() == QProcess::NotRunning; }, 60'000));
  const QString line = QString::fromUtf8(app.readLine()).trimmed();
  ASSERT_TRUE(line.startsWith(QStringLiteral("recording "))) << line.toStdString();
  const QString id = line.mid(10);

  const ProgramRun refused = cli({"recover", id});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, failure(messages::noteBeingRecorded));
  const json listed = json::parse(cli({"notes", "list", "--json"}).out);
  ASSERT_EQ(listed["notes"].size(), 1U);
  EXPECT_EQ(listed["notes"][0]["recording"], true);

  // The app ends without a word (a crash): the lock goes with it, and the note can be rebuilt.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !fs::is_empty(audioFolder(id.toStdString())); }, 60'000));
  ::kill(static_cast<pid_t>(app.processId()), SIGKILL);
  app.waitForFinished();
  EXPECT_FALSE(RecordingLock::isHeld(root(), id.toStdString()));
  const ProgramRun recovered = cli({"recover", id});
  EXPECT_EQ(recovered.status, 0) << recovered.err;
  EXPECT_TRUE(reloaded(id.toStdString()).completed);
}

}  // namespace
}  // namespace sayloom::test
