#pragma once
// The one way Sayloom writes its files: the new content goes to a temporary file in the target's
// folder, is synchronised to storage, and is renamed over the target, so a reader sees either the
// old complete file or the new complete file. Stateless; any thread. Two writers of the same file
// are not coordinated beyond the rename (the last one wins).
//
// Errors: std::filesystem::filesystem_error / std::system_error with the platform's text for file
// system failures, nlohmann::json::exception for JSON that does not parse. A failed write leaves
// the previous file untouched and no temporary file behind.
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace sayloom::AtomicFile {

// Pretty-printed JSON with keys in sorted order (nlohmann's object map is ordered). Strings that
// are not valid UTF-8 are written with U+FFFD in place of the broken bytes, so encoding never fails.
void write(const nlohmann::json& value, const std::filesystem::path& target);
// The bytes `write` stores for `value`.
std::string encode(const nlohmann::json& value);

// Atomically replaces `target` with exactly `bytes`; creates missing parent folders.
void writeBytes(std::string_view bytes, const std::filesystem::path& target);

// What a read accepts. Only regular files are read; one larger than `maxBytes` fails with EFBIG
// before anything is read, and a link fails with ELOOP when `followLinks` is false. The default
// bound is far above any file this program writes and keeps a stray file of gigabytes from filling
// the memory.
struct ReadLimits {
  std::uintmax_t maxBytes = std::uintmax_t{64} << 20;
  bool followLinks = true;
};

// Reads and parses the whole file.
nlohmann::json read(const std::filesystem::path& source, ReadLimits limits = {});

// Reads the whole file as bytes. A FIFO, device or socket fails (EINVAL) without waiting on it.
std::string readBytes(const std::filesystem::path& source, ReadLimits limits = {});

// Removes the temporary files that writers of this program left in `folder` when they were killed
// before their rename: names ending in "." + UUID + ".tmp" (this writer's, and the WAV export's) or
// "." + UUID + ".download" (the model's staging file) whose writer holds no lock on them any more
// (see posix::NewFile). Files being written right now, links, folders and every other name are left
// alone. Never fails; returns how many files went.
std::size_t removeAbandoned(const std::filesystem::path& folder) noexcept;

}  // namespace sayloom::AtomicFile
