#include "core/preset_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/preset_document.h"
#include "core/uuid.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using nlohmann::json;
using test::EnforcePermissions;
using test::TempDir;
using test::writeFile;

std::string readFile(const std::filesystem::path& path) { return AtomicFile::readBytes(path); }

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<OverlayPreset> twoPresets() {
  std::vector<OverlayPreset> presets(2);
  presets[0].Name = "첫째";
  presets[1].Name = "둘째";
  for (auto& preset : presets) {
    preset.normalize();
  }
  return presets;
}

void expectSaveLocked(PresetStore& store) {
  try {
    store.save(twoPresets());
    ADD_FAILURE() << "saved while locked";
  } catch (const NativeError& error) {
    EXPECT_EQ(error, NativeError::message("원본 보호를 위해 프리셋 저장이 잠겨 있습니다."));
  }
}

TEST(PresetStoreTest, FirstStartGivesBuiltInsAndWritesNothing) {
  TempDir root;
  PresetStore store(root.path());
  const auto result = store.load();
  EXPECT_EQ(result.presets, OverlayPreset::builtIns());
  EXPECT_FALSE(result.warning);
  EXPECT_FALSE(result.readOnly);
  EXPECT_TRUE(filesIn(root.path()).empty());
}

TEST(PresetStoreTest, SavedFileLoadsBackWithSortedKeysAndNormalisedValues) {
  TempDir root;
  std::vector<OverlayPreset> presets = twoPresets();
  presets[0].FontSize = 500;
  presets[1].Id = presets[0].Id;
  const auto before = presets;
  PresetStore(root / "nested").save(presets);
  EXPECT_EQ(presets, before) << "save changed the caller's list";

  const std::string bytes = readFile(root / "nested" / "overlay-presets.json");
  EXPECT_LT(bytes.find("\"Presets\""), bytes.find("\"Version\""));
  const std::size_t firstPreset = bytes.find('{', bytes.find("\"Presets\""));
  EXPECT_EQ(bytes.find('"', firstPreset), bytes.find("\"Alignment\"", firstPreset))
      << "Alignment is not first";
  const std::size_t y = bytes.find("\"Y\"", firstPreset);
  EXPECT_GT(bytes.find('"', y + 3), bytes.find('}', y)) << "Y is not last";

  const json written = json::parse(bytes);
  EXPECT_EQ(written["Presets"][0]["FontSize"], 96.0);
  const auto loaded = PresetStore(root / "nested").load();
  ASSERT_EQ(loaded.presets.size(), 2u);
  EXPECT_EQ(loaded.presets[0].Id, before[0].Id);
  EXPECT_NE(loaded.presets[1].Id, before[0].Id);
  EXPECT_EQ(loaded.presets[1].Name, "둘째");
  EXPECT_FALSE(loaded.warning);
}

TEST(PresetStoreTest, SavingOutsideTheLimitsLeavesTheFileAlone) {
  TempDir root;
  PresetStore store(root.path());
  store.save(twoPresets());
  const std::string before = readFile(store.url());
  EXPECT_THROW(store.save({}), NativeError);
  std::vector<OverlayPreset> tooMany(65);
  EXPECT_THROW(store.save(tooMany), NativeError);
  std::vector<OverlayPreset> tooLarge(1);
  tooLarge[0].Languages.assign(1, std::string(1024 * 1024, 'x'));
  try {
    store.save(tooLarge);
    ADD_FAILURE() << "saved more than 1 MiB";
  } catch (const NativeError& error) {
    EXPECT_EQ(error.description(), "프리셋 파일은 1 MiB 이하여야 합니다.");
  }
  EXPECT_EQ(readFile(store.url()), before);
}

TEST(PresetStoreTest, NewerVersionLocksAndIsNeverTouched) {
  TempDir root;
  const std::string newer = R"({"Version": 3, "Presets": [{"Name": "미래", "Shape": "hexagon"}]})";
  writeFile(root / "overlay-presets.json", newer);
  PresetStore store(root.path());
  const auto result = store.load();
  EXPECT_EQ(result.presets, OverlayPreset::builtIns());
  EXPECT_EQ(result.warning, "더 최신 앱의 프리셋 버전 3입니다. 원본을 보호하기 위해 설정 저장을 잠갔습니다.");
  EXPECT_TRUE(result.readOnly);
  EXPECT_TRUE(store.readOnly());
  for (int i = 0; i < 5; ++i) {
    expectSaveLocked(store);
  }
  EXPECT_EQ(readFile(root / "overlay-presets.json"), newer);
  EXPECT_EQ(filesIn(root.path()).size(), 1u) << "a backup or temporary file was made";
}

TEST(PresetStoreTest, UnreadableFilesAreBackedUpOnceThenReplaced) {
  const std::string oneOverLimit = std::string(1024 * 1024 + 1, ' ');
  const std::string cases[] = {
      "{ not json",
      R"({"Version": 2, "Presets": []})",
      R"({"Version": 2, "Presets": [{"FontSize": "big"}]})",
      oneOverLimit,
  };
  for (const auto& damaged : cases) {
    TempDir root;
    const auto url = root / "overlay-presets.json";
    writeFile(url, damaged);
    PresetStore store(root.path());
    const auto result = store.load();
    EXPECT_EQ(result.presets, OverlayPreset::builtIns());
    EXPECT_EQ(result.warning, "읽지 못한 프리셋 파일을 백업하고 기본값을 복구했습니다.");
    EXPECT_FALSE(result.readOnly);

    auto files = filesIn(root.path());
    ASSERT_EQ(files.size(), 2u);
    const auto backup = files[0] == url ? files[1] : files[0];
    const std::string name = backup.filename().string();
    EXPECT_EQ(name.rfind("overlay-presets.json.corrupt-", 0), 0u) << name;
    EXPECT_TRUE(uuid::isValid(name.substr(std::string("overlay-presets.json.corrupt-").size()))) << name;
    EXPECT_EQ(readFile(backup), damaged);
    EXPECT_EQ(readFile(url), damaged) << "the damaged file stays until the next save";

    store.save(result.presets);
    EXPECT_EQ(PresetDocument::read(readFile(url)).Presets, OverlayPreset::builtIns());
    EXPECT_EQ(readFile(backup), damaged);
    EXPECT_EQ(filesIn(root.path()).size(), 2u);
  }
}

TEST(PresetStoreTest, BackupThatCannotBeWrittenLocksSaving) {
  TempDir root;
  const std::string damaged = "{ damaged";
  writeFile(root / "overlay-presets.json", damaged);
  ASSERT_EQ(::chmod(root.path().c_str(), 0555), 0);
  PresetStore store(root.path());
  PresetStore::LoadResult result;
  {
    EnforcePermissions enforce;
    result = store.load();
  }
  EXPECT_EQ(result.presets, OverlayPreset::builtIns());
  EXPECT_EQ(result.warning, "설정 백업에 실패해 저장을 잠갔습니다.");
  EXPECT_TRUE(result.readOnly);
  ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
  expectSaveLocked(store);
  EXPECT_EQ(readFile(root / "overlay-presets.json"), damaged);
  EXPECT_EQ(filesIn(root.path()).size(), 1u);
}

TEST(PresetStoreTest, FileThatCannotBeOpenedLocksSaving) {
  TempDir root;
  const auto url = root / "overlay-presets.json";
  PresetStore(root.path()).save(twoPresets());
  ASSERT_EQ(::chmod(url.c_str(), 0000), 0);
  PresetStore store(root.path());
  PresetStore::LoadResult result;
  {
    EnforcePermissions enforce;
    result = store.load();
  }
  // The copy cannot read the file either, so nothing may replace it.
  EXPECT_EQ(result.warning, "설정 백업에 실패해 저장을 잠갔습니다.");
  EXPECT_TRUE(result.readOnly);
  expectSaveLocked(store);
  EXPECT_EQ(filesIn(root.path()).size(), 1u);
}

}  // namespace
}  // namespace sayloom
