// The capture against the real sound server of scripts/test-services.sh: the sine source "mic"
// (440 Hz, delivered in 2-second bursts) as the microphone and the null sink "sysout", whose
// monitor carries what is played, as system audio. Nothing here depends on timing: every wait is
// for an observed callback or state, with a generous limit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/recording/audio_capture.h"
#include "capture_recorder.h"
#include "core/native_error.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using namespace std::chrono_literals;
using test::CaptureRecorder;
using test::TempDir;

std::vector<std::int16_t> samplesOf(const std::filesystem::path& file) {
  const std::string bytes = test::readFile(file);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The dominant frequency of 16 kHz samples, from the sign changes.
double zeroCrossingFrequency(const std::vector<std::int16_t>& samples) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if ((samples[i - 1] < 0) != (samples[i] < 0)) {
      ++crossings;
    }
  }
  return crossings / 2.0 / (static_cast<double>(samples.size()) / 16'000.0);
}

std::string pactl(const QStringList& arguments) {
  QProcess process;
  process.start("pactl", arguments);
  process.waitForFinished(20'000);
  return process.readAllStandardOutput().trimmed().toStdString();
}

// The index of the one record stream on the server.
std::string ourSourceOutput() {
  const std::string list = pactl({"list", "short", "source-outputs"});
  return list.substr(0, list.find('\t'));
}

// A mono 16-bit WAV at 48 kHz holding `seconds` of a tone.
void writeTone(const std::filesystem::path& file, double frequency, double seconds) {
  const auto frames = static_cast<std::uint32_t>(seconds * 48'000);
  std::string data;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const auto s =
        static_cast<std::int16_t>(std::lround(std::sin(2 * M_PI * frequency * i / 48'000.0) * 16'000));
    data.append(reinterpret_cast<const char*>(&s), 2);
  }
  auto u32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](std::uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
  std::ofstream out(file, std::ios::binary);
  out << "RIFF" << u32(36 + static_cast<std::uint32_t>(data.size())) << "WAVEfmt " << u32(16) << u16(1)
      << u16(1) << u32(48'000) << u32(96'000) << u16(2) << u16(16) << "data"
      << u32(static_cast<std::uint32_t>(data.size())) << data;
}

class AudioCaptureSoundServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::getenv("PULSE_SERVER") == nullptr) {
      GTEST_SKIP() << "needs the sound server of scripts/test-services.sh";
    }
    recorder.attach(capture);
  }

  TempDir temp;
  std::filesystem::path folder = temp / "Audio";
  CaptureRecorder recorder;
  AudioCapture capture;
};

TEST_F(AudioCaptureSoundServerTest, TwentySecondsOfMicrophoneGiveTwoFullChunksAndTheRestAtStop) {
  test::runTask(capture.startMicrophone(folder));
  ASSERT_TRUE(recorder.waitUntil(
      [](auto& r) { return !r.secondsUnlocked().empty() && r.secondsUnlocked().back() >= 19.9; }, 90s));
  recorder.markStopping();
  test::runTask(capture.stop());

  const auto chunks = recorder.chunks();
  ASSERT_EQ(chunks.size(), 3u);
  std::uintmax_t total = 0;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(chunks[i].index, static_cast<std::int64_t>(i));
    EXPECT_EQ(chunks[i].duringStop, i == 2);
    const std::uintmax_t size = std::filesystem::file_size(chunks[i].file);
    if (i < 2) {
      EXPECT_EQ(size, 256'000u);
    } else {
      EXPECT_GT(size, 0u);
      EXPECT_LT(size, 256'000u);
    }
    total += size;
  }
  EXPECT_GE(total, static_cast<std::uintmax_t>(19.9 * 32'000));
  EXPECT_EQ(test::pcmFiles(folder).size(), 3u);
  EXPECT_NEAR(zeroCrossingFrequency(samplesOf(chunks[0].file)), 440.0, 2.0);
  EXPECT_NEAR(zeroCrossingFrequency(samplesOf(chunks[1].file)), 440.0, 2.0);
  EXPECT_TRUE(recorder.errors().empty());
  EXPECT_FALSE(recorder.calledOnTestThread());
}

TEST_F(AudioCaptureSoundServerTest, SystemAudioRecordsWhatIsPlayedIntoTheDefaultSink) {
  writeTone(temp / "tone.wav", 1000.0, 2.0);
  test::runTask(capture.startSystem(folder, Display{1, "screen", {0, 0, 1280, 1024}}));
  // The idle monitor records silence; wait until it delivers anything, then play.
  ASSERT_TRUE(recorder.waitUntil(
      [](auto& r) { return !r.secondsUnlocked().empty() && r.secondsUnlocked().back() > 0; }, 30s));
  EXPECT_EQ(
      QProcess::execute("paplay", {"-d", "sysout", QString::fromStdString((temp / "tone.wav").string())}), 0);
  const double playedUntil = recorder.seconds().back();
  ASSERT_TRUE(
      recorder.waitUntil([&](auto& r) { return r.secondsUnlocked().back() >= playedUntil + 1.0; }, 30s));
  test::runTask(capture.stop());

  std::vector<std::int16_t> all;
  for (const auto& file : test::pcmFiles(folder)) {
    const auto samples = samplesOf(file);
    all.insert(all.end(), samples.begin(), samples.end());
  }
  // The tone as 0.1 s windows that carry sound.
  std::vector<double> frequencies;
  for (std::size_t start = 0; start + 1600 <= all.size(); start += 1600) {
    const std::vector<std::int16_t> window(all.begin() + start, all.begin() + start + 1600);
    const auto peak = std::abs(*std::max_element(window.begin(), window.end(),
                                                 [](auto a, auto b) { return std::abs(a) < std::abs(b); }));
    if (peak > 4000) {
      frequencies.push_back(zeroCrossingFrequency(window));
    }
  }
  ASSERT_GE(frequencies.size(), 10u) << "the played tone was not recorded";
  std::sort(frequencies.begin(), frequencies.end());
  EXPECT_NEAR(frequencies[frequencies.size() / 2], 1000.0, 15.0);
  EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(AudioCaptureSoundServerTest, AnOverrunIsReportedOnceAndStopStillReportsTheOpenChunk) {
  test::runTask(capture.startMicrophone(folder));
  ASSERT_TRUE(recorder.waitUntil(
      [](auto& r) { return !r.secondsUnlocked().empty() && r.secondsUnlocked().back() > 0; }, 30s));
  capture.setDrainPaused(true);
  // The ring holds 4 s; the source keeps delivering while nothing drains.
  for (int i = 0; i < 600 && capture.droppedFrames() == 0; ++i) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_GT(capture.droppedFrames(), 0u);
  const auto progressBefore = recorder.seconds();
  capture.setDrainPaused(false);
  ASSERT_TRUE(recorder.waitUntil([](auto& r) { return !r.errorsUnlocked().empty(); }, 30s));
  capture.drainNow();
  capture.drainNow();
  EXPECT_THAT(recorder.errors(), ::testing::ElementsAre(messages::captureOverrun));
  EXPECT_EQ(recorder.seconds(), progressBefore);

  recorder.markStopping();
  test::runTask(capture.stop());
  const auto chunks = recorder.chunks();
  ASSERT_FALSE(chunks.empty());
  EXPECT_TRUE(chunks.back().duringStop);
  std::uintmax_t total = 0;
  for (const auto& file : test::pcmFiles(folder)) {
    total += std::filesystem::file_size(file);
  }
  EXPECT_EQ(static_cast<double>(total), progressBefore.back() * 32'000);
  EXPECT_EQ(recorder.errors().size(), 1u);
}

TEST_F(AudioCaptureSoundServerTest, AMovedOrSuspendedStreamGivesItsSourcesOwnText) {
  struct Case {
    const char* name;
    bool system;
    QStringList load;     // the device the stream is moved to
    QString target;       // its source
    QStringList suspend;  // suspends it
    const char* message;
  };
  const Case cases[] = {
      {"microphone",
       false,
       {"module-sine-source", "source_name=other", "rate=48000", "frequency=880"},
       "other",
       {"suspend-source", "other", "1"},
       messages::inputConfigurationChanged},
      {"system audio",
       true,
       {"module-null-sink", "sink_name=othersink"},
       "othersink.monitor",
       {"suspend-sink", "othersink", "1"},
       messages::systemRecordingStopped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string module = pactl(QStringList{"load-module"} + c.load);
    ASSERT_FALSE(module.empty());
    struct Unload {
      std::string module;
      ~Unload() { pactl({"unload-module", QString::fromStdString(module)}); }
    } unload{module};

    AudioCapture source;
    CaptureRecorder calls;
    calls.attach(source);
    test::runTask(c.system ? source.startSystem(temp / c.name, Display{1, "", {}})
                           : source.startMicrophone(temp / c.name));
    const QString stream = QString::fromStdString(ourSourceOutput());
    ASSERT_FALSE(stream.isEmpty());
    pactl({"move-source-output", stream, c.target});
    ASSERT_TRUE(calls.waitUntil([](auto& r) { return !r.errorsUnlocked().empty(); }, 30s));
    pactl(c.suspend);
    ASSERT_TRUE(calls.waitUntil([](auto& r) { return r.errorsUnlocked().size() >= 2; }, 30s));
    test::runTask(source.stop());
    EXPECT_THAT(calls.errors(), ::testing::ElementsAre(c.message, c.message));
  }
}

// A private sound server that the test can end: the shared one must stay up for the other tests.
class PrivateSoundServer {
public:
  explicit PrivateSoundServer(const std::filesystem::path& folder) : m_socket(folder / "native") {
    std::filesystem::create_directories(folder / "home");
    std::ofstream(folder / "default.pa")
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << m_socket.string() << "\n"
        << "load-module module-sine-source source_name=mic rate=48000 frequency=440\n"
        << "set-default-source mic\n"
        << "load-module module-null-sink sink_name=out\n"
        << "set-default-sink out\n";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString((folder / "home").string()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder.string()));
    m_process.setProcessEnvironment(environment);
    m_process.start("pulseaudio", {"-n", "-F", QString::fromStdString((folder / "default.pa").string()),
                                   "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no"});
    m_process.waitForStarted();
  }
  ~PrivateSoundServer() { end(); }

  std::string address() const { return "unix:" + m_socket.string(); }
  bool ready() {
    for (int i = 0; i < 200; ++i) {
      QProcess info;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("PULSE_SERVER", QString::fromStdString(address()));
      info.setProcessEnvironment(environment);
      info.start("pactl", {"info"});
      if (info.waitForFinished(5'000) && info.exitCode() == 0) {
        return true;
      }
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }
  void end() {
    if (m_process.state() != QProcess::NotRunning) {
      m_process.terminate();
      if (!m_process.waitForFinished(10'000)) {
        m_process.kill();
        m_process.waitForFinished();
      }
    }
  }

private:
  std::filesystem::path m_socket;
  QProcess m_process;
};

TEST_F(AudioCaptureSoundServerTest, AVanishedSoundServerGivesEachSourceItsOwnText) {
  const std::pair<bool, const char*> cases[] = {{false, messages::inputConfigurationChanged},
                                                {true, messages::systemRecordingStopped}};
  for (const auto& [system, message] : cases) {
    SCOPED_TRACE(system ? "system audio" : "microphone");
    const std::filesystem::path audio = temp / (system ? "system" : "microphone");
    PrivateSoundServer server(audio / "server");
    ASSERT_TRUE(server.ready());
    test::ScopedEnv address("PULSE_SERVER", server.address().c_str());
    AudioCapture source;
    CaptureRecorder calls;
    calls.attach(source);
    test::runTask(system ? source.startSystem(audio, Display{1, "", {}}) : source.startMicrophone(audio));
    ASSERT_TRUE(calls.waitUntil(
        [](auto& r) { return !r.secondsUnlocked().empty() && r.secondsUnlocked().back() > 0; }, 30s));
    server.end();
    ASSERT_TRUE(calls.waitUntil([](auto& r) { return !r.errorsUnlocked().empty(); }, 30s));
    calls.markStopping();
    test::runTask(source.stop());
    EXPECT_THAT(calls.errors(), ::testing::ElementsAre(message));
    // What was recorded before is kept and reported.
    ASSERT_EQ(calls.chunks().size(), 1u);
    EXPECT_TRUE(calls.chunks()[0].duringStop);
    EXPECT_GT(std::filesystem::file_size(calls.chunks()[0].file), 0u);
  }
}

TEST(AudioCaptureWithoutSoundServer, StartsFailWithThePermissionMessagesAndStopIsHarmless) {
  TempDir temp;
  test::ScopedEnv server("PULSE_SERVER", ("unix:" + (temp / "missing" / "native").string()).c_str());
  struct Case {
    bool system;
    const char* message;
  };
  for (const Case& c :
       {Case{false, messages::microphoneDenied}, Case{true, messages::systemAudioStartFailed}}) {
    SCOPED_TRACE(c.system ? "system" : "microphone");
    AudioCapture capture;
    CaptureRecorder recorder;
    recorder.attach(capture);
    try {
      test::runTask(c.system ? capture.startSystem(temp / "Audio", Display{1, "", {}})
                             : capture.startMicrophone(temp / "Audio"));
      ADD_FAILURE() << "the start succeeded";
    } catch (const NativeError& e) {
      EXPECT_EQ(e.description(), c.message);
    }
    test::runTask(capture.stop());
    test::runTask(capture.stop());
    EXPECT_TRUE(recorder.chunks().empty());
    EXPECT_TRUE(recorder.errors().empty());
    EXPECT_TRUE(test::pcmFiles(temp / "Audio").empty());
  }
}

}  // namespace
}  // namespace sayloom
