#pragma once
// Strict readers of JSON members for the stored records: a missing key or a value of the wrong
// JSON type throws JsonFieldError naming the key; nothing is defaulted.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

namespace sayloom::json {

class JsonFieldError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

const nlohmann::json& requiredMember(const nlohmann::json& object, const char* key);
std::string requiredString(const nlohmann::json& object, const char* key);
std::int64_t requiredInt64(const nlohmann::json& object, const char* key);
double requiredDouble(const nlohmann::json& object, const char* key);
bool requiredBool(const nlohmann::json& object, const char* key);

// Absent or null give nullopt; any other type than the expected one throws.
std::optional<std::string> optionalString(const nlohmann::json& object, const char* key);
std::optional<std::int64_t> optionalInt64(const nlohmann::json& object, const char* key);
std::optional<bool> optionalBool(const nlohmann::json& object, const char* key);
// The member when present and not null.
const nlohmann::json* optionalMember(const nlohmann::json& object, const char* key);

}  // namespace sayloom::json
