// What the app hands to other programs and leaves on disk: the engine gets its paths as plain
// arguments (no shell ever reads them), and a new data folder is readable by its owner alone.
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "app/app_model_fixture.h"
#include "core/data_paths.h"
#include "core/local_note_store.h"

namespace sayloom::test {
namespace {

// A name a shell would act on in every way it can: spaces, quotes, expansions, separators.
const std::string hostileName = "a b 'c' \"d\" $(touch pwned) `touch pwned` ; touch pwned & | * ?";

using SecurityTest = AppModelTest;

TEST_F(SecurityTest, TheEngineGetsPathsWithShellMetacharactersAsTheyAre) {
  const fs::path root = m_dir / ("data " + hostileName);
  const fs::path temporary = m_dir / ("tmp " + hostileName);
  fs::create_directories(temporary);
  ScopedEnv data("SAYLOOM_DATA_DIR", root.c_str());
  ScopedEnv tmp("TMPDIR", temporary.c_str());
  writeFile(root / "Models" / "ggml-base.bin", modelBytes());
  NativeNote note;
  note.id = "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB";
  note.language = "ko";
  LocalNoteStore(root).save(note);
  writeFile(DataPaths::audioDirectory(note.id, root) / "00000000.pcm", speechPcm());
  engineSays("안전");

  AppModel& model = makeModel();
  QCoro::waitFor(model.recoverSelected());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
  EXPECT_FALSE(model.appStatus().warning()) << model.appStatus().warning()->toStdString();
  ASSERT_EQ(model.library().notes().front().segments.size(), 1U);

  const nlohmann::json arguments = nlohmann::json::parse(readFile(m_dir / "engine.log"));
  const auto after = [&](const char* flag) {
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
      if (arguments[i] == flag) {
        return arguments[i + 1].get<std::string>();
      }
    }
    return std::string();
  };
  EXPECT_EQ(after("-m"), (root / "Models" / "ggml-base.bin").string());
  EXPECT_EQ(after("-f").rfind(temporary.string(), 0), 0U) << after("-f");
  for (const auto& entry : fs::recursive_directory_iterator(m_dir.path())) {
    EXPECT_NE(entry.path().filename(), "pwned") << "a shell ran: " << entry.path();
  }
  EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(SecurityTest, ANewDataFolderIsTheOwnersAloneAndAnExistingOneKeepsItsPermissions) {
  const fs::path fresh = m_dir / "fresh" / "Sayloom Native";
  {
    ScopedEnv data("SAYLOOM_DATA_DIR", fresh.c_str());
    makeModel();
    shutdown();
  }
  struct stat info {};
  ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700U);

  fs::permissions(root(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  makeModel();
  ASSERT_EQ(::stat(root().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0750U);
}

}  // namespace
}  // namespace sayloom::test
