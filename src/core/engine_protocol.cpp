// Encoding and decoding the resident engine's frames and request header.
#include "core/engine_protocol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

#include "core/native_error.h"

namespace sayloom::engine_protocol {

namespace {
constexpr std::size_t prefixBytes = 4;
constexpr std::size_t loopRun = 4;          // tokens in a repeated run
constexpr int loopRepeats = 3;              // repeats of one run that make a loop
constexpr double maxTokensPerSecond = 6.0;  // faster than anyone speaks
}  // namespace

std::string encodeHeader(const Request& request) {
  return nlohmann::json{{"language", request.language},
                        {"gpu", request.useGpu},
                        {"threads", request.threads},
                        {"audioContext", request.audioContext}}
      .dump();
}

Request decodeHeader(std::string_view json) {
  const nlohmann::json header = nlohmann::json::parse(json, nullptr, false);
  const auto has = [&header](const char* key, nlohmann::json::value_t type) {
    return header.contains(key) && header[key].type() == type;
  };
  if (!header.is_object() || !has("language", nlohmann::json::value_t::string) ||
      !has("gpu", nlohmann::json::value_t::boolean) || !header.contains("threads") ||
      !header["threads"].is_number_integer() || !header.contains("audioContext") ||
      !header["audioContext"].is_number_integer()) {
    throw NativeError::message("engine request header is malformed");
  }
  Request request;
  request.language = header["language"].get<std::string>();
  request.useGpu = header["gpu"].get<bool>();
  const auto threads = header["threads"].get<std::int64_t>();
  const auto context = header["audioContext"].get<std::int64_t>();
  if (request.language.empty() || request.language.size() > 8 || threads < 1 || threads > 64 || context < 0 ||
      context > 1500) {
    throw NativeError::message("engine request header is out of range");
  }
  request.threads = static_cast<int>(threads);
  request.audioContext = static_cast<int>(context);
  return request;
}

std::string frame(std::string_view payload) {
  if (payload.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("frame payload too long");
  }
  const auto size = static_cast<std::uint32_t>(payload.size());
  std::string out(prefixBytes, '\0');
  for (std::size_t i = 0; i < prefixBytes; ++i) {
    out[i] = static_cast<char>((size >> (8 * i)) & 0xFFU);
  }
  out.append(payload);
  return out;
}

std::optional<std::string> FrameReader::next(std::uint32_t limit) {
  if (m_buffer.size() < prefixBytes) {
    return std::nullopt;
  }
  std::uint32_t size = 0;
  for (std::size_t i = 0; i < prefixBytes; ++i) {
    size |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_buffer[i])) << (8 * i);
  }
  if (size > limit) {
    throw FrameTooLarge("frame of " + std::to_string(size) + " bytes exceeds " + std::to_string(limit));
  }
  if (m_buffer.size() < prefixBytes + size) {
    return std::nullopt;
  }
  std::string payload = m_buffer.substr(prefixBytes, size);
  m_buffer.erase(0, prefixBytes + size);
  return payload;
}

int audioContextFor(double seconds) {
  if (!(seconds > 0)) {
    return 256;
  }
  const double frames = std::ceil(50.0 * std::min(seconds, 30.0)) + 128.0;
  return static_cast<int>(std::clamp(frames, 256.0, 1500.0));
}

bool repeatsItself(std::span<const std::int32_t> tokens, double seconds) {
  if (seconds > 0 && static_cast<double>(tokens.size()) > maxTokensPerSecond * seconds) {
    return true;
  }
  if (tokens.size() < loopRun + loopRepeats - 1) {  // overlapping runs count: AAAAAA holds AAAA three times
    return false;
  }
  std::map<std::array<std::int32_t, loopRun>, int> seen;
  for (std::size_t i = 0; i + loopRun <= tokens.size(); ++i) {
    std::array<std::int32_t, loopRun> run{};
    std::copy_n(tokens.begin() + static_cast<std::ptrdiff_t>(i), loopRun, run.begin());
    if (++seen[run] >= loopRepeats) {
      return true;
    }
  }
  return false;
}

}  // namespace sayloom::engine_protocol
