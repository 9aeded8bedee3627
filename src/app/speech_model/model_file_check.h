#pragma once
// Whether a file is exactly the expected model: its size is compared first, and only a file of the
// right size is hashed (SHA-256, read in 1 MiB pieces). Blocking: call it off the main thread.
// Stateless; any thread.
#include <filesystem>
#include <functional>

#include "app/recognition/engine_config.h"

namespace sayloom {

inline constexpr std::size_t modelReadPieceBytes = 1'048'576;

// Throws std::filesystem::filesystem_error when the file cannot be opened or read. `progress`, when
// given, is called on the calling thread after each piece with the share of the file hashed so far.
bool modelFileMatches(const std::filesystem::path& file, const engine::ModelIdentity& identity,
                      const std::function<void(double fraction)>& progress = {});

}  // namespace sayloom
