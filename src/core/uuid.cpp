#include "core/uuid.h"

#include <random>

#include "core/hex.h"

namespace sayloom::uuid {

namespace {

bool isHyphenPosition(std::size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }

}  // namespace

std::string generate() {
  thread_local std::mt19937_64 engine{[] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }()};
  Bytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); i += 8) {
    std::uint64_t word = engine();
    for (std::size_t k = 0; k < 8; ++k) {
      bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return format(bytes);
}

std::optional<Bytes> parse(std::string_view text) {
  if (text.size() != 36) {
    return std::nullopt;
  }
  Bytes bytes{};
  std::size_t nibble = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isHyphenPosition(i)) {
      if (text[i] != '-') {
        return std::nullopt;
      }
      continue;
    }
    int value = hex::digitValue(text[i]);
    if (value < 0) {
      return std::nullopt;
    }
    bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] | (nibble % 2 == 0 ? value << 4 : value));
    ++nibble;
  }
  return bytes;
}

std::string format(const Bytes& bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      text.push_back('-');
    }
    text.push_back(digits[bytes[i] >> 4]);
    text.push_back(digits[bytes[i] & 0x0F]);
  }
  return text;
}

}  // namespace sayloom::uuid
