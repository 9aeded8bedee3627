// The capture pipeline with a scripted source and a 1:1 converter (exact sample counts), plus the
// built-in diagnostic with the real converter. No sound server is needed.
#include "app/recording/audio_capture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoroTask>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>

#include "app/scripted_audio.h"
#include "capture_recorder.h"
#include "core/native_error.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using platform::SourceError;
using platform::SourceEvent;
using platform::SourceFormat;
using platform::SourceKind;
using test::CaptureRecorder;
using test::ConverterScript;
using test::ScriptedConverter;
using test::ScriptedSource;
using test::SourceScript;
using test::TempDir;

class AudioCaptureTest : public ::testing::Test {
protected:
  AudioCaptureTest()
      : capture([this](SourceKind kind) { return std::make_unique<ScriptedSource>(source, kind); },
                [this](double, double) -> std::unique_ptr<platform::Resampler> {
                  if (converter.factoryFails) {
                    throw std::runtime_error("scripted");
                  }
                  return std::make_unique<ScriptedConverter>(converter);
                }) {
    recorder.attach(capture);
    capture.setDrainPaused(true);  // every drain below is an explicit drainNow
  }

  // Pushes `count` samples whose 16-bit values run first, first + 1, ... (wrapping in 16 bits).
  void pushCounting(std::int64_t first, std::int64_t count) {
    std::vector<float> samples;
    for (std::int64_t k = first; k < first + count; ++k) {
      samples.push_back(static_cast<float>(static_cast<std::int16_t>(k % 65536 - 32768)) / 32768.0f);
    }
    source.push(samples);
  }

  static std::vector<std::int16_t> samplesOf(const std::string& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }

  TempDir temp;
  std::filesystem::path folder = temp / "Notes" / "n" / "Audio";
  SourceScript source;
  ConverterScript converter;
  CaptureRecorder recorder;
  AudioCapture capture;
};

TEST_F(AudioCaptureTest, ChunksAreSplitExactlyAtTheBoundaryAndTheLastIsReportedDuringStop) {
  capture.startMicrophoneBlocking(folder);
  EXPECT_EQ(source.kind, SourceKind::defaultSource);
  // 3 full chunks and 8,000 samples more, in pushes of 40,000: drain blocks of at most 32,768
  // samples cross every chunk boundary in the middle.
  constexpr std::int64_t total = 3 * 128'000 + 8'000;
  for (std::int64_t done = 0; done < total; done += 40'000) {
    pushCounting(done, std::min<std::int64_t>(40'000, total - done));
    capture.drainNow();
  }
  ASSERT_EQ(recorder.chunks().size(), 3u);
  EXPECT_DOUBLE_EQ(recorder.seconds().back(), 24.5);

  recorder.markStopping();
  capture.stopBlocking();
  EXPECT_TRUE(source.stopped);

  const auto chunks = recorder.chunks();
  ASSERT_EQ(chunks.size(), 4u);
  std::vector<std::int16_t> all;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i].index, static_cast<std::int64_t>(i));
    EXPECT_EQ(chunks[i].file, folder / ("0000000" + std::to_string(i) + ".pcm"));
    EXPECT_EQ(chunks[i].duringStop, i == 3);
    const std::string bytes = test::readFile(chunks[i].file);
    EXPECT_EQ(bytes.size(), i < 3 ? 256'000u : 16'000u);
    const auto samples = samplesOf(bytes);
    all.insert(all.end(), samples.begin(), samples.end());
  }
  ASSERT_EQ(all.size(), static_cast<std::size_t>(total));
  for (std::int64_t k = 0; k < total; ++k) {
    ASSERT_EQ(all[k], static_cast<std::int16_t>(k % 65536 - 32768)) << "sample " << k;
  }
  EXPECT_TRUE(recorder.errors().empty());
  EXPECT_FALSE(recorder.calledOnTestThread());
}

TEST_F(AudioCaptureTest, ProgressReportsThePeakOfEachBlock) {
  converter.tail = 3;
  capture.startMicrophoneBlocking(folder);
  const std::vector<std::pair<std::vector<float>, float>> blocks = {
      {{-1.0f, 0.25f}, 1.0f},  // -32768 is full scale
      {{0.0f, 0.0f, 0.0f}, 0.0f},
      {{0.5f, -0.25f}, 0.5f},
  };
  for (const auto& [samples, level] : blocks) {
    source.push(samples);
    capture.drainNow();
    EXPECT_EQ(recorder.levels().back(), level);
  }
  EXPECT_DOUBLE_EQ(recorder.seconds().back(), 14.0 / 32'000);
  capture.stopBlocking();
  // The converter's held-back samples end the last chunk.
  ASSERT_EQ(recorder.chunks().size(), 1u);
  EXPECT_EQ(test::readFile(recorder.chunks()[0].file).size(), 2u * (7 + 3));
}

TEST_F(AudioCaptureTest, StopBeforeAnyAudioLeavesNoFileAndRepeatedStopsDoNothing) {
  capture.startMicrophoneBlocking(folder);
  capture.drainNow();
  capture.stopBlocking();
  capture.stopBlocking();
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_TRUE(test::pcmFiles(folder).empty());
  EXPECT_TRUE(recorder.chunks().empty());
  EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(AudioCaptureTest, StartFailuresGiveTheirMessageAndLeaveNothingRunning) {
  struct Case {
    const char* name;
    bool system;
    std::optional<SourceError::Kind> openFails;
    std::optional<SourceError::Kind> startFails;
    SourceFormat format;
    bool converterFails;
    const char* message;
  };
  using K = SourceError::Kind;
  const SourceFormat ok{48000, 2};
  const Case cases[] = {
      {"no sound server", false, K::unreachable, {}, ok, false, messages::microphoneDenied},
      {"source refused", false, K::refused, {}, ok, false, messages::microphoneDenied},
      {"stream refused", false, {}, K::refused, ok, false, messages::microphoneDenied},
      {"format refused by the server", false, K::format, {}, ok, false, messages::microphoneFormat},
      {"no sample rate", false, {}, {}, {0, 2}, false, messages::microphoneFormat},
      {"no channels", false, {}, {}, {48000, 0}, false, messages::microphoneFormat},
      {"no converter", false, {}, {}, ok, true, messages::converterUnavailable},
      {"system: no sound server", true, K::unreachable, {}, ok, false, messages::systemAudioStartFailed},
      {"system: stream refused", true, {}, K::refused, ok, false, messages::systemAudioStartFailed},
      {"system: no converter", true, {}, {}, ok, true, messages::converterUnavailable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SourceScript script;
    script.openFails = c.openFails;
    script.startFails = c.startFails;
    script.format = c.format;
    ConverterScript conversion;
    conversion.factoryFails = c.converterFails;
    AudioCapture failing([&](SourceKind kind) { return std::make_unique<ScriptedSource>(script, kind); },
                         [&](double, double) -> std::unique_ptr<platform::Resampler> {
                           if (conversion.factoryFails) {
                             throw std::runtime_error("scripted");
                           }
                           return std::make_unique<ScriptedConverter>(conversion);
                         });
    CaptureRecorder calls;
    calls.attach(failing);
    try {
      if (c.system) {
        test::runTask(failing.startSystem(folder, Display{1, "screen", {}}));
      } else {
        test::runTask(failing.startMicrophone(folder));
      }
      ADD_FAILURE() << "the start succeeded";
    } catch (const NativeError& error) {
      EXPECT_EQ(error.description(), c.message);
    }
    if (script.handler != nullptr) {
      EXPECT_TRUE(script.stopped);
    }
    test::runTask(failing.stop());
    test::runTask(failing.stop());
    EXPECT_TRUE(calls.chunks().empty());
    EXPECT_TRUE(calls.errors().empty());
    EXPECT_TRUE(test::pcmFiles(folder).empty());
  }
}

TEST_F(AudioCaptureTest, AnOverrunIsReportedOnceAndStopStillClosesTheOpenChunk) {
  capture.startMicrophoneBlocking(folder);
  pushCounting(0, 1000);
  capture.drainNow();
  pushCounting(0, 64'001);  // the ring holds 4 s = 64,000 samples: the whole push is dropped
  EXPECT_EQ(capture.droppedFrames(), 64'001u);
  pushCounting(1000, 500);  // fits, but is never converted
  capture.drainNow();
  pushCounting(0, 1000);
  capture.drainNow();
  capture.drainNow();
  EXPECT_THAT(recorder.errors(), ::testing::ElementsAre(messages::captureOverrun));
  EXPECT_EQ(recorder.seconds().size(), 1u);

  recorder.markStopping();
  capture.stopBlocking();
  ASSERT_EQ(recorder.chunks().size(), 1u);
  EXPECT_TRUE(recorder.chunks()[0].duringStop);
  EXPECT_EQ(test::readFile(recorder.chunks()[0].file).size(), 2000u);
  EXPECT_EQ(recorder.errors().size(), 1u);
}

TEST_F(AudioCaptureTest, AConversionFailureIsReportedOnceAndTheOpenChunkIsKept) {
  converter.failOnProcessCall = 2;
  converter.tail = 5;  // skipped: a failed recording is not flushed
  capture.startMicrophoneBlocking(folder);
  for (int i = 0; i < 3; ++i) {
    pushCounting(0, 1000);
    capture.drainNow();
  }
  EXPECT_THAT(recorder.errors(), ::testing::ElementsAre(messages::conversionFailed));
  capture.stopBlocking();
  ASSERT_EQ(recorder.chunks().size(), 1u);
  EXPECT_EQ(test::readFile(recorder.chunks()[0].file).size(), 2000u);
  EXPECT_EQ(recorder.errors().size(), 1u);
}

TEST_F(AudioCaptureTest, AChunkThatCannotBeCreatedIsReportedOnceAndEarlierChunksStay) {
  std::filesystem::create_directories(folder / "00000001.pcm");  // occupies the second chunk's name
  capture.startMicrophoneBlocking(folder);
  for (int i = 0; i < 5; ++i) {
    pushCounting(i * 30'000, 30'000);
    capture.drainNow();
  }
  EXPECT_THAT(recorder.errors(), ::testing::ElementsAre(messages::chunkWriteFailed));
  capture.stopBlocking();
  ASSERT_EQ(recorder.chunks().size(), 1u);
  EXPECT_EQ(test::readFile(folder / "00000000.pcm").size(), 256'000u);
  EXPECT_EQ(recorder.errors().size(), 1u);
}

TEST_F(AudioCaptureTest, AFailedFlushAtStopIsReportedAndLeavesTheChunkOnDisk) {
  converter.flushFails = true;
  capture.startMicrophoneBlocking(folder);
  pushCounting(0, 1000);
  capture.drainNow();
  capture.stopBlocking();
  EXPECT_THAT(recorder.errors(), ::testing::ElementsAre(messages::lastChunkFailed));
  EXPECT_TRUE(recorder.chunks().empty());
  EXPECT_EQ(test::readFile(folder / "00000000.pcm").size(), 2000u);
  capture.stopBlocking();
  EXPECT_EQ(recorder.errors().size(), 1u);
}

TEST_F(AudioCaptureTest, EachSourceReportsItsOwnTextForWhateverHappensToItsStream) {
  struct Case {
    const char* name;
    bool system;
    SourceEvent event;
    const char* message;
  };
  const Case cases[] = {
      {"microphone moved or suspended", false, SourceEvent::configurationChanged,
       messages::inputConfigurationChanged},
      {"microphone stream failed", false, SourceEvent::streamStopped, messages::inputConfigurationChanged},
      {"system audio moved or suspended", true, SourceEvent::configurationChanged,
       messages::systemRecordingStopped},
      {"system audio stream failed", true, SourceEvent::streamStopped, messages::systemRecordingStopped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SourceScript script;
    AudioCapture events([&](SourceKind kind) { return std::make_unique<ScriptedSource>(script, kind); },
                        [&](double, double) { return std::make_unique<ScriptedConverter>(converter); });
    CaptureRecorder calls;
    calls.attach(events);
    events.setDrainPaused(true);
    if (c.system) {
      events.startSystemBlocking(folder, Display{});
    } else {
      events.startMicrophoneBlocking(folder);
    }
    for (int occurrence = 0; occurrence < 2; ++occurrence) {
      std::thread server([&] { script.events(c.event); });  // as the sound server's thread would
      server.join();
      events.drainNow();
      events.drainNow();
    }
    EXPECT_THAT(calls.errors(), ::testing::ElementsAre(c.message, c.message));
    EXPECT_FALSE(calls.calledOnTestThread());
    events.stopBlocking();
  }
}

TEST(AudioCaptureDiagnostic, PassesAndPassesAgainIntoTheSameFolder) {
  TempDir temp;
  AudioCapture capture;
  test::runTask(capture.runDiagnostic(temp / "DiagnosticCapture" / "x"));
  AudioCapture again;
  test::runTask(again.runDiagnostic(temp / "DiagnosticCapture" / "x"));
  const auto files = test::pcmFiles(temp / "DiagnosticCapture" / "x");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(std::filesystem::file_size(files[0]), 256'000u);
}

TEST(AudioCaptureDiagnostic, FailsWithTheTotalWhenTheFolderHoldsAnotherChunk) {
  TempDir temp;
  {
    std::ofstream extra(temp / "00000009.pcm", std::ios::binary);
    extra << "ab";
  }
  AudioCapture capture;
  try {
    capture.runDiagnosticBlocking(temp.path());
    FAIL() << "the diagnostic passed";
  } catch (const NativeError& error) {
    EXPECT_THAT(error.description(), ::testing::StartsWith(messages::diagnosticMismatchPrefix));
    EXPECT_THAT(error.description(), ::testing::EndsWith(" bytes"));
    const std::string total = error.description().substr(std::strlen(messages::diagnosticMismatchPrefix));
    EXPECT_NEAR(std::stod(total), 320'002, 64);
  }
}

}  // namespace
}  // namespace sayloom
