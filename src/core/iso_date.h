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

// "YYYY-MM-DDTHH:MM:SSZ"; the fraction of a second of finer time points is dropped.
std::string formatIsoDate(std::chrono::system_clock::time_point time);

// Accepts exactly the form above (no fraction, no offset other than "Z", a real calendar date).
std::optional<Timestamp> parseIsoDate(std::string_view text);

}  // namespace sayloom
