#include "core/data_paths.h"

#include <gtest/gtest.h>

#include "core/local_note_store.h"
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

}  // namespace
}  // namespace sayloom
