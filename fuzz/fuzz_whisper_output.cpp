// The engine's JSON is outside input with unescaped control bytes and broken UTF-8 possible in its
// texts. Any content must either fail with an exception or give entries whose texts are valid,
// trimmed, non-empty UTF-8 (they are written to note files) in strictly increasing sequence order.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/chunk_files.h"
#include "core/whisper_output.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::int64_t index = data[0];  // a chunk index, as a recording reaches it
  const std::string_view content(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<sayloom::TranscriptEntry> entries;
  try {
    entries = sayloom::whisper_output::parse(content, index, sayloom::chunks::bytesPerChunk);
  } catch (const std::exception&) {
    return 0;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& entry = entries[i];
    if (entry.text.empty() || entry.text != sayloom::whisper_output::cleanText(entry.text)) {
      __builtin_trap();
    }
    if (i > 0 && entries[i - 1].sequence >= entry.sequence) {
      __builtin_trap();
    }
    // Throws (and so crashes the target) on text that is not valid UTF-8.
    (void)nlohmann::json(entry).dump();
  }
  return 0;
}
