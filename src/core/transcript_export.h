#pragma once
// The plain-text forms of a note: the hours-minutes-seconds formatter shown beside every entry and
// in the studio window, and the text of the transcript export. Pure functions; any thread.
#include <string>

#include "core/native_note.h"

namespace sayloom {

// "%02d:%02d:%02d" of hours, minutes and seconds; hours take more digits past 99. The fraction of
// a second is dropped (3,725.9 gives "01:02:05"). Negative values, NaN and infinities give
// "00:00:00"; values beyond the 64-bit range are held at its largest whole second.
std::string duration(double seconds);

// The note's title, two line breaks, then one block per entry separated by two line breaks:
// "[" duration(startTimeMs / 1000) "] " text, and a second line with the translation when it is
// not empty. No line break after the last block. UTF-8 without byte-order mark.
std::string transcriptText(const NativeNote& note);

}  // namespace sayloom
