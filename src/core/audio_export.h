#pragma once
// Writes a note's whole recording as one WAV file: the 44-byte header followed by every chunk file
// of its audio folder, unchanged, in index order. Synchronous and blocking (it reads and fsyncs the
// whole recording): callers run it off the main thread. Stateless; any thread.
#include <filesystem>
#include <vector>

#include "core/chunk_files.h"

namespace sayloom {

// Exports the "*.pcm" files of `audioFolder`, sorted by file name, to `destination`.
//
// The file is assembled beside the destination as "<destination>.<UUID>.tmp", synchronised to
// storage and then renamed over the destination, so an existing destination is replaced only by a
// complete export and is left as it was on any failure; the temporary file never survives.
//
// Throws NativeError(messages::audioTooLargeForWav) when there is no chunk file or their total is
// 0 or more than wave::maxPcmBytes; std::filesystem::filesystem_error with the platform's text when
// the folder cannot be listed or a file cannot be read, written, synchronised or renamed.
void exportAudio(const std::filesystem::path& audioFolder, const std::filesystem::path& destination);

// The same for chunk files already listed. A file whose size changed since it was listed is copied
// as it is now, and the header states what was really written.
void exportAudio(const std::vector<chunks::ChunkFile>& files, const std::filesystem::path& destination);

}  // namespace sayloom
