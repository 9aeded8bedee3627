#include "core/unicode_text.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace sayloom::unicode {

namespace {

// One character-boundary iterator per thread: creating one loads rule data, setting text is cheap.
icu::BreakIterator& characterIterator() {
  thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> made(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !made) {
      throw std::runtime_error(std::string("ICU character boundaries unavailable: ") + u_errorName(status));
    }
    return made;
  }();
  return *iterator;  // NOLINT(clang-analyzer-cplusplus.NewDelete): the analyzer loses track of the
                     // thread_local
}

// Runs `visit(end)` for the byte offset after each grapheme cluster until it returns false.
template <typename Visit>
void forEachCluster(std::string_view text, Visit visit) {
  if (text.empty()) {
    return;
  }
  UErrorCode status = U_ZERO_ERROR;
  UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
  if (U_FAILURE(status)) {
    utext_close(utext);
    throw std::runtime_error(std::string("ICU cannot read text: ") + u_errorName(status));
  }
  icu::BreakIterator& iterator = characterIterator();
  iterator.setText(utext, status);  // keeps a shallow clone; the bytes must outlive the loop
  utext_close(utext);
  if (U_FAILURE(status)) {
    throw std::runtime_error(std::string("ICU cannot read text: ") + u_errorName(status));
  }
  iterator.first();
  for (int32_t end = iterator.next(); end != icu::BreakIterator::DONE; end = iterator.next()) {
    if (!visit(static_cast<std::size_t>(end))) {
      break;
    }
  }
}

bool isTrimmed(UChar32 c, bool lineBreaks) {
  if (c == 0x09 || (c >= 0 && u_charType(c) == U_SPACE_SEPARATOR)) {
    return true;
  }
  return lineBreaks && ((c >= 0x0A && c <= 0x0D) || c == 0x85);
}

}  // namespace

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  forEachCluster(text, [&](std::size_t) {
    ++count;
    return true;
  });
  return count;
}

std::string characterPrefix(std::string_view text, std::size_t count) {
  if (count == 0) {
    return {};
  }
  std::size_t seen = 0;
  std::size_t cut = text.size();
  forEachCluster(text, [&](std::size_t end) {
    if (++seen == count) {
      cut = end;
      return false;
    }
    return true;
  });
  return std::string(text.substr(0, cut));
}

std::string trimmed(std::string_view text, bool lineBreaks) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t begin = 0;
  while (begin < length) {
    int32_t next = begin;
    UChar32 c = 0;
    U8_NEXT(bytes, next, length, c);
    if (!isTrimmed(c, lineBreaks)) {
      break;
    }
    begin = next;
  }
  int32_t end = length;
  while (end > begin) {
    int32_t previous = end;
    UChar32 c = 0;
    U8_PREV(bytes, begin, previous, c);
    if (!isTrimmed(c, lineBreaks)) {
      break;
    }
    end = previous;
  }
  return std::string(text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

std::string lowercased(std::string_view text) {
  icu::UnicodeString unicode =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  unicode.toLower(icu::Locale::getRoot());
  std::string out;
  unicode.toUTF8String(out);
  return out;
}

}  // namespace sayloom::unicode
