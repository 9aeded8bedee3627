#include "core/native_note.h"

#include "core/json_fields.h"
#include "core/uuid.h"

namespace sayloom {

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

void from_json(const nlohmann::json& in, TranscriptEntry& entry) {
  entry.id = json::requiredString(in, "id");
  entry.sequence = json::requiredInt64(in, "sequence");
  entry.text = json::requiredString(in, "text");
  entry.startTimeMs = json::requiredInt64(in, "startTimeMs");
  entry.endTimeMs = json::requiredInt64(in, "endTimeMs");
  entry.translation = json::requiredString(in, "translation");
}

void to_json(nlohmann::json& out, const ChargeSlice& slice) {
  out = nlohmann::json{
      {"startSeconds", slice.startSeconds}, {"seconds", slice.seconds}, {"languageCount", slice.languageCount}};
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
                       {"durationSeconds", note.durationSeconds},
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
}

void from_json(const nlohmann::json& in, NativeNote& note) {
  note.id = json::requiredString(in, "id");
  note.title = json::requiredString(in, "title");
  const std::string created = json::requiredString(in, "createdAt");
  const auto createdAt = parseIsoDate(created);
  if (!createdAt) {
    throw json::JsonFieldError("key 'createdAt' is not an ISO 8601 date with whole seconds: " + created);
  }
  note.createdAt = *createdAt;
  note.language = json::requiredString(in, "language");
  note.source = json::requiredString(in, "source");
  note.durationSeconds = json::requiredDouble(in, "durationSeconds");
  note.completed = json::requiredBool(in, "completed");
  const auto& segments = json::requiredMember(in, "segments");
  if (!segments.is_array()) {
    throw json::JsonFieldError("key 'segments' is not an array");
  }
  note.segments.clear();
  note.segments.reserve(segments.size());
  for (const auto& segment : segments) {
    note.segments.push_back(segment.get<TranscriptEntry>());
  }
  note.cloudBilledSeconds = json::requiredInt64(in, "cloudBilledSeconds");
  note.cloudBilledLanguages = json::requiredInt64(in, "cloudBilledLanguages");
  note.cloudCreditsExhausted = json::requiredBool(in, "cloudCreditsExhausted");
  note.workspaceId = json::optionalString(in, "workspaceId");
  note.cloudNoteId = json::optionalString(in, "cloudNoteId");
  note.cloudOwnerId = json::optionalString(in, "cloudOwnerId");
  note.translationLanguage = json::optionalString(in, "translationLanguage");
  if (const auto* pending = json::optionalMember(in, "cloudPendingCharge")) {
    note.cloudPendingCharge = pending->get<ChargeSlice>();
  } else {
    note.cloudPendingCharge.reset();
  }
  note.cloudTranslationStoppedAtSeconds = json::optionalInt64(in, "cloudTranslationStoppedAtSeconds");
}

}  // namespace sayloom
