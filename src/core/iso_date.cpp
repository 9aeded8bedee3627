#include "core/iso_date.h"

#include <cstdio>

namespace sayloom {

namespace {

bool readDigits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

Timestamp currentTimestamp() {
  return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

std::string formatIsoDate(std::chrono::system_clock::time_point time) {
  return formatIsoDate(std::chrono::floor<std::chrono::seconds>(time));
}

std::string formatIsoDate(Timestamp seconds) {
  using namespace std::chrono;
  const auto day = floor<days>(seconds);
  const year_month_day date{day};
  const hh_mm_ss clock{seconds - day};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u%c%02ld:%02ld:%02ldZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), 'T',
                static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                static_cast<long>(clock.seconds().count()));
  return text;
}

std::optional<Timestamp> parseIsoDate(std::string_view text) {
  using namespace std::chrono;
  // 0123456789012345678 9
  // YYYY-MM-DDTHH:MM:SSZ
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  int y = 0;
  int mo = 0;
  int d = 0;
  int h = 0;
  int mi = 0;
  int s = 0;
  if (!readDigits(text, 0, 4, y) || !readDigits(text, 5, 2, mo) || !readDigits(text, 8, 2, d) ||
      !readDigits(text, 11, 2, h) || !readDigits(text, 14, 2, mi) || !readDigits(text, 17, 2, s)) {
    return std::nullopt;
  }
  const year_month_day date{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
  if (!date.ok() || h > 23 || mi > 59 || s > 59) {
    return std::nullopt;
  }
  return sys_days{date} + hours{h} + minutes{mi} + seconds{s};
}

}  // namespace sayloom
