#include "core/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::EnforcePermissions;
using test::TempDir;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(AtomicFileTest, WritesPrettyJsonWithSortedKeysCreatingParentFolders) {
  TempDir dir;
  const fs::path target = dir / "a" / "b" / "file.json";
  AtomicFile::write(
      nlohmann::json::parse(R"({"zeta": 1, "alpha": {"c": [1, "/"], "b": null}, "mid": "한글"})"), target);
  EXPECT_EQ(AtomicFile::readBytes(target),
            "{\n"
            "  \"alpha\": {\n"
            "    \"b\": null,\n"
            "    \"c\": [\n"
            "      1,\n"
            "      \"/\"\n"
            "    ]\n"
            "  },\n"
            "  \"mid\": \"한글\",\n"
            "  \"zeta\": 1\n"
            "}\n");
  EXPECT_THAT(namesIn(target.parent_path()), ElementsAre("file.json")) << "no temporary file is left";
  EXPECT_EQ(AtomicFile::read(target)["mid"], "한글");
}

TEST(AtomicFileTest, ReplacesTheWholeFileAndKeepsBytesExactly) {
  TempDir dir;
  const fs::path target = dir / "data.bin";
  const std::string bytes("\0\x01\xff binary\n", 11);
  AtomicFile::writeBytes(std::string(100000, 'x'), target);
  AtomicFile::writeBytes(bytes, target);
  EXPECT_EQ(AtomicFile::readBytes(target), bytes);
  AtomicFile::writeBytes("", target);
  EXPECT_EQ(AtomicFile::readBytes(target), "");
  EXPECT_THAT(namesIn(dir.path()), ElementsAre("data.bin"));
}

TEST(AtomicFileTest, BrokenUtf8IsWrittenAsReplacementCharacters) {
  TempDir dir;
  AtomicFile::write(nlohmann::json{{"text", std::string("a\xff"
                                                        "b")}},
                    dir / "f.json");
  EXPECT_EQ(AtomicFile::read(dir / "f.json")["text"],
            "a\xEF\xBF\xBD"
            "b");
}

// Every failure passes on the file system's error and leaves the previous file and the folder as
// they were.
TEST(AtomicFileTest, FailedWriteLeavesThePreviousFileAndNoTemporary) {
  {
    SCOPED_TRACE("read-only folder");
    TempDir dir;
    AtomicFile::writeBytes("old", dir / "f.json");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    {
      EnforcePermissions enforce;
      EXPECT_THROW(AtomicFile::write(nlohmann::json{{"new", 1}}, dir / "f.json"), fs::filesystem_error);
    }
    EXPECT_EQ(AtomicFile::readBytes(dir / "f.json"), "old");
    EXPECT_THAT(namesIn(dir.path()), ElementsAre("f.json"));
  }
  {
    SCOPED_TRACE("target is a folder");
    TempDir dir;
    AtomicFile::writeBytes("inside", dir / "f.json" / "kept");
    EXPECT_THROW(AtomicFile::writeBytes("new", dir / "f.json"), fs::filesystem_error);
    EXPECT_EQ(AtomicFile::readBytes(dir / "f.json" / "kept"), "inside");
    EXPECT_THAT(namesIn(dir.path()), ElementsAre("f.json"));
  }
  {
    SCOPED_TRACE("a plain file where a parent folder should be");
    TempDir dir;
    AtomicFile::writeBytes("plain", dir / "parent");
    EXPECT_THROW(AtomicFile::writeBytes("new", dir / "parent" / "child" / "f.json"), fs::filesystem_error);
    EXPECT_EQ(AtomicFile::readBytes(dir / "parent"), "plain");
  }
}

TEST(AtomicFileTest, ReadPassesOnFileSystemAndDecoderErrors) {
  TempDir dir;
  EXPECT_THROW(AtomicFile::read(dir / "missing.json"), fs::filesystem_error);
  EXPECT_THROW(AtomicFile::readBytes(dir.path()), fs::filesystem_error);
  AtomicFile::writeBytes("{\"open\": ", dir / "broken.json");
  EXPECT_THROW(AtomicFile::read(dir / "broken.json"), nlohmann::json::parse_error);
  AtomicFile::writeBytes("secret", dir / "locked.json");
  fs::permissions(dir / "locked.json", fs::perms::none);
  EnforcePermissions enforce;
  EXPECT_THROW(AtomicFile::readBytes(dir / "locked.json"), fs::filesystem_error);
}

}  // namespace
}  // namespace sayloom
