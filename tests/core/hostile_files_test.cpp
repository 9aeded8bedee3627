// Files in and around the data folder that someone else made: links out of the data folder,
// FIFOs, devices, files of gigabytes, deeply nested JSON, broken text, and note ids made of path
// pieces. Nothing hangs, nothing follows a link out of the data folder, nothing is written outside
// it, and every reader refuses rather than reads without bound.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/legacy_migration.h"
#include "core/local_note_store.h"
#include "core/mac_layout.h"
#include "core/native_error.h"
#include "core/preset_store.h"
#include "core/recording_lock.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

constexpr std::uintmax_t twoGiB = std::uintmax_t{2} << 30;

// A file of `size` bytes that takes no room on disk.
void sparseFile(const fs::path& path, std::uintmax_t size) {
  fs::create_directories(path.parent_path());
  writeFile(path, "");
  fs::resize_file(path, size);
}

void fifo(const fs::path& path) {
  fs::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
}

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// Every entry below `root` (links not followed) with its kind and, for small regular files, bytes.
std::map<std::string, std::string> tree(const fs::path& root) {
  std::map<std::string, std::string> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::file_status status = it->symlink_status();
    std::string& entry = entries[fs::relative(it->path(), root).string()];
    if (fs::is_symlink(status)) {
      entry = "link to " + fs::read_symlink(it->path()).string();
    } else if (fs::is_regular_file(status)) {
      entry = fs::file_size(it->path()) < (1 << 20) ? test::readFile(it->path()) : "large";
    } else {
      entry = fs::is_directory(status) ? "<dir>" : "<other>";
    }
  }
  return entries;
}

NativeNote validNote(const std::string& id, const std::string& title = "정상") {
  NativeNote note;
  note.id = id;
  note.title = title;
  return note;
}

std::string noteJson(const std::string& id, const std::string& title = "정상") {
  return nlohmann::json(validNote(id, title)).dump();
}

TEST(HostileFilesTest, HostileNoteFoldersAreReportedAndLeftAloneWithoutHanging) {
  TempDir dir;
  const fs::path notes = dir / "data" / "Notes";
  const fs::path outside = dir / "outside";
  LocalNoteStore store(dir / "data");
  store.save(validNote("0A000000-0000-4000-8000-000000000000"));

  struct Case {
    std::string id;
    std::function<void(const fs::path& folder)> make;
  };
  const std::vector<Case> cases = {
      {"1A000000-0000-4000-8000-000000000000",
       [&](const fs::path& folder) {
         // note.json is a link to a valid note outside the data folder.
         writeFile(outside / "a" / "note.json", noteJson("1A000000-0000-4000-8000-000000000000"));
         fs::create_directories(folder);
         fs::create_symlink(outside / "a" / "note.json", folder / "note.json");
       }},
      {"1B000000-0000-4000-8000-000000000000",
       [&](const fs::path& folder) {
         // The note folder itself is a link to a folder outside.
         writeFile(outside / "b" / "note.json", noteJson("1B000000-0000-4000-8000-000000000000"));
         fs::create_directory_symlink(outside / "b", folder);
       }},
      {"1C000000-0000-4000-8000-000000000000", [](const fs::path& folder) { fifo(folder / "note.json"); }},
      {"1D000000-0000-4000-8000-000000000000",
       [](const fs::path& folder) { sparseFile(folder / "note.json", twoGiB); }},
      {"1E000000-0000-4000-8000-000000000000",
       [](const fs::path& folder) { writeFile(folder / "note.json", nested(1'000'000)); }},
      {"1F000000-0000-4000-8000-000000000000",
       [](const fs::path& folder) {
         std::string text = noteJson("1F000000-0000-4000-8000-000000000000");
         text.replace(text.find("정상"), 6, "\xff\xfe\xc3");  // bytes that are no UTF-8
         writeFile(folder / "note.json", text);
       }},
      {"2A000000-0000-4000-8000-000000000000",
       [](const fs::path& folder) { fs::create_directories(folder / "note.json"); }},
  };
  for (const Case& c : cases) {
    c.make(notes / c.id);
  }
  // A title with NUL and control characters is text like any other.
  const std::string oddTitle("a\0b\x01\x7f\xe2\x80\xae", 8);
  writeFile(notes / "2B000000-0000-4000-8000-000000000000" / "note.json",
            noteJson("2B000000-0000-4000-8000-000000000000", oddTitle));

  const auto before = tree(dir.path());
  const NoteListing listing = store.list();
  EXPECT_EQ(tree(dir.path()), before);

  std::vector<std::string> listed;
  for (const NativeNote& note : listing.notes) {
    listed.push_back(note.id);
    if (note.id == "2B000000-0000-4000-8000-000000000000") {
      EXPECT_EQ(note.title, oddTitle);
    }
  }
  EXPECT_THAT(listed, UnorderedElementsAreArray(
                          {"0A000000-0000-4000-8000-000000000000", "2B000000-0000-4000-8000-000000000000"}));
  std::vector<std::string> warned;
  for (const Case& c : cases) {
    warned.push_back(messages::unreadableNotePrefix + c.id);
  }
  EXPECT_THAT(listing.warnings, UnorderedElementsAreArray(warned));
}

TEST(HostileFilesTest, ReadersRefuseFifosDevicesAndFilesBeyondTheirLimit) {
  TempDir dir;
  fifo(dir / "fifo");
  sparseFile(dir / "huge", twoGiB);
  writeFile(dir / "small", "{}");
  fs::create_symlink(dir / "small", dir / "link");

  EXPECT_THROW(AtomicFile::readBytes(dir / "fifo"), fs::filesystem_error);
  EXPECT_THROW(AtomicFile::readBytes("/dev/zero"), fs::filesystem_error);
  EXPECT_THROW(AtomicFile::readBytes(dir / "huge"), fs::filesystem_error);
  EXPECT_THROW(AtomicFile::readBytes(dir / "small", {1}), fs::filesystem_error);
  EXPECT_EQ(AtomicFile::readBytes(dir / "small", {2}), "{}");
  EXPECT_EQ(AtomicFile::readBytes(dir / "link"), "{}");
  EXPECT_THROW(AtomicFile::readBytes(dir / "link", {.followLinks = false}), fs::filesystem_error);

  // The layout file and the legacy settings are read at every start: none of them may hang it or
  // fill the memory.
  const std::vector<std::function<void(const fs::path&)>> hostile = {
      [](const fs::path& file) { fifo(file); }, [](const fs::path& file) { sparseFile(file, twoGiB); }};
  for (const auto& make : hostile) {
    TempDir root;
    make(root / "layout-macos.json");
    EXPECT_THAT(LayoutFile::read(root.path()), IsEmpty());
    TempDir legacy;
    make(legacy / "Preferences");
    EXPECT_EQ(migrateLegacySnapshot(root.path(), legacy.path()), messages::legacySnapshotFailed);
    EXPECT_FALSE(fs::exists(root / "migration-v1.json"));
  }
  TempDir root;
  writeFile(root / "layout-macos.json", nested(1'000'000));
  EXPECT_THAT(LayoutFile::read(root.path()), IsEmpty());
}

TEST(HostileFilesTest, AnUnreadablePresetFileTooLargeOrNotAFileToCopyLocksSavingInsteadOfBeingCopied) {
  for (const bool huge : {true, false}) {
    SCOPED_TRACE(huge ? "two gigabytes" : "a FIFO");
    TempDir root;
    if (huge) {
      sparseFile(root / "overlay-presets.json", twoGiB);
    } else {
      fifo(root / "overlay-presets.json");
    }
    const auto before = tree(root.path());
    PresetStore store(root.path());
    const PresetStore::LoadResult loaded = store.load();
    EXPECT_TRUE(loaded.readOnly);
    EXPECT_EQ(loaded.warning, messages::presetBackupFailed);
    EXPECT_EQ(loaded.presets, OverlayPreset::builtIns());
    EXPECT_EQ(tree(root.path()), before) << "no backup copy";
  }
}

TEST(HostileFilesTest, AudioFoldersAndChunksThatLeadOutOfTheDataFolderAreNotFollowed) {
  TempDir dir;
  const fs::path audio = dir / "Audio";
  writeFile(dir / "outside" / "00000000.pcm", std::string(3'200, '\x7f'));
  fs::create_directory_symlink(dir / "outside", dir / "LinkedAudio");
  EXPECT_THROW(chunks::list(dir / "LinkedAudio"), fs::filesystem_error);

  writeFile(audio / "00000000.pcm", std::string(10, '\x01'));
  fs::create_symlink(dir / "outside" / "00000000.pcm", audio / "00000001.pcm");
  fs::create_symlink("/dev/zero", audio / "00000002.pcm");
  fifo(audio / "00000003.pcm");
  fs::create_directories(audio / "00000004.pcm");
  const std::vector<chunks::ChunkFile> files = chunks::list(audio);
  ASSERT_EQ(files.size(), 1U);
  EXPECT_EQ(files[0].path, audio / "00000000.pcm");
  EXPECT_EQ(files[0].size, 10U);
}

// Ids reach every call that builds a path from them; only a UUID may, so that an id can never climb
// out of "Notes" or name something else.
TEST(HostileFilesTest, NoteIdsMadeOfPathPiecesReachNoPath) {
  TempDir dir;
  const fs::path root = dir / "data";
  fs::create_directories(root);
  const std::vector<std::string> ids = {"../../outside",
                                        "..",
                                        ".",
                                        "",
                                        "a/b",
                                        "/etc",
                                        "Notes/../../x",
                                        "..\\x",
                                        std::string("6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB\0/../x", 42)};
  for (const std::string& id : ids) {
    SCOPED_TRACE(id);
    EXPECT_THROW(DataPaths::noteDirectory(id, root), NativeError);
    EXPECT_THROW(DataPaths::audioDirectory(id, root), NativeError);
    EXPECT_THROW(RecordingLock::lockFile(root, id), NativeError);
    EXPECT_THROW(RecordingLock::acquire(root, id), NativeError);
    EXPECT_FALSE(RecordingLock::isHeld(root, id));
    NativeNote note;
    note.id = id;
    EXPECT_THROW(LocalNoteStore(root).save(note), NativeError);
  }
  EXPECT_THAT(tree(dir.path()), (std::map<std::string, std::string>{{"data", "<dir>"}}));
}

TEST(HostileFilesTest, PresetIdsMadeOfPathPiecesStayKeysInsideTheirFiles) {
  TempDir dir;
  std::vector<OverlayPreset> presets = OverlayPreset::builtIns();
  presets[0].Id = "../../outside";
  presets[1].Id = "/etc/passwd";
  PresetStore(dir.path()).save(presets);
  LayoutMap layouts;
  layouts["../../outside"] = MacLayout{1, 2, 300, 200, 1, "../x"};
  LayoutFile::write(layouts, dir.path());
  EXPECT_THAT(tree(dir.path()), ::testing::ElementsAre(::testing::Key("layout-macos.json"),
                                                       ::testing::Key("overlay-presets.json")));
  EXPECT_EQ(PresetStore(dir.path()).load().presets[0].Id, "../../outside");
  EXPECT_EQ(LayoutFile::read(dir.path()).count("../../outside"), 1U);
}

}  // namespace
}  // namespace sayloom
