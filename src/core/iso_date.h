#pragma once
// Dates as stored in Sayloom's files: ISO 8601 internet date-time, UTC, whole seconds, "Z" suffix
// (2026-03-01T09:30:00Z). Stateless; any thread.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace sayloom {

using Timestamp = std::chrono::sys_seconds;

// The current time, without its fraction of a second.
Timestamp currentTimestamp();

// "YYYY-MM-DDTHH:MM:SSZ". Works in whole seconds, so every readable date (years 0000 to 9999)
// is written back unchanged, far beyond the range of the nanosecond system clock.
std::string formatIsoDate(Timestamp time);
// The same for a finer time point; its fraction of a second is dropped.
std::string formatIsoDate(std::chrono::system_clock::time_point time);

// Accepts exactly the form above (no fraction, no offset other than "Z", a real calendar date).
std::optional<Timestamp> parseIsoDate(std::string_view text);

}  // namespace sayloom
