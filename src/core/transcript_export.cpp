#include "core/transcript_export.h"

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace sayloom {

std::string duration(double seconds) {
  std::int64_t whole = 0;
  if (std::isfinite(seconds) && seconds > 0) {
    // 2^63 is exactly representable; anything at or above it would overflow the conversion.
    whole = seconds >= 9223372036854775808.0 ? INT64_MAX : static_cast<std::int64_t>(seconds);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64 ":%02" PRId64, whole / 3600, (whole / 60) % 60,
                whole % 60);
  return text;
}

std::string transcriptText(const NativeNote& note) {
  std::string text = note.title;
  text += "\n\n";
  bool first = true;
  for (const TranscriptEntry& entry : note.segments) {
    if (!first) {
      text += "\n\n";
    }
    first = false;
    text += '[';
    text += duration(static_cast<double>(entry.startTimeMs) / 1000.0);
    text += "] ";
    text += entry.text;
    if (!entry.translation.empty()) {
      text += '\n';
      text += entry.translation;
    }
  }
  return text;
}

}  // namespace sayloom
