#include "core/json_fields.h"

namespace sayloom::json {

namespace {

[[noreturn]] void wrongType(const char* key, const char* expected) {
  throw JsonFieldError(std::string("key '") + key + "' is not " + expected);
}

std::int64_t asInt64(const nlohmann::json& value, const char* key) {
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
      wrongType(key, "a 64-bit integer");
    }
    return value.get<std::int64_t>();
  }
  wrongType(key, "an integer");
}

}  // namespace

const nlohmann::json& requiredMember(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) {
    throw JsonFieldError(std::string("expected an object holding '") + key + "'");
  }
  auto it = object.find(key);
  if (it == object.end()) {
    throw JsonFieldError(std::string("missing key '") + key + "'");
  }
  return *it;
}

std::string requiredString(const nlohmann::json& object, const char* key) {
  const auto& value = requiredMember(object, key);
  if (!value.is_string()) {
    wrongType(key, "a string");
  }
  return value.get<std::string>();
}

std::int64_t requiredInt64(const nlohmann::json& object, const char* key) {
  return asInt64(requiredMember(object, key), key);
}

double requiredDouble(const nlohmann::json& object, const char* key) {
  const auto& value = requiredMember(object, key);
  if (!value.is_number()) {
    wrongType(key, "a number");
  }
  return value.get<double>();
}

bool requiredBool(const nlohmann::json& object, const char* key) {
  const auto& value = requiredMember(object, key);
  if (!value.is_boolean()) {
    wrongType(key, "a boolean");
  }
  return value.get<bool>();
}

const nlohmann::json* optionalMember(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) {
    throw JsonFieldError(std::string("expected an object holding '") + key + "'");
  }
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) {
    return nullptr;
  }
  return &*it;
}

std::optional<std::string> optionalString(const nlohmann::json& object, const char* key) {
  const auto* value = optionalMember(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_string()) {
    wrongType(key, "a string");
  }
  return value->get<std::string>();
}

std::optional<std::int64_t> optionalInt64(const nlohmann::json& object, const char* key) {
  const auto* value = optionalMember(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  return asInt64(*value, key);
}

std::optional<bool> optionalBool(const nlohmann::json& object, const char* key) {
  const auto* value = optionalMember(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_boolean()) {
    wrongType(key, "a boolean");
  }
  return value->get<bool>();
}

}  // namespace sayloom::json
