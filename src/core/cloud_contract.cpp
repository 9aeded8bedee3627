#include "core/cloud_contract.h"

#include <algorithm>

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
