#pragma once
// Hexadecimal digits. Stateless; any thread.

namespace sayloom::hex {

// The value of one hexadecimal digit (letters of either case), or -1 for any other character.
constexpr int digitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace sayloom::hex
