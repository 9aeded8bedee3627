#include "core/legacy_migration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/atomic_file.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::EnforcePermissions;
using test::ScopedEnv;
using test::TempDir;

constexpr const char* warningText =
    "기존 앱 설정 snapshot을 만들지 못했습니다. 원본은 보존되어 있으며 다음 실행에서 다시 시도합니다.";

class LegacyMigrationTest : public ::testing::Test {
protected:
  fs::path data() const { return m_dir / "Sayloom Native"; }
  fs::path legacy() const { return m_dir / "Sayloom"; }
  fs::path marker() const { return data() / "migration-v1.json"; }
  fs::path snapshot() const { return data() / "Migration" / "Preferences.snapshot.json"; }

  TempDir m_dir;
};

nlohmann::json baseMarker(const fs::path& legacy) {
  return {{"legacyPath", legacy.string()},
          {"legacyBundleID", "kr.tovik.sayloom"},
          {"nativeBundleID", "kr.tovik.sayloom"},
          {"notes",
           "Legacy notes remain in Firestore. Reconnect using browser pairing. Chromium credentials are not "
           "imported."}};
}

TEST_F(LegacyMigrationTest, WithoutLegacyFolderWritesFourKeyMarkerOnce) {
  EXPECT_EQ(migrateLegacySnapshot(data(), legacy()), std::nullopt);
  EXPECT_EQ(AtomicFile::read(marker()), baseMarker(legacy()));
  EXPECT_FALSE(fs::exists(data() / "Migration"));

  // Done once: a settings file that appears later is not picked up.
  AtomicFile::writeBytes("late", legacy() / "Preferences");
  EXPECT_EQ(migrateLegacySnapshot(data(), legacy()), std::nullopt);
  EXPECT_EQ(AtomicFile::read(marker()), baseMarker(legacy()));
  EXPECT_FALSE(fs::exists(snapshot()));
}

TEST_F(LegacyMigrationTest, CopiesSettingsFileByteForByte) {
  const std::string preferences("bplist00\0\x01\xff settings", 20);
  AtomicFile::writeBytes(preferences, legacy() / "Preferences");

  EXPECT_EQ(migrateLegacySnapshot(data(), legacy()), std::nullopt);

  EXPECT_EQ(AtomicFile::readBytes(snapshot()), preferences);
  nlohmann::json expected = baseMarker(legacy());
  expected["preferencesSnapshot"] = "Preferences.snapshot.json";
  EXPECT_EQ(AtomicFile::read(marker()), expected);
  EXPECT_EQ(AtomicFile::readBytes(legacy() / "Preferences"), preferences);
  EXPECT_EQ(std::distance(fs::directory_iterator(legacy()), fs::directory_iterator()), 1);
}

TEST_F(LegacyMigrationTest, ReadOnlyDataFolderWarnsEveryStartAndKeepsFirstCopy) {
  AtomicFile::writeBytes("first", legacy() / "Preferences");
  fs::create_directories(data() / "Migration");
  fs::permissions(data(), fs::perms::owner_read | fs::perms::owner_exec);
  {
    EnforcePermissions enforce;
    EXPECT_EQ(migrateLegacySnapshot(data(), legacy()), warningText);
  }
  EXPECT_FALSE(fs::exists(marker()));
  EXPECT_EQ(AtomicFile::readBytes(snapshot()), "first");

  AtomicFile::writeBytes("second", legacy() / "Preferences");
  {
    EnforcePermissions enforce;
    EXPECT_EQ(migrateLegacySnapshot(data(), legacy()), warningText);
  }
  EXPECT_EQ(AtomicFile::readBytes(snapshot()), "first");

  // Once the folder is writable again the next start completes, still with the first copy.
  fs::permissions(data(), fs::perms::owner_all);
  EXPECT_EQ(migrateLegacySnapshot(data(), legacy()), std::nullopt);
  EXPECT_TRUE(fs::exists(marker()));
  EXPECT_EQ(AtomicFile::readBytes(snapshot()), "first");
}

TEST_F(LegacyMigrationTest, UnreadableSettingsFileWarnsAndLeavesNoPartialCopy) {
  AtomicFile::writeBytes("secret", legacy() / "Preferences");
  fs::permissions(legacy() / "Preferences", fs::perms::none);
  {
    EnforcePermissions enforce;
    EXPECT_EQ(migrateLegacySnapshot(data(), legacy()), warningText);
  }
  EXPECT_FALSE(fs::exists(marker()));
  EXPECT_FALSE(fs::exists(snapshot()));
  EXPECT_EQ(std::distance(fs::directory_iterator(data() / "Migration"), fs::directory_iterator()), 0);
}

TEST(LegacyFolderTest, IsSayloomUnderTheDataHome) {
  TempDir home;
  ScopedEnv xdg("XDG_DATA_HOME", home.path().c_str());
  EXPECT_EQ(legacyFolder(), home.path() / "Sayloom");
}

}  // namespace
}  // namespace sayloom
