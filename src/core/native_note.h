#pragma once
// The local note, its transcript entries and its pending charge slice: plain values compared field
// by field, with their JSON forms (the content of "note.json" and of the per-chunk transcript
// files). Decoding is strict: a missing required key or a value of the wrong type throws
// json::JsonFieldError (or an ISO date error); no default is filled in.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/iso_date.h"

namespace sayloom {

struct TranscriptEntry {
  std::string id;
  std::int64_t sequence = 0;
  std::string text;
  std::int64_t startTimeMs = 0;
  std::int64_t endTimeMs = 0;
  std::string translation;

  bool operator==(const TranscriptEntry&) const = default;
};

// One span of recorded time charged once.
struct ChargeSlice {
  std::int64_t startSeconds = 0;
  std::int64_t seconds = 0;
  std::int64_t languageCount = 0;

  bool operator==(const ChargeSlice&) const = default;
};

struct NativeNote {
  // A new note: fresh upper-case UUID, the current time, title "새 음성 노트", language "ko",
  // source "microphone", nothing recorded, no cloud link.
  NativeNote();

  std::string id;
  std::string title;
  Timestamp createdAt;
  std::string language;
  std::string source;
  double durationSeconds = 0;
  bool completed = false;
  std::vector<TranscriptEntry> segments;
  std::optional<std::string> workspaceId;
  std::optional<std::string> cloudNoteId;
  std::optional<std::string> cloudOwnerId;
  std::optional<std::string> translationLanguage;
  std::int64_t cloudBilledSeconds = 0;
  std::int64_t cloudBilledLanguages = 0;
  std::optional<ChargeSlice> cloudPendingCharge;
  bool cloudCreditsExhausted = false;
  std::optional<std::int64_t> cloudTranslationStoppedAtSeconds;
  // A cloud sync of this note that the program's end cut short, to be run at the next start: absent
  // when none is owed, otherwise whether that sync translates. Stored only when present, so older
  // notes read as owing nothing.
  std::optional<bool> cloudSyncPending;

  bool operator==(const NativeNote&) const = default;

  // Billing: the slice to charge next (the pending one first), or none.
  std::optional<ChargeSlice> selectCharge(bool final) const;
  // Records the service's confirmation of `slice`; throws NativeError when it is not the pending one.
  void confirmCharge(const ChargeSlice& slice);
  // The body of the credit-consumption call for `slice`.
  nlohmann::json chargePayload(const ChargeSlice& slice) const;
};

inline constexpr const char* defaultNoteTitle = "새 음성 노트";

namespace transcript {
// Puts newly recognised `entries` into a transcript: entries of `segments` that share an id with
// one of them are replaced, the new ones are appended in their order, and everything is sorted by
// sequence, keeping the order of equal sequences.
void merge(std::vector<TranscriptEntry>& segments, const std::vector<TranscriptEntry>& entries);
}  // namespace transcript

void to_json(nlohmann::json& out, const TranscriptEntry& entry);
void from_json(const nlohmann::json& in, TranscriptEntry& entry);
void to_json(nlohmann::json& out, const ChargeSlice& slice);
void from_json(const nlohmann::json& in, ChargeSlice& slice);
void to_json(nlohmann::json& out, const NativeNote& note);
void from_json(const nlohmann::json& in, NativeNote& note);

// Decodes the text of a "note.json" by the rules of from_json without building the document tree
// first (the note list reads a thousand of them). Throws nlohmann's or JsonFieldError's exception
// (both std::exception) for text that is not JSON or not a note.
NativeNote decodeNote(std::string_view text);

}  // namespace sayloom
