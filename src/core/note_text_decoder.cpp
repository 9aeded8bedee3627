// decodeNote: a "note.json" text read straight into a NativeNote by nlohmann's event (SAX) parser,
// without building the document tree first. Listing a thousand notes spends most of its time here;
// the tree (a map per transcript entry) cost more than the parse itself. The rules are those of
// from_json(json, NativeNote): every required key present with its JSON type, optional keys absent
// or null, 64-bit integers only where integers are stored, unknown keys ignored, the last of
// repeated keys winning. One rule is stricter: every value of a repeated key must be valid, where
// the tree drops the earlier ones unseen.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "core/json_fields.h"
#include "core/native_note.h"

namespace sayloom {

namespace {

using json::JsonFieldError;

[[noreturn]] void wrongType(const std::string& key, const char* expected) {
  throw JsonFieldError("key '" + key + "' is not " + expected);
}

// One scalar of the text, as the parser delivers it.
struct Scalar {
  enum class Kind { null, boolean, integer, unsignedInteger, floating, string } kind = Kind::null;
  bool boolean = false;
  std::int64_t integer = 0;
  std::uint64_t unsignedInteger = 0;
  double floating = 0;
  std::string* string = nullptr;  // the parser's own buffer, which may be moved from
};

std::string takeString(const Scalar& value, const std::string& key) {
  if (value.kind != Scalar::Kind::string) {
    wrongType(key, "a string");
  }
  return std::move(*value.string);
}

std::int64_t toInt64(const Scalar& value, const std::string& key) {
  if (value.kind == Scalar::Kind::integer) {
    return value.integer;
  }
  if (value.kind == Scalar::Kind::unsignedInteger) {
    if (value.unsignedInteger > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      wrongType(key, "a 64-bit integer");
    }
    return static_cast<std::int64_t>(value.unsignedInteger);
  }
  wrongType(key, "an integer");
}

double toDouble(const Scalar& value, const std::string& key) {
  switch (value.kind) {
    case Scalar::Kind::integer:
      return static_cast<double>(value.integer);
    case Scalar::Kind::unsignedInteger:
      return static_cast<double>(value.unsignedInteger);
    case Scalar::Kind::floating:
      return value.floating;
    case Scalar::Kind::null:
    case Scalar::Kind::boolean:
    case Scalar::Kind::string:
      break;
  }
  wrongType(key, "a number");
}

bool toBool(const Scalar& value, const std::string& key) {
  if (value.kind != Scalar::Kind::boolean) {
    wrongType(key, "a boolean");
  }
  return value.boolean;
}

// The keys an object must hold, as bits; `missing` names the first one absent.
struct RequiredKeys {
  std::uint32_t seen = 0;

  void mark(int bit) { seen |= 1U << bit; }
  template <std::size_t N>
  void check(const char* const (&names)[N]) const {
    for (std::size_t i = 0; i < N; ++i) {
      if ((seen & (1U << i)) == 0) {
        throw JsonFieldError(std::string("missing key '") + names[i] + "'");
      }
    }
  }
};

// Required keys of each object, in the order of their bits.
constexpr const char* noteKeys[] = {"id",
                                    "title",
                                    "createdAt",
                                    "language",
                                    "source",
                                    "durationSeconds",
                                    "completed",
                                    "segments",
                                    "cloudBilledSeconds",
                                    "cloudBilledLanguages",
                                    "cloudCreditsExhausted"};
constexpr const char* entryKeys[] = {"id", "sequence", "text", "startTimeMs", "endTimeMs", "translation"};
constexpr const char* chargeKeys[] = {"startSeconds", "seconds", "languageCount"};

template <std::size_t N>
int bitOf(const char* const (&names)[N], std::string_view key) {
  for (std::size_t i = 0; i < N; ++i) {
    if (key == names[i]) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// The event handler. Where it stands is one of a few places (the note, its segments array, one
// entry, the pending charge); a value under a key it does not know is skipped whole, however deep.
class NoteEvents {
public:
  explicit NoteEvents(NativeNote& note) : m_note(note) {}

  bool null() { return scalar(Scalar{}); }
  bool boolean(bool value) { return scalar(Scalar{.kind = Scalar::Kind::boolean, .boolean = value}); }
  bool number_integer(std::int64_t value) {
    return scalar(Scalar{.kind = Scalar::Kind::integer, .integer = value});
  }
  bool number_unsigned(std::uint64_t value) {
    return scalar(Scalar{.kind = Scalar::Kind::unsignedInteger, .unsignedInteger = value});
  }
  bool number_float(double value, const std::string&) {
    return scalar(Scalar{.kind = Scalar::Kind::floating, .floating = value});
  }
  bool string(std::string& value) { return scalar(Scalar{.kind = Scalar::Kind::string, .string = &value}); }
  bool binary(nlohmann::json::binary_t&) { return scalar(Scalar{}); }

  bool key(std::string& name) {
    if (m_skipDepth == 0) {
      m_key = std::move(name);
    }
    return true;
  }

  bool start_object(std::size_t) {
    if (m_skipDepth > 0 || startsSkippedValue()) {
      ++m_skipDepth;
      return true;
    }
    switch (m_place) {
      case Place::outside:
        m_place = Place::note;
        break;
      case Place::note:
        if (m_key != "cloudPendingCharge") {
          wrongType(m_key, noteContainerType(m_key));
        }
        m_charge = {};
        m_chargeKeys = {};
        m_place = Place::charge;
        break;
      case Place::segments:
        m_note.segments.emplace_back();
        m_entryKeys = {};
        m_place = Place::entry;
        break;
      case Place::entry:
      case Place::charge:
        wrongType(m_key, m_place == Place::entry ? entryType(m_key) : "an integer");
      case Place::done:
        break;
    }
    return true;
  }

  bool end_object() {
    if (m_skipDepth > 0) {
      --m_skipDepth;
      return true;
    }
    switch (m_place) {
      case Place::note:
        m_noteKeys.check(noteKeys);
        m_place = Place::done;
        break;
      case Place::entry:
        m_entryKeys.check(entryKeys);
        m_place = Place::segments;
        break;
      case Place::charge:
        m_chargeKeys.check(chargeKeys);
        m_note.cloudPendingCharge = m_charge;
        m_place = Place::note;
        break;
      case Place::outside:
      case Place::segments:
      case Place::done:
        break;
    }
    return true;
  }

  bool start_array(std::size_t) {
    if (m_skipDepth > 0 || startsSkippedValue()) {
      ++m_skipDepth;
      return true;
    }
    switch (m_place) {
      case Place::note:
        if (m_key != "segments") {
          wrongType(m_key, noteContainerType(m_key));
        }
        m_note.segments.clear();
        m_noteKeys.mark(bitOf(noteKeys, "segments"));
        m_place = Place::segments;
        break;
      case Place::outside:
        throw JsonFieldError("expected an object holding 'id'");
      case Place::segments:
        throw JsonFieldError("expected an object holding 'id'");
      case Place::entry:
        wrongType(m_key, entryType(m_key));
      case Place::charge:
        wrongType(m_key, "an integer");
      case Place::done:
        break;
    }
    return true;
  }

  bool end_array() {
    if (m_skipDepth > 0) {
      --m_skipDepth;
    } else if (m_place == Place::segments) {
      m_place = Place::note;
    }
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& error) {
    throw JsonFieldError(error.what());
  }

private:
  enum class Place { outside, note, segments, entry, charge, done };

  // True when the value about to start sits under a key this decoder does not read.
  bool startsSkippedValue() const {
    switch (m_place) {
      case Place::note:
        return bitOf(noteKeys, m_key) < 0 && !isOptionalNoteKey(m_key);
      case Place::entry:
        return bitOf(entryKeys, m_key) < 0;
      case Place::charge:
        return bitOf(chargeKeys, m_key) < 0;
      case Place::outside:
      case Place::segments:
      case Place::done:
        return false;
    }
    return false;
  }

  static bool isOptionalNoteKey(std::string_view key) {
    return key == "workspaceId" || key == "cloudNoteId" || key == "cloudOwnerId" ||
           key == "translationLanguage" || key == "cloudPendingCharge" ||
           key == "cloudTranslationStoppedAtSeconds" || key == "cloudSyncPending";
  }

  // What the note's key `key` holds, for the message when an object or array stands there instead.
  static const char* noteContainerType(const std::string& key) {
    if (key == "durationSeconds") {
      return "a number";
    }
    if (key == "completed" || key == "cloudCreditsExhausted" || key == "cloudSyncPending") {
      return "a boolean";
    }
    if (key == "cloudBilledSeconds" || key == "cloudBilledLanguages" ||
        key == "cloudTranslationStoppedAtSeconds") {
      return "an integer";
    }
    if (key == "segments") {
      return "an array";
    }
    return key == "cloudPendingCharge" ? "an object" : "a string";
  }

  static const char* entryType(const std::string& key) {
    return key == "id" || key == "text" || key == "translation" ? "a string" : "an integer";
  }

  bool scalar(const Scalar& value) {
    if (m_skipDepth > 0) {
      return true;
    }
    switch (m_place) {
      case Place::outside:
        throw JsonFieldError("expected an object holding 'id'");
      case Place::note:
        noteField(value);
        break;
      case Place::segments:
        throw JsonFieldError("expected an object holding 'id'");
      case Place::entry:
        entryField(value);
        break;
      case Place::charge:
        chargeField(value);
        break;
      case Place::done:
        break;
    }
    return true;
  }

  void noteField(const Scalar& value) {
    const int bit = bitOf(noteKeys, m_key);
    if (bit < 0) {
      optionalNoteField(value);
      return;
    }
    m_noteKeys.mark(bit);
    switch (bit) {
      case 0:
        m_note.id = takeString(value, m_key);
        break;
      case 1:
        m_note.title = takeString(value, m_key);
        break;
      case 2: {
        const std::string text = takeString(value, m_key);
        const auto createdAt = parseIsoDate(text);
        if (!createdAt) {
          throw JsonFieldError("key 'createdAt' is not an ISO 8601 date with whole seconds: " + text);
        }
        m_note.createdAt = *createdAt;
        break;
      }
      case 3:
        m_note.language = takeString(value, m_key);
        break;
      case 4:
        m_note.source = takeString(value, m_key);
        break;
      case 5:
        m_note.durationSeconds = toDouble(value, m_key);
        break;
      case 6:
        m_note.completed = toBool(value, m_key);
        break;
      case 7:
        wrongType(m_key, "an array");
      case 8:
        m_note.cloudBilledSeconds = toInt64(value, m_key);
        break;
      case 9:
        m_note.cloudBilledLanguages = toInt64(value, m_key);
        break;
      default:
        m_note.cloudCreditsExhausted = toBool(value, m_key);
        break;
    }
  }

  void optionalNoteField(const Scalar& value) {
    const bool absent = value.kind == Scalar::Kind::null;
    const auto optionalString = [&](std::optional<std::string>& field) {
      field = absent ? std::nullopt : std::optional<std::string>(takeString(value, m_key));
    };
    if (m_key == "workspaceId") {
      optionalString(m_note.workspaceId);
    } else if (m_key == "cloudNoteId") {
      optionalString(m_note.cloudNoteId);
    } else if (m_key == "cloudOwnerId") {
      optionalString(m_note.cloudOwnerId);
    } else if (m_key == "translationLanguage") {
      optionalString(m_note.translationLanguage);
    } else if (m_key == "cloudTranslationStoppedAtSeconds") {
      m_note.cloudTranslationStoppedAtSeconds =
          absent ? std::nullopt : std::optional<std::int64_t>(toInt64(value, m_key));
    } else if (m_key == "cloudSyncPending") {
      m_note.cloudSyncPending = absent ? std::nullopt : std::optional<bool>(toBool(value, m_key));
    } else if (m_key == "cloudPendingCharge") {
      if (!absent) {
        wrongType(m_key, "an object");
      }
      m_note.cloudPendingCharge.reset();
    }
  }

  void entryField(const Scalar& value) {
    const int bit = bitOf(entryKeys, m_key);
    if (bit < 0) {
      return;
    }
    m_entryKeys.mark(bit);
    TranscriptEntry& entry = m_note.segments.back();
    switch (bit) {
      case 0:
        entry.id = takeString(value, m_key);
        break;
      case 1:
        entry.sequence = toInt64(value, m_key);
        break;
      case 2:
        entry.text = takeString(value, m_key);
        break;
      case 3:
        entry.startTimeMs = toInt64(value, m_key);
        break;
      case 4:
        entry.endTimeMs = toInt64(value, m_key);
        break;
      default:
        entry.translation = takeString(value, m_key);
        break;
    }
  }

  void chargeField(const Scalar& value) {
    const int bit = bitOf(chargeKeys, m_key);
    if (bit < 0) {
      return;
    }
    m_chargeKeys.mark(bit);
    const std::int64_t number = toInt64(value, m_key);
    (bit == 0 ? m_charge.startSeconds : bit == 1 ? m_charge.seconds : m_charge.languageCount) = number;
  }

  NativeNote& m_note;
  Place m_place = Place::outside;
  std::string m_key;
  std::size_t m_skipDepth = 0;  // > 0 inside a value that is being skipped
  RequiredKeys m_noteKeys;
  RequiredKeys m_entryKeys;
  RequiredKeys m_chargeKeys;
  ChargeSlice m_charge;
};

}  // namespace

NativeNote decodeNote(std::string_view text) {
  NativeNote note;
  // Everything a document may leave out starts empty, as from_json leaves it.
  note.segments.clear();
  note.workspaceId.reset();
  note.cloudNoteId.reset();
  note.cloudOwnerId.reset();
  note.translationLanguage.reset();
  note.cloudPendingCharge.reset();
  note.cloudTranslationStoppedAtSeconds.reset();
  note.cloudSyncPending.reset();
  NoteEvents events(note);
  nlohmann::json::sax_parse(text, &events);
  return note;
}

}  // namespace sayloom
