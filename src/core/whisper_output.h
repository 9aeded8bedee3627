#pragma once
// Reading the JSON the whisper.cpp engine writes for one chunk. The engine escapes only '"' and
// '\' in its texts, so its file can hold raw control characters and broken UTF-8 inside strings;
// both are repaired before parsing instead of losing the whole chunk. Pure functions; any thread.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/native_note.h"

namespace sayloom {

namespace messages {
inline constexpr const char* whisperModelInvalid =
    "Whisper 모델 검증에 실패했습니다. 모델을 다시 다운로드해 주세요.";
inline constexpr const char* whisperFailed =
    "Whisper 인식에 실패했습니다. CPU 모드로 다시 시도할 수 있으며 원본 오디오는 보존됩니다.";
inline constexpr const char* whisperResultUnreadable = "Whisper 인식 결과를 읽지 못했습니다.";
}  // namespace messages

namespace whisper_output {

// The engine output as valid JSON text as far as strings go: control bytes inside strings become
// \u escapes and ill-formed UTF-8 sequences inside strings become U+FFFD. Everything else is kept.
std::string repair(std::string_view raw);

// A segment text as shown: valid UTF-8 (broken sequences become U+FFFD), control characters that
// are not white space removed, leading and trailing white space and line breaks trimmed.
std::string cleanText(std::string_view text);

// The entries of chunk `index` (whose PCM is `chunkBytes` long) from the engine's output file
// content. A segment at position i becomes id "index-i", sequence index*1000+i, its times shifted
// by index * chunks::chunkMilliseconds; blank segments are skipped but keep their position. A
// missing "from" counts as 0, a missing "to" as the chunk's length in ms; an "offsets" member that
// is not an object of integers counts as missing.
// Throws nlohmann::json::parse_error for text that is not JSON, and NativeError
// whisperResultUnreadable when it has no "transcription" array of objects.
std::vector<TranscriptEntry> parse(std::string_view fileContent, std::int64_t index,
                                   std::uint64_t chunkBytes);

}  // namespace whisper_output

}  // namespace sayloom
