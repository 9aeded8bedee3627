#include "core/native_note.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "core/json_fields.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

// The rules of a stored note; decodeNote (note_text_decoder.cpp) reads the text by the same rules.
std::string stringField(const nlohmann::json& in, const char* key) { return json::requiredString(in, key); }
std::optional<std::string> optionalStringField(const nlohmann::json& in, const char* key) {
  return json::optionalString(in, key);
}

void readEntry(const nlohmann::json& in, TranscriptEntry& entry) {
  entry.id = stringField(in, "id");
  entry.sequence = json::requiredInt64(in, "sequence");
  entry.text = stringField(in, "text");
  entry.startTimeMs = json::requiredInt64(in, "startTimeMs");
  entry.endTimeMs = json::requiredInt64(in, "endTimeMs");
  entry.translation = stringField(in, "translation");
}

void readNote(const nlohmann::json& in, NativeNote& note) {
  note.id = stringField(in, "id");
  note.title = stringField(in, "title");
  const auto* created = json::requiredMember(in, "createdAt").get_ptr<const std::string*>();
  if (created == nullptr) {
    throw json::JsonFieldError("key 'createdAt' is not a string");
  }
  const auto createdAt = parseIsoDate(*created);
  if (!createdAt) {
    throw json::JsonFieldError("key 'createdAt' is not an ISO 8601 date with whole seconds: " + *created);
  }
  note.createdAt = *createdAt;
  note.language = stringField(in, "language");
  note.source = stringField(in, "source");
  note.durationSeconds = json::requiredDouble(in, "durationSeconds");
  note.completed = json::requiredBool(in, "completed");
  const auto& segments = json::requiredMember(in, "segments");
  if (!segments.is_array()) {
    throw json::JsonFieldError("key 'segments' is not an array");
  }
  note.segments.clear();
  note.segments.resize(segments.size());
  for (std::size_t i = 0; i < segments.size(); ++i) {
    readEntry(segments[i], note.segments[i]);
  }
  note.cloudBilledSeconds = json::requiredInt64(in, "cloudBilledSeconds");
  note.cloudBilledLanguages = json::requiredInt64(in, "cloudBilledLanguages");
  note.cloudCreditsExhausted = json::requiredBool(in, "cloudCreditsExhausted");
  note.workspaceId = optionalStringField(in, "workspaceId");
  note.cloudNoteId = optionalStringField(in, "cloudNoteId");
  note.cloudOwnerId = optionalStringField(in, "cloudOwnerId");
  note.translationLanguage = optionalStringField(in, "translationLanguage");
  if (const auto* pending = json::optionalMember(in, "cloudPendingCharge")) {
    note.cloudPendingCharge = pending->get<ChargeSlice>();
  } else {
    note.cloudPendingCharge.reset();
  }
  note.cloudTranslationStoppedAtSeconds = json::optionalInt64(in, "cloudTranslationStoppedAtSeconds");
  note.cloudSyncPending = json::optionalBool(in, "cloudSyncPending");
}

}  // namespace

NativeNote::NativeNote()
    : id(uuid::generate()),
      title(defaultNoteTitle),
      createdAt(currentTimestamp()),
      language("ko"),
      source("microphone") {}

void to_json(nlohmann::json& out, const TranscriptEntry& entry) {
  out = nlohmann::json{{"id", entry.id},
                       {"sequence", entry.sequence},
                       {"text", entry.text},
                       {"startTimeMs", entry.startTimeMs},
                       {"endTimeMs", entry.endTimeMs},
                       {"translation", entry.translation}};
}

void to_json(nlohmann::json& out, const ChargeSlice& slice) {
  out = nlohmann::json{{"startSeconds", slice.startSeconds},
                       {"seconds", slice.seconds},
                       {"languageCount", slice.languageCount}};
}

void from_json(const nlohmann::json& in, ChargeSlice& slice) {
  slice.startSeconds = json::requiredInt64(in, "startSeconds");
  slice.seconds = json::requiredInt64(in, "seconds");
  slice.languageCount = json::requiredInt64(in, "languageCount");
}

void to_json(nlohmann::json& out, const NativeNote& note) {
  out = nlohmann::json{{"id", note.id},
                       {"title", note.title},
                       {"createdAt", formatIsoDate(note.createdAt)},
                       {"language", note.language},
                       {"source", note.source},
                       // JSON has no NaN or infinity: such a value would be written as null and make the note
                       // unreadable, so it is stored as 0.
                       {"durationSeconds", std::isfinite(note.durationSeconds) ? note.durationSeconds : 0.0},
                       {"completed", note.completed},
                       {"segments", note.segments},
                       {"cloudBilledSeconds", note.cloudBilledSeconds},
                       {"cloudBilledLanguages", note.cloudBilledLanguages},
                       {"cloudCreditsExhausted", note.cloudCreditsExhausted}};
  auto putOptional = [&out](const char* key, const auto& value) {
    if (value) {
      out[key] = *value;
    }
  };
  putOptional("workspaceId", note.workspaceId);
  putOptional("cloudNoteId", note.cloudNoteId);
  putOptional("cloudOwnerId", note.cloudOwnerId);
  putOptional("translationLanguage", note.translationLanguage);
  putOptional("cloudPendingCharge", note.cloudPendingCharge);
  putOptional("cloudTranslationStoppedAtSeconds", note.cloudTranslationStoppedAtSeconds);
  putOptional("cloudSyncPending", note.cloudSyncPending);
}

void from_json(const nlohmann::json& in, TranscriptEntry& entry) { readEntry(in, entry); }

void from_json(const nlohmann::json& in, NativeNote& note) { readNote(in, note); }

void transcript::merge(std::vector<TranscriptEntry>& segments, const std::vector<TranscriptEntry>& entries) {
  std::unordered_set<std::string> ids;
  for (const TranscriptEntry& entry : entries) {
    ids.insert(entry.id);
  }
  std::erase_if(segments, [&](const TranscriptEntry& entry) { return ids.contains(entry.id); });
  segments.insert(segments.end(), entries.begin(), entries.end());
  std::stable_sort(segments.begin(), segments.end(), [](const TranscriptEntry& a, const TranscriptEntry& b) {
    return a.sequence < b.sequence;
  });
}

}  // namespace sayloom
