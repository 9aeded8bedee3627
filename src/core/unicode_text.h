#pragma once
// Text helpers that count and cut user-perceived characters (extended grapheme clusters) and trim
// and lower-case UTF-8 text by Unicode rules (ICU). Stateless; any thread. Ill-formed UTF-8 is read
// as U+FFFD where a character is needed and is never treated as white space.
#include <cstddef>
#include <string>
#include <string_view>

namespace sayloom::unicode {

// The number of extended grapheme clusters in `text`.
std::size_t characterCount(std::string_view text);

// The first `count` extended grapheme clusters of `text`, byte for byte.
std::string characterPrefix(std::string_view text, std::size_t count);

// Removes white space from both ends: the space separators (general category Zs) and tab, and with
// `lineBreaks` also U+000A–U+000D and U+0085.
std::string trimmed(std::string_view text, bool lineBreaks);

// Full Unicode lower-casing (root locale).
std::string lowercased(std::string_view text);

}  // namespace sayloom::unicode
