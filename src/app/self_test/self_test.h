#pragma once
// The headless self-test of the native pipeline ("sayloom --self-test"): the capture's conversion
// and chunking, the speech engine on a known recording, and an incomplete note surviving a save
// and a reload through the local store. It uses the application's real capture, recognition and
// store, and writes into the data directory (a scratch capture folder and one note, kept).
//
// Thread contract: main thread, with a running Qt application object.
#include <QCoro/QCoroTask>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound_file_reader.h"

namespace sayloom {

inline constexpr const char* selfTestPassedLine =
    "Native diagnostics passed (PCM, Whisper, journal recovery).";
inline constexpr const char* selfTestFailedPrefix = "Native diagnostics failed: ";

// Runs every check; throws the first failure. `arguments` are the command-line arguments after
// the program name.
QCoro::Task<void> runSelfTest(QStringList arguments);

// Runs the self-test and prints its result line: the pass line on standard output (status 0) or
// the failure line on standard error (status 1).
int selfTestMain(const QStringList& arguments);

// The fixture's samples as 16-bit little-endian PCM bytes (fixturePcm), read only once its format
// is known to be 16 kHz mono: any other file fails with NativeError "Fixture must be 16 kHz mono"
// before a frame is read. Throws platform::SoundFileError when the file cannot be read.
std::string readFixture(platform::SoundFileReader& fixture);

// Fixture samples as 16-bit little-endian PCM bytes: x × 32,767, held within -32,768 … 32,767,
// truncated toward zero. Throws NativeError for a sample that is not a finite number.
std::string fixturePcm(const std::vector<float>& samples);

}  // namespace sayloom
