#include "core/data_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "core/atomic_file.h"
#include "core/local_note_store.h"
#include "core/preset_store.h"
#include "core/recording_lock.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

TEST(DataPathsTest, DataDirectoryVariableWinsWhenPresentEvenIfEmptyOrRelative) {
  ScopedEnv xdg("XDG_DATA_HOME", "/xdg/data");
  const fs::path cwd = fs::current_path();
  const std::pair<const char*, fs::path> cases[] = {
      {"/srv/sayloom data", "/srv/sayloom data"},
      {"relative/dir", cwd / "relative" / "dir"},
      {"", cwd},
  };
  for (const auto& [value, expected] : cases) {
    ScopedEnv data("SAYLOOM_DATA_DIR", value);
    EXPECT_EQ(DataPaths::root().lexically_normal(), expected.lexically_normal()) << "'" << value << "'";
    EXPECT_TRUE(DataPaths::root().is_absolute());
  }
}

TEST(DataPathsTest, WithoutTheVariableUsesTheUsersDataFolder) {
  ScopedEnv data("SAYLOOM_DATA_DIR", nullptr);
  ScopedEnv home("HOME", "/home/someone");
  const std::pair<const char*, fs::path> cases[] = {
      {"/xdg/data", "/xdg/data/Sayloom Native"},
      {nullptr, "/home/someone/.local/share/Sayloom Native"},
      {"", "/home/someone/.local/share/Sayloom Native"},
      {"relative/xdg", "/home/someone/.local/share/Sayloom Native"},  // relative XDG paths are invalid
  };
  for (const auto& [value, expected] : cases) {
    ScopedEnv xdg("XDG_DATA_HOME", value);
    EXPECT_EQ(DataPaths::root(), expected) << (value ? value : "(unset)");
  }
}

TEST(DataPathsTest, FolderLayoutUnderTheRoot) {
  const fs::path root = "/data";
  const std::string id = "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB";
  EXPECT_EQ(DataPaths::noteDirectory(id, root), fs::path("/data/Notes/" + id));
  EXPECT_EQ(DataPaths::audioDirectory(id, root), fs::path("/data/Notes/" + id + "/Audio"));
  EXPECT_EQ(DataPaths::modelFile(root), fs::path("/data/Models/ggml-base.bin"));
}

// The root is read afresh at every use, so a store made on it follows the variable.
TEST(DataPathsTest, NotesGoUnderTheDataDirectoryOfTheMoment) {
  TempDir first;
  TempDir second;
  NativeNote note;
  {
    ScopedEnv data("SAYLOOM_DATA_DIR", first.path().c_str());
    LocalNoteStore(DataPaths::root()).save(note);
  }
  {
    ScopedEnv data("SAYLOOM_DATA_DIR", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", second.path().c_str());
    LocalNoteStore(DataPaths::root()).save(note);
  }
  EXPECT_TRUE(fs::is_regular_file(first / "Notes" / note.id / "note.json"));
  EXPECT_TRUE(fs::is_regular_file(second / "Sayloom Native" / "Notes" / note.id / "note.json"));
}

// Whichever write comes first makes the data folder, and makes it private (under the usual umask a
// folder made without a mode is readable by everyone); folders elsewhere are left to the umask.
TEST(DataPathsTest, EveryWriteThatMakesANewDataFolderMakesItTheOwnersAlone) {
  struct UsualUmask {
    mode_t previous = ::umask(022);
    ~UsualUmask() { ::umask(previous); }
  } usualUmask;
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> write;
  };
  const Case cases[] = {
      {"a note", [](const fs::path& root) { LocalNoteStore(root).save(NativeNote{}); }},
      {"the presets", [](const fs::path& root) { PresetStore(root).save(OverlayPreset::builtIns()); }},
      {"the recording lock", [](const fs::path& root) { RecordingLock::acquireRecorder(root); }},
      {"a file in a folder of its own",
       [](const fs::path& root) { AtomicFile::writeBytes("x", root / "Models" / "m"); }},
  };
  TempDir dir;
  int number = 0;
  for (const Case& c : cases) {
    for (const char* spelling : {"", "/"}) {  // the variable may end in a slash
      SCOPED_TRACE(std::string(c.name) + " with '" + spelling + "'");
      const fs::path root = dir / std::to_string(++number) / "share" / "Sayloom Native";
      ScopedEnv data("SAYLOOM_DATA_DIR", (root.string() + spelling).c_str());
      c.write(DataPaths::root());
      struct stat info {};
      ASSERT_EQ(::stat(root.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0700U) << std::oct << (info.st_mode & 0777);
      ASSERT_EQ(::stat(root.parent_path().c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0755U) << std::oct << (info.st_mode & 0777);
    }
  }
  ScopedEnv data("SAYLOOM_DATA_DIR", (dir / "data").c_str());
  AtomicFile::writeBytes("x", dir / "elsewhere" / "file");
  struct stat info {};
  ASSERT_EQ(::stat((dir / "elsewhere").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755U);
  EXPECT_FALSE(fs::exists(dir / "data"));
}

}  // namespace
}  // namespace sayloom
