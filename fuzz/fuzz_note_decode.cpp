// Feeds arbitrary bytes through the path a "note.json" takes when notes are listed: strict decoding
// of the text into a NativeNote. Any outcome but a clean result or an exception is a bug;
// a decoded note must also survive being written and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <nlohmann/json.hpp>
#include <string_view>

#include "core/native_note.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The decoder of the text (used when listing) never accepts what the tree's decoder refuses, and
  // agrees with it on what both accept. It may refuse more: a bad value of a repeated key, which
  // the tree drops unseen.
  sayloom::NativeNote note;
  bool readable = true;
  try {
    note = nlohmann::json::parse(bytes).get<sayloom::NativeNote>();
  } catch (const std::exception&) {
    readable = false;
  }
  try {
    const sayloom::NativeNote fromText = sayloom::decodeNote(bytes);
    if (!readable || !(fromText == note)) {
      std::abort();
    }
  } catch (const std::exception&) {
  }
  if (!readable) {
    return 0;
  }
  const nlohmann::json written = note;
  const std::string text = written.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  const auto again = nlohmann::json::parse(text).get<sayloom::NativeNote>();
  if (!(again == note)) {
    std::abort();
  }
  return 0;
}
