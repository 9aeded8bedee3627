#pragma once
// The network-free half of the cloud: the deployment configuration, the document database's
// typed-value encoding, the fields of the documents the desktop creates, and the workspace
// visibility filters. The note's billing operations (NativeNote::selectCharge, confirmCharge,
// chargePayload) follow the same contract. Stateless and deterministic apart from the clock that
// stamps `updatedAt`; any thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/cloud_config.h"
#include "core/native_note.h"

namespace sayloom {

namespace messages {
inline constexpr const char* chargeMismatch = "저장된 청구 구간과 응답이 다릅니다.";
}  // namespace messages

namespace CloudContract {

// Build-time configuration (see src/core/CMakeLists.txt).
using CloudConfig::firestoreEndpoint;  // + root + relative path
using CloudConfig::functionsEndpoint;  // + "/" + function name
using CloudConfig::functionsRegion;
using CloudConfig::identityToolkitEndpoint;  // + "/accounts:signInWithCustomToken" etc.
using CloudConfig::origin;                   // web application base address, no trailing slash
using CloudConfig::project;                  // cloud project identifier
using CloudConfig::root;                     // "projects/<project>/databases/(default)/documents"
using CloudConfig::secureTokenEndpoint;      // + "/token"
using CloudConfig::webApiKey;                // the `key` query parameter of the identity endpoints

using Instant = std::chrono::sys_time<std::chrono::milliseconds>;

// A plain value before encoding. Kinds without a typed form (floating-point numbers, null) are
// representable so that they encode as null, as every kind outside the table does.
class PlainValue {
public:
  using Texts = std::vector<std::string>;
  using Map = std::map<std::string, PlainValue>;
  using Variant = std::variant<std::nullptr_t, bool, std::int64_t, double, std::string, Instant, Texts, Map>;

  PlainValue() : m_value(nullptr) {}
  PlainValue(std::nullptr_t) : m_value(nullptr) {}
  PlainValue(bool value) : m_value(value) {}
  // Integers of any width; an unsigned value beyond the signed 64-bit range has no typed form.
  template <typename T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) PlainValue(T value) : m_value(nullptr) {
    if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(std::int64_t)) {
      if (value > static_cast<T>(INT64_MAX)) {
        return;
      }
    }
    m_value = static_cast<std::int64_t>(value);
  }
  PlainValue(double value) : m_value(value) {}
  PlainValue(const char* text) : m_value(std::string(text)) {}
  PlainValue(std::string_view text) : m_value(std::string(text)) {}
  PlainValue(std::string text) : m_value(std::move(text)) {}
  template <typename Duration>
  PlainValue(std::chrono::sys_time<Duration> time)
      : m_value(std::chrono::floor<std::chrono::milliseconds>(time)) {}
  PlainValue(Texts texts) : m_value(std::move(texts)) {}
  PlainValue(Map map) : m_value(std::move(map)) {}

  const Variant& variant() const noexcept { return m_value; }
  bool operator==(const PlainValue&) const = default;

private:
  Variant m_value;
};

using PlainMap = PlainValue::Map;

// Where `updatedAt` comes from; tests pass a fixed time.
using Clock = std::function<std::chrono::system_clock::time_point()>;
std::chrono::system_clock::time_point systemNow();

// One typed value: {"booleanValue": b}, {"integerValue": "42"}, {"stringValue": s},
// {"timestampValue": "2026-03-01T09:30:00Z"} (whole seconds, the fraction dropped),
// {"arrayValue": {"values": [...]}}, {"mapValue": {"fields": {...}}}; everything else
// {"nullValue": "NULL_VALUE"}. Never fails.
nlohmann::json value(const PlainValue& plain);

// `value` of every entry: the `fields` member of a document body.
nlohmann::json fields(const PlainMap& map);

// The plain value of one typed value: the inverse of `value` for every kind it produces, so a
// value sent and read back is equal to the original (timestamps to the millisecond; a fraction
// of the server's finer timestamps is cut there). "doubleValue" reads as a floating-point
// number; an array with an element that is not text, and any other shape, read as null. An
// "arrayValue" or "mapValue" without its "values" or "fields" is empty, as the database sends
// empty ones. Never fails.
PlainValue plain(const nlohmann::json& typed);

// `plain` of every entry of a fetched document's `fields` (none when it has no such object).
PlainMap plainFields(const nlohmann::json& document);

// fields.<key>.stringValue of a fetched document when all of it is there and is text; otherwise
// the empty text. Never fails, whatever the document holds.
std::string string(const nlohmann::json& document, std::string_view key);

// The typed fields of a new cloud note document for `note`, linked by `uid` into `workspace` of
// workspace type `type`.
nlohmann::json noteFields(const NativeNote& note, std::string_view uid, std::string_view workspace,
                          std::string_view type, const Clock& clock = systemNow);

// The typed fields of the cloud segment document of `entry`; `createdAt` is the note's creation
// time plus the entry's start.
nlohmann::json segmentFields(const TranscriptEntry& entry, const NativeNote& note,
                             const Clock& clock = systemNow);

// The filters under which a workspace member with `role` may list notes: nullopt stands for "no
// filter" (owners and admins see every note); otherwise the readers filter, and for "member" also
// the visibility filter, in that order.
std::vector<std::optional<nlohmann::json>> queryFilters(std::string_view uid, std::string_view role);

}  // namespace CloudContract

}  // namespace sayloom
