#pragma once
// Random UUIDs in canonical text form, and UUID parsing. Stateless; any thread.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sayloom::uuid {

using Bytes = std::array<std::uint8_t, 16>;

// A new random (version 4) UUID: upper-case hexadecimal, 8-4-4-4-12 with hyphens.
std::string generate();

// Parses the 8-4-4-4-12 hyphenated hexadecimal form; letters of either case. Nothing else
// (no braces, no surrounding space, no "urn:uuid:" prefix) is accepted.
std::optional<Bytes> parse(std::string_view text);

inline bool isValid(std::string_view text) { return parse(text).has_value(); }

// The canonical upper-case text of 16 bytes.
std::string format(const Bytes& bytes);

}  // namespace sayloom::uuid
