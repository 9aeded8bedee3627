// The layout file is read at every start; any content must either fail with an exception (the
// reader then starts with no layouts) or give layouts that write and read back unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "core/mac_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sayloom::LayoutMap layouts;
  try {
    layouts = sayloom::LayoutFile::decode(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception&) {
    return 0;
  }
  nlohmann::json written = layouts;
  if (!(sayloom::LayoutFile::decode(written.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)) ==
        layouts)) {
    __builtin_trap();
  }
  return 0;
}
