#include "core/whisper_output.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

#include "core/chunk_files.h"
#include "core/native_error.h"

namespace sayloom::whisper_output {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";
constexpr std::int64_t sequencePerChunk = 1'000;

// Appends the code point starting at text[i] (advancing i), or U+FFFD for an ill-formed sequence.
void copyCodePoint(std::string_view text, std::int32_t& i, std::string& out, UChar32& c) {
  const std::int32_t start = i;
  U8_NEXT(reinterpret_cast<const std::uint8_t*>(text.data()), i, static_cast<std::int32_t>(text.size()), c);
  if (c < 0) {
    out.append(replacementCharacter);
  } else {
    out.append(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
  }
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
  }
  return sum;
}

std::int64_t saturatingMultiply(std::int64_t a, std::int64_t b) {
  std::int64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) {
    return (a < 0) != (b < 0) ? std::numeric_limits<std::int64_t>::min()
                              : std::numeric_limits<std::int64_t>::max();
  }
  return product;
}

std::optional<std::int64_t> integerValue(const nlohmann::json& value) {
  if (value.is_number_unsigned()) {
    const auto v = value.get<std::uint64_t>();
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(v);
  }
  if (value.is_number_integer()) {
    return value.get<std::int64_t>();
  }
  return std::nullopt;
}

struct Offsets {
  std::optional<std::int64_t> from;
  std::optional<std::int64_t> to;
};

// "offsets" as a map of names to integers; any other shape counts as an empty map.
Offsets readOffsets(const nlohmann::json& segment) {
  const auto it = segment.find("offsets");
  if (it == segment.end() || !it->is_object()) {
    return {};
  }
  Offsets offsets;
  for (const auto& [name, value] : it->items()) {
    const auto number = integerValue(value);
    if (!number) {
      return {};
    }
    if (name == "from") {
      offsets.from = number;
    } else if (name == "to") {
      offsets.to = number;
    }
  }
  return offsets;
}

}  // namespace

std::string repair(std::string_view raw) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(raw.size());
  bool inString = false;
  bool escaped = false;
  std::int32_t i = 0;
  const auto size = static_cast<std::int32_t>(raw.size());
  while (i < size) {
    const auto byte = static_cast<unsigned char>(raw[static_cast<std::size_t>(i)]);
    if (!inString) {
      inString = byte == '"';
      out.push_back(static_cast<char>(byte));
      ++i;
    } else if (byte < 0x20) {
      // A raw control byte: escape it (after a backslash it would form no valid escape either).
      if (escaped) {
        out.push_back('\\');
        escaped = false;
      }
      out.append("\\u00");
      out.push_back(hex[byte >> 4]);
      out.push_back(hex[byte & 0xF]);
      ++i;
    } else if (byte >= 0x80) {
      if (escaped) {
        out.push_back('\\');
        escaped = false;
      }
      UChar32 c = 0;
      copyCodePoint(raw, i, out, c);
    } else {
      if (escaped) {
        escaped = false;
      } else if (byte == '\\') {
        escaped = true;
      } else if (byte == '"') {
        inString = false;
      }
      out.push_back(static_cast<char>(byte));
      ++i;
    }
  }
  return out;
}

std::string cleanText(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  std::int32_t i = 0;
  const auto size = static_cast<std::int32_t>(text.size());
  while (i < size) {
    UChar32 c = 0;
    std::string piece;
    copyCodePoint(text, i, piece, c);
    if (c >= 0 && u_charType(c) == U_CONTROL_CHAR && !u_isUWhiteSpace(c)) {
      continue;
    }
    valid.append(piece);
  }
  // Trim white space (Unicode White_Space, which includes the line breaks) from both ends.
  std::size_t begin = 0;
  std::int32_t j = 0;
  const auto validSize = static_cast<std::int32_t>(valid.size());
  while (j < validSize) {
    UChar32 c = 0;
    const std::int32_t start = j;
    U8_NEXT(reinterpret_cast<const std::uint8_t*>(valid.data()), j, validSize, c);
    if (c < 0 || !u_isUWhiteSpace(c)) {
      begin = static_cast<std::size_t>(start);
      break;
    }
    begin = static_cast<std::size_t>(j);
  }
  std::int32_t end = validSize;
  while (end > static_cast<std::int32_t>(begin)) {
    UChar32 c = 0;
    std::int32_t k = end;
    U8_PREV(reinterpret_cast<const std::uint8_t*>(valid.data()), 0, k, c);
    if (c < 0 || !u_isUWhiteSpace(c)) {
      break;
    }
    end = k;
  }
  return valid.substr(begin, static_cast<std::size_t>(end) - begin);
}

std::vector<TranscriptEntry> parse(std::string_view fileContent, std::int64_t index,
                                   std::uint64_t chunkBytes) {
  const nlohmann::json document = nlohmann::json::parse(repair(fileContent));
  const auto unreadable = [] { return NativeError::message(messages::whisperResultUnreadable); };
  if (!document.is_object()) {
    throw unreadable();
  }
  const auto transcription = document.find("transcription");
  if (transcription == document.end() || !transcription->is_array()) {
    throw unreadable();
  }
  for (const auto& segment : *transcription) {
    if (!segment.is_object()) {
      throw unreadable();
    }
  }

  const std::int64_t base = saturatingMultiply(index, chunks::chunkMilliseconds);
  const auto chunkLength = static_cast<std::int64_t>(
      std::min<std::uint64_t>(chunkBytes / static_cast<std::uint64_t>(chunks::bytesPerMillisecond),
                              std::numeric_limits<std::int64_t>::max()));
  std::vector<TranscriptEntry> entries;
  std::int64_t position = 0;
  for (const auto& segment : *transcription) {
    const std::int64_t i = position++;
    const auto textMember = segment.find("text");
    std::string text;
    if (textMember != segment.end() && textMember->is_string()) {
      text = cleanText(textMember->get_ref<const std::string&>());
    }
    if (text.empty()) {
      continue;
    }
    const Offsets offsets = readOffsets(segment);
    TranscriptEntry entry;
    entry.id = std::to_string(index) + "-" + std::to_string(i);
    entry.sequence = saturatingAdd(saturatingMultiply(index, sequencePerChunk), i);
    entry.text = std::move(text);
    entry.startTimeMs = saturatingAdd(base, offsets.from.value_or(0));
    entry.endTimeMs = saturatingAdd(base, offsets.to.value_or(chunkLength));
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace sayloom::whisper_output
