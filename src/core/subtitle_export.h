#pragma once
// A note's transcript as subtitles: SubRip (.srt) and WebVTT (.vtt) text built from the entries'
// start and end times. Pure functions; any thread. The output is UTF-8 without byte-order mark and
// with "\n" line ends.
//
// The entries are made into cues that every player accepts:
// - an entry whose text is empty (after trimming white space) is skipped; blank lines inside a
//   text are dropped, since a blank line ends a cue;
// - the translation, when not blank, is the cue's second line (or lines);
// - negative times count as 0, and a start is held early enough for its cue to last; cues are
//   ordered by start time (entries keep their order on equal starts), and entries that start at
//   the same moment share one cue;
// - an end at or before its start gets `fallbackCueMs` of display time, and an end past the next
//   cue's start is cut back to it, so cues never overlap and never run backwards.
#include <cstdint>
#include <string>
#include <vector>

#include "core/native_note.h"

namespace sayloom {

enum class SubtitleFormat { srt, webVtt };

struct SubtitleCue {
  std::int64_t startMs = 0;
  std::int64_t endMs = 0;
  std::vector<std::string> lines;  // never empty, no line is blank

  bool operator==(const SubtitleCue&) const = default;
};

namespace subtitles {

// Display time given to a cue whose entry ends at or before its start.
inline constexpr std::int64_t fallbackCueMs = 2'000;

// The cues of `entries`, repaired as described above.
std::vector<SubtitleCue> cues(const std::vector<TranscriptEntry>& entries);

// "HH:MM:SS,mmm" (SubRip) or "HH:MM:SS.mmm" (WebVTT); hours take more digits past 99 and negative
// times count as 0.
std::string timestamp(std::int64_t milliseconds, SubtitleFormat format);

// SubRip: for each cue its number from 1, "start --> end", its lines, and an empty line.
// WebVTT: "WEBVTT", an empty line, then for each cue "start --> end", its lines and an empty line;
// "&", "<" and ">" in the text are written as character references, so a text can neither open a
// tag nor read as a timing line.
std::string text(const std::vector<TranscriptEntry>& entries, SubtitleFormat format);

// "srt" or "vtt".
const char* extension(SubtitleFormat format);

}  // namespace subtitles

}  // namespace sayloom
