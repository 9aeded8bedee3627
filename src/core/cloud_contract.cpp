#include "core/cloud_contract.h"

#include <algorithm>
#include <charconv>

#include "core/iso_date.h"

namespace sayloom::CloudContract {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

nlohmann::json nullValue() { return {{"nullValue", "NULL_VALUE"}}; }

// The span the database's timestamps (and the four-digit year of the text) can carry; an instant
// outside it is held at the nearer end, so encoding never produces an unreadable date.
std::string timestamp(Instant instant) {
  using namespace std::chrono;
  constexpr sys_seconds first = sys_days{year{1} / January / 1};
  constexpr sys_seconds last = sys_days{year{9999} / December / 31} + hours{23} + minutes{59} + seconds{59};
  const sys_seconds whole = floor<seconds>(std::clamp<Instant>(instant, first, last));
  return formatIsoDate(whole);
}

// "YYYY-MM-DDTHH:MM:SS[.fraction]Z" to the millisecond.
std::optional<Instant> parseTimestamp(const std::string& text) {
  constexpr std::size_t wholeLength = 19;  // up to the seconds
  if (text.size() < wholeLength + 1 || text.back() != 'Z') {
    return std::nullopt;
  }
  std::int64_t millis = 0;
  if (text.size() > wholeLength + 1) {
    const std::string_view fraction(text.data() + wholeLength + 1, text.size() - wholeLength - 2);
    if (text[wholeLength] != '.' || fraction.empty() ||
        !std::all_of(fraction.begin(), fraction.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    for (std::size_t i = 0; i < 3; ++i) {
      millis = millis * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    }
  }
  const auto whole = parseIsoDate(text.substr(0, wholeLength) + "Z");
  if (!whole) {
    return std::nullopt;
  }
  return Instant(*whole) + std::chrono::milliseconds(millis);
}

std::optional<std::int64_t> parseInteger(const std::string& digits) {
  std::int64_t number = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, number);
  if (error != std::errc() || stop != end || digits.empty()) {
    return std::nullopt;
  }
  return number;
}

Instant instant(std::chrono::system_clock::time_point time) {
  return std::chrono::floor<std::chrono::milliseconds>(time);
}

}  // namespace

std::chrono::system_clock::time_point systemNow() { return std::chrono::system_clock::now(); }

nlohmann::json value(const PlainValue& plain) {
  return std::visit(Overloaded{
                        [](std::nullptr_t) { return nullValue(); },
                        [](bool b) {
                          return nlohmann::json{{"booleanValue", b}};
                        },
                        [](std::int64_t i) {
                          return nlohmann::json{{"integerValue", std::to_string(i)}};
                        },
                        [](double) { return nullValue(); },  // floating-point numbers are never sent
                        [](const std::string& s) {
                          return nlohmann::json{{"stringValue", s}};
                        },
                        [](Instant t) {
                          return nlohmann::json{{"timestampValue", timestamp(t)}};
                        },
                        [](const PlainValue::Texts& texts) {
                          nlohmann::json values = nlohmann::json::array();
                          for (const std::string& text : texts) {
                            values.push_back({{"stringValue", text}});
                          }
                          return nlohmann::json{{"arrayValue", {{"values", std::move(values)}}}};
                        },
                        [](const PlainMap& map) {
                          return nlohmann::json{{"mapValue", {{"fields", fields(map)}}}};
                        },
                    },
                    plain.variant());
}

nlohmann::json fields(const PlainMap& map) {
  nlohmann::json out = nlohmann::json::object();
  for (const auto& [key, plain] : map) {
    out[key] = value(plain);
  }
  return out;
}

PlainValue plain(const nlohmann::json& typed) {
  if (!typed.is_object() || typed.size() != 1) {
    return nullptr;
  }
  const auto entry = typed.begin();
  const std::string& kind = entry.key();
  const nlohmann::json& content = entry.value();
  if (kind == "booleanValue" && content.is_boolean()) {
    return content.get<bool>();
  }
  if (kind == "integerValue" && content.is_string()) {
    if (const auto number = parseInteger(content.get_ref<const std::string&>())) {
      return *number;
    }
  } else if (kind == "doubleValue" && content.is_number()) {
    return content.get<double>();
  } else if (kind == "stringValue" && content.is_string()) {
    return content.get<std::string>();
  } else if (kind == "timestampValue" && content.is_string()) {
    if (const auto time = parseTimestamp(content.get_ref<const std::string&>())) {
      return *time;
    }
  } else if (kind == "arrayValue" && content.is_object()) {
    PlainValue::Texts texts;
    const auto values = content.find("values");
    if (values == content.end()) {
      return texts;
    }
    if (!values->is_array()) {
      return nullptr;
    }
    for (const nlohmann::json& element : *values) {
      const PlainValue text = plain(element);
      if (!std::holds_alternative<std::string>(text.variant())) {
        return nullptr;
      }
      texts.push_back(std::get<std::string>(text.variant()));
    }
    return texts;
  } else if (kind == "mapValue" && content.is_object()) {
    return plainFields(content);
  }
  return nullptr;
}

PlainMap plainFields(const nlohmann::json& document) {
  PlainMap map;
  if (!document.is_object()) {
    return map;
  }
  const auto fieldsMember = document.find("fields");
  if (fieldsMember == document.end() || !fieldsMember->is_object()) {
    return map;
  }
  for (const auto& [key, typed] : fieldsMember->items()) {
    map.emplace(key, plain(typed));
  }
  return map;
}

std::string string(const nlohmann::json& document, std::string_view key) {
  if (!document.is_object()) {
    return {};
  }
  const auto fieldsMember = document.find("fields");
  if (fieldsMember == document.end() || !fieldsMember->is_object()) {
    return {};
  }
  const auto field = fieldsMember->find(key);
  if (field == fieldsMember->end() || !field->is_object()) {
    return {};
  }
  const auto text = field->find("stringValue");
  if (text == field->end() || !text->is_string()) {
    return {};
  }
  return text->get<std::string>();
}

nlohmann::json noteFields(const NativeNote& note, std::string_view uid, std::string_view workspace,
                          std::string_view type, const Clock& clock) {
  const std::string user(uid);
  return fields({
      {"workspaceId", workspace},
      {"workspaceType", type},
      {"folderId", nullptr},
      {"ownerId", user},
      {"createdBy", user},
      {"updatedBy", user},
      {"title", note.title},
      {"mode", "meeting"},
      {"status", "draft"},
      {"visibility", "private"},
      {"collaborationMode", "view_only"},
      {"speakerDetection", "auto"},
      {"inputLanguages", PlainValue::Texts{note.language}},
      {"outputLanguage", note.translationLanguage.value_or(note.language)},
      {"realtimeTranslationEnabled", note.translationLanguage.has_value()},
      {"saveOriginalAudio", false},
      {"durationSeconds", 0},
      {"activeEditorCount", 0},
      {"summaryStatus", "not_requested"},
      {"accessMap", PlainMap{{user, "owner"}}},
      {"readerIds", PlainValue::Texts{user}},
      {"createdAt", note.createdAt},
      {"updatedAt", instant(clock())},
  });
}

nlohmann::json segmentFields(const TranscriptEntry& entry, const NativeNote& note, const Clock& clock) {
  using std::chrono::milliseconds;
  // Saturating, so that a corrupt start time cannot overflow the instant.
  std::int64_t created = 0;
  if (__builtin_add_overflow(Instant(note.createdAt).time_since_epoch().count(), entry.startTimeMs,
                             &created)) {
    created = entry.startTimeMs < 0 ? INT64_MIN : INT64_MAX;
  }
  return fields({
      {"noteId", note.cloudNoteId.value_or("")},
      {"sequence", entry.sequence},
      {"startTimeMs", entry.startTimeMs},
      {"endTimeMs", entry.endTimeMs},
      {"originalText", entry.text},
      {"translatedText", entry.translation},
      {"detectedLanguage", note.language},
      {"status", "final"},
      {"source", "live"},
      {"version", 1},
      {"isBookmarked", false},
      {"isImportant", false},
      {"createdAt", Instant(milliseconds(created))},
      {"updatedAt", instant(clock())},
  });
}

std::vector<std::optional<nlohmann::json>> queryFilters(std::string_view uid, std::string_view role) {
  if (role == "owner" || role == "admin") {
    return {std::nullopt};
  }
  auto filter = [](const char* field, const char* op, const PlainValue& operand) {
    return nlohmann::json{
        {"fieldFilter", {{"field", {{"fieldPath", field}}}, {"op", op}, {"value", value(operand)}}}};
  };
  std::vector<std::optional<nlohmann::json>> filters{filter("readerIds", "ARRAY_CONTAINS", uid)};
  if (role == "member") {
    filters.emplace_back(filter("visibility", "IN", PlainValue::Texts{"workspace", "members"}));
  }
  return filters;
}

}  // namespace sayloom::CloudContract
