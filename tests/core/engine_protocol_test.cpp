// The resident engine's frames, request header, encoder window and loop guard.
#include "core/engine_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/native_error.h"

namespace sayloom::engine_protocol {
namespace {

TEST(EngineProtocolTest, FramesArriveWholeHoweverTheStreamIsCut) {
  const std::string pcm(3'000, '\x7f');
  const std::string stream =
      frame(encodeHeader({.language = "en", .useGpu = false, .threads = 2})) + frame(pcm) + frame("");
  for (const std::size_t piece :
       {std::size_t{1}, std::size_t{3}, std::size_t{4}, std::size_t{1'000}, stream.size()}) {
    SCOPED_TRACE(piece);
    FrameReader reader;
    std::vector<std::string> frames;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      reader.append(std::string_view(stream).substr(at, piece));
      while (std::optional<std::string> payload = reader.next(maxAudioBytes)) {
        frames.push_back(std::move(*payload));
      }
    }
    ASSERT_EQ(frames.size(), 3U);
    EXPECT_EQ(decodeHeader(frames[0]), (Request{.language = "en", .useGpu = false, .threads = 2}));
    EXPECT_EQ(frames[1], pcm);
    EXPECT_EQ(frames[2], "");
  }
}

TEST(EngineProtocolTest, AFrameOverTheLimitIsRefusedBeforeItsBytesArrive) {
  FrameReader reader;
  reader.append(frame(std::string(maxHeaderBytes + 1, ' ')).substr(0, 4));
  EXPECT_THROW(reader.next(maxHeaderBytes), FrameTooLarge);
  // A length prefix of 0xFFFFFFFF, as garbage on the stream would give.
  FrameReader garbage;
  garbage.append("\xff\xff\xff\xff{");
  EXPECT_THROW(garbage.next(maxAnswerBytes), FrameTooLarge);
}

TEST(EngineProtocolTest, HeadersOfTheWrongShapeAreRefused) {
  for (const char* header : {
           "",
           "[]",
           "not json",
           R"({"gpu": true, "threads": 2, "audioContext": 0})",
           R"({"language": 3, "gpu": true, "threads": 2, "audioContext": 0})",
           R"({"language": "ko", "gpu": "yes", "threads": 2, "audioContext": 0})",
           R"({"language": "ko", "gpu": true, "threads": 0, "audioContext": 0})",
           R"({"language": "ko", "gpu": true, "threads": 2.5, "audioContext": 0})",
           R"({"language": "ko", "gpu": true, "threads": 2, "audioContext": 1501})",
           R"({"language": "ko", "gpu": true, "threads": 2, "audioContext": -1})",
           R"({"language": "", "gpu": true, "threads": 2, "audioContext": 0})",
       }) {
    SCOPED_TRACE(header);
    EXPECT_THROW(decodeHeader(header), NativeError);
  }
}

TEST(EngineProtocolTest, TheEncoderWindowFollowsTheAudioLength) {
  const struct {
    double seconds;
    int frames;
  } cases[] = {
      {0.0, 256},     // nothing to hear: the smallest window
      {1.0, 256},     // 178 frames, raised to the smallest
      {8.0, 528},     // a full chunk
      {7.99, 528},    // rounded up, never cut short
      {27.44, 1500},  // 1372 + 128
      {60.0, 1500},   // never beyond the model's window
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.seconds);
    EXPECT_EQ(audioContextFor(each.seconds), each.frames);
  }
}

TEST(EngineProtocolTest, TheLoopGuardCatchesRepeatsAndRunawayAnswers) {
  std::vector<std::int32_t> speech;
  for (std::int32_t i = 0; i < 30; ++i) {
    speech.push_back(100 + i % 17);  // a run of four comes back once at most: ordinary text
  }
  std::vector<std::int32_t> phrase3;
  for (int i = 0; i < 3; ++i) {
    phrase3.insert(phrase3.end(), {7, 8, 9, 10});
  }
  const std::vector<std::int32_t> phrase2 = {7, 8, 9, 10, 1, 2, 7, 8, 9, 10};
  const std::vector<std::int32_t> sameToken(6, 42);
  const struct {
    const char* name;
    std::vector<std::int32_t> tokens;
    double seconds;
    bool loop;
  } cases[] = {
      {"ordinary speech", speech, 8.0, false},
      {"a phrase three times", phrase3, 8.0, true},
      {"a phrase twice", phrase2, 8.0, false},
      {"one token six times", sameToken, 8.0, true},
      {"more than six tokens a second", speech, 4.0, true},
      {"nothing", {}, 8.0, false},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.name);
    EXPECT_EQ(repeatsItself(each.tokens, each.seconds), each.loop);
  }
}

}  // namespace
}  // namespace sayloom::engine_protocol
