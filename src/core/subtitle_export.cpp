#include "core/subtitle_export.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "core/unicode_text.h"

namespace sayloom::subtitles {

namespace {

constexpr std::int64_t maxTime = std::numeric_limits<std::int64_t>::max();
// The latest start a cue can have and still last: later ones are held here.
constexpr std::int64_t maxStart = maxTime - fallbackCueMs;

// The non-blank lines of `text`, each trimmed; "\r\n", "\r" and "\n" all end a line.
void appendLines(std::string_view text, std::vector<std::string>& lines) {
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string line = unicode::trimmed(text.substr(0, end), true);
    if (!line.empty()) {
      lines.push_back(std::move(line));
    }
    if (end == std::string_view::npos) {
      break;
    }
    text.remove_prefix(end + 1);
  }
}

// How one subtitle format writes the cues; every difference between the formats is here.
struct Style {
  std::string_view header;  // before the first cue
  bool numbered;            // each cue starts with its number from 1
  char fractionSeparator;   // between the seconds and the milliseconds of a timestamp
  bool escapesMarkup;       // "&", "<" and ">" become character references
  const char* extension;
};

Style style(SubtitleFormat format) {
  switch (format) {
    case SubtitleFormat::srt:
      return {"", true, ',', false, "srt"};
    case SubtitleFormat::webVtt:
      return {"WEBVTT\n\n", false, '.', true, "vtt"};
  }
  throw std::invalid_argument("unknown subtitle format");
}

std::string escapedForMarkup(const std::string& line) {
  std::string out;
  out.reserve(line.size());
  for (const char c : line) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<SubtitleCue> cues(const std::vector<TranscriptEntry>& entries) {
  std::vector<SubtitleCue> made;
  made.reserve(entries.size());
  for (const TranscriptEntry& entry : entries) {
    SubtitleCue cue{std::clamp<std::int64_t>(entry.startTimeMs, 0, maxStart),
                    std::max<std::int64_t>(entry.endTimeMs, 0),
                    {}};
    appendLines(entry.text, cue.lines);
    if (cue.lines.empty()) {
      continue;  // a translation alone is not shown without its text
    }
    appendLines(entry.translation, cue.lines);
    made.push_back(std::move(cue));
  }
  std::stable_sort(made.begin(), made.end(),
                   [](const SubtitleCue& a, const SubtitleCue& b) { return a.startMs < b.startMs; });

  // Entries starting together become one cue that lasts as long as the longest of them.
  std::vector<SubtitleCue> merged;
  merged.reserve(made.size());
  for (SubtitleCue& cue : made) {
    if (!merged.empty() && merged.back().startMs == cue.startMs) {
      SubtitleCue& into = merged.back();
      into.endMs = std::max(into.endMs, cue.endMs);
      into.lines.insert(into.lines.end(), std::make_move_iterator(cue.lines.begin()),
                        std::make_move_iterator(cue.lines.end()));
    } else {
      merged.push_back(std::move(cue));
    }
  }

  for (std::size_t i = 0; i < merged.size(); ++i) {
    SubtitleCue& cue = merged[i];
    if (cue.endMs <= cue.startMs) {
      cue.endMs = cue.startMs + fallbackCueMs;
    }
    // Starts strictly increase after the merge, so the cut never reaches the cue's own start.
    if (i + 1 < merged.size()) {
      cue.endMs = std::min(cue.endMs, merged[i + 1].startMs);
    }
  }
  return merged;
}

std::string timestamp(std::int64_t milliseconds, SubtitleFormat format) {
  const std::int64_t ms = std::max<std::int64_t>(milliseconds, 0);
  const std::int64_t seconds = ms / 1000;
  char text[64];
  std::snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64 ":%02" PRId64 "%c%03" PRId64, seconds / 3600,
                (seconds / 60) % 60, seconds % 60, style(format).fractionSeparator, ms % 1000);
  return text;
}

std::string text(const std::vector<TranscriptEntry>& entries, SubtitleFormat format) {
  const Style written = style(format);
  std::string out(written.header);
  std::size_t number = 0;
  for (const SubtitleCue& cue : cues(entries)) {
    if (written.numbered) {
      out += std::to_string(++number);
      out += '\n';
    }
    out += timestamp(cue.startMs, format);
    out += " --> ";
    out += timestamp(cue.endMs, format);
    out += '\n';
    for (const std::string& line : cue.lines) {
      out += written.escapesMarkup ? escapedForMarkup(line) : line;
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

const char* extension(SubtitleFormat format) { return style(format).extension; }

}  // namespace sayloom::subtitles
