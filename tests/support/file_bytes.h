#pragma once
// Whole-file reads and writes for tests and benchmarks (no error reporting: a test checks what it
// reads).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace sayloom::test {

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replaces the file with `bytes`, creating missing parent folders.
inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  if (path.has_parent_path()) {
    std::filesystem::create_directories(path.parent_path());
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace sayloom::test
