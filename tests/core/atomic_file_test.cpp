#include "core/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/posix_file.h"
#include "support/file_bytes.h"
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

// A writer killed between creating its temporary file and renaming it leaves the file behind; the
// next start removes exactly such files, and none that a live writer still holds.
TEST(AtomicFileTest, RemovesOnlyTheTemporariesOfWritersThatDied) {
  TempDir dir;
  const std::string id = "0F8FAD5B-D9CB-469F-A165-70867728950E";
  // A real writer killed mid-write: the child creates the temporary and ends without unwinding.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    posix::NewFile killed(dir / (".note.json." + id + ".tmp"), 0600);
    killed.write("half a no");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(fs::exists(dir / (".note.json." + id + ".tmp")));

  posix::NewFile live(dir / (".layout.json.1B4E28BA-2FA1-11D2-883F-0016D3CCA427.tmp"), 0600);
  for (const std::string& name : {"ggml-base.bin." + id + ".download", "a.wav." + id + ".tmp"}) {
    test::writeFile(dir / name, "left by a killed writer");
  }
  const std::vector<std::string> kept = {"note.json", ".note.json.not-a-uuid.tmp", id + ".tmp",
                                         "x." + id + ".tmp.bak"};
  for (const std::string& name : kept) {
    test::writeFile(dir / name, "kept");
  }
  fs::create_directory(dir / ("folder." + id + ".tmp"));
  fs::create_symlink(dir / "note.json", dir / ("link." + id + ".tmp"));

  EXPECT_EQ(AtomicFile::removeAbandoned(dir.path()), 3U);
  std::vector<std::string> expected = kept;
  expected.insert(expected.end(), {".layout.json.1B4E28BA-2FA1-11D2-883F-0016D3CCA427.tmp",
                                   "folder." + id + ".tmp", "link." + id + ".tmp"});
  EXPECT_THAT(namesIn(dir.path()), ::testing::UnorderedElementsAreArray(expected));
  EXPECT_EQ(AtomicFile::removeAbandoned(dir / "missing"), 0U);
}

}  // namespace
}  // namespace sayloom
