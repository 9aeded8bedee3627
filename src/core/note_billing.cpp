// The billing operations of NativeNote: choosing the next charge slice, confirming it and the body
// of the credit-consumption call.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/cloud_contract.h"
#include "core/native_error.h"
#include "core/native_note.h"

namespace sayloom {

namespace {

// The longest slice one call charges: six hours. Longer backlogs take several calls.
constexpr std::int64_t maxSliceSeconds = 21'600;
constexpr std::int64_t minLiveSliceSeconds = 60;

// Whole recorded seconds, rounded down; 0 for negative, infinite or NaN durations.
std::int64_t wholeSeconds(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0) {
    return 0;
  }
  if (seconds >= 9223372036854775808.0) {
    return INT64_MAX;
  }
  return static_cast<std::int64_t>(std::floor(seconds));
}

std::int64_t saturatingSub(std::int64_t a, std::int64_t b) {
  std::int64_t result = 0;
  if (__builtin_sub_overflow(a, b, &result)) {
    return b < 0 ? INT64_MAX : INT64_MIN;
  }
  return result;
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t result = 0;
  if (__builtin_add_overflow(a, b, &result)) {
    return b < 0 ? INT64_MIN : INT64_MAX;
  }
  return result;
}

}  // namespace

std::optional<ChargeSlice> NativeNote::selectCharge(bool final) const {
  // A slice sent without a recorded confirmation is always sent again, unchanged, before anything new.
  if (cloudPendingCharge) {
    return cloudPendingCharge;
  }
  std::int64_t end = wholeSeconds(durationSeconds);
  if (cloudTranslationStoppedAtSeconds) {
    end = std::min(end, *cloudTranslationStoppedAtSeconds);  // nothing after the stop is charged
  }
  const std::int64_t unbilled = saturatingSub(end, cloudBilledSeconds);
  // Nothing new to charge; during a recording a slice is at least a minute long (only the final one
  // may be shorter).
  if (unbilled < 1 || (!final && unbilled < minLiveSliceSeconds)) {
    return std::nullopt;
  }
  const std::int64_t length = std::min(unbilled, maxSliceSeconds);
  return ChargeSlice{cloudBilledSeconds, length, std::clamp<std::int64_t>(cloudBilledLanguages, 1, 9)};
}

void NativeNote::confirmCharge(const ChargeSlice& slice) {
  if (!cloudPendingCharge || *cloudPendingCharge != slice) {
    throw NativeError::message(messages::chargeMismatch);
  }
  cloudBilledSeconds = saturatingAdd(slice.startSeconds, slice.seconds);
  cloudPendingCharge.reset();
}

nlohmann::json NativeNote::chargePayload(const ChargeSlice& slice) const {
  return nlohmann::json{
      {"workspaceId", workspaceId.value_or("")},
      {"noteId", cloudNoteId.value_or("")},
      {"seconds", slice.seconds},
      {"languageCount", slice.languageCount},
      {"dubbedLanguageCount", 0},
      {"reason", "recording"},
      // Depends only on the note and the slice start: a resent slice is charged once.
      {"idempotencyKey", "native-" + id + "-" + std::to_string(slice.startSeconds)},
  };
}

}  // namespace sayloom
