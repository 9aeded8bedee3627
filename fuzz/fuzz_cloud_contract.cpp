// Feeds arbitrary bytes through the cloud contract's readers and billing: a fetched document read
// with CloudContract::string (which must never fail), and a decoded note through selectCharge,
// confirmCharge, chargePayload and the document fields. Checks the billing invariants on whatever
// note the file describes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/cloud_contract.h"
#include "core/native_note.h"

namespace {

void readDocument(const nlohmann::json& document) {
  namespace cc = sayloom::CloudContract;
  (void)cc::string(document, "role");
  (void)cc::string(document, "");
  if (document.is_object()) {
    const auto fields = document.find("fields");
    if (fields != document.end() && fields->is_object()) {
      for (const auto& [key, field] : fields->items()) {
        const std::string text = cc::string(document, key);
        if (!text.empty() && !(field.is_object() && field.contains("stringValue"))) {
          std::abort();
        }
      }
    }
  }
}

void bill(sayloom::NativeNote note) {
  namespace cc = sayloom::CloudContract;
  const auto fixed = [] { return std::chrono::system_clock::time_point{}; };
  (void)cc::noteFields(note, "uid", "workspace", "team", fixed);
  for (const auto& entry : note.segments) {
    (void)cc::segmentFields(entry, note, fixed);
  }
  for (int round = 0; round < 4; ++round) {
    const auto slice = note.selectCharge(round % 2 == 1);
    if (!slice) {
      return;
    }
    if (note.cloudPendingCharge) {
      if (*slice != *note.cloudPendingCharge) {
        std::abort();  // a pending slice is always resent unchanged
      }
    } else if (slice->seconds < 1 || slice->seconds > 21'600 || slice->languageCount < 1 ||
               slice->languageCount > 9 || slice->startSeconds != note.cloudBilledSeconds) {
      std::abort();
    }
    (void)note.chargePayload(*slice).dump();
    note.cloudPendingCharge = slice;
    note.confirmCharge(*slice);  // the pending slice is always accepted
    if (note.cloudPendingCharge) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const nlohmann::json document = nlohmann::json::parse(bytes, nullptr, false);
  if (document.is_discarded()) {
    return 0;
  }
  readDocument(document);
  sayloom::NativeNote note;
  try {
    note = document.get<sayloom::NativeNote>();
  } catch (const std::exception&) {
    return 0;
  }
  bill(note);
  return 0;
}
