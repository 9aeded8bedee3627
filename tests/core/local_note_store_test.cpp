#include "core/local_note_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/uuid.h"
#include "support/file_bytes.h"
#include "support/storage_faults.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::EnforcePermissions;
using test::TempDir;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kIdA = "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB";
constexpr const char* kIdB = "0A1B2C3D-4E5F-4A6B-9C7D-8E9FA0B1C2D3";
constexpr const char* kIdC = "99999999-8888-4777-A666-555555555555";

Timestamp at(const char* iso) { return *parseIsoDate(iso); }

NativeNote makeNote(const std::string& id, const char* createdAt, const std::string& title = "노트") {
  NativeNote note;
  note.id = id;
  note.createdAt = at(createdAt);
  note.title = title;
  return note;
}

// Every file under `root` with its bytes, and every folder (mapped to an empty marker), so a
// test can show that a failed or read-only operation changed nothing.
std::map<std::string, std::string> snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string key = fs::relative(entry.path(), root).string();
    files[key] = entry.is_directory() ? std::string("<dir>") : AtomicFile::readBytes(entry.path());
  }
  return files;
}

// The names of "Notes" in the order the file system returns them.
std::vector<std::string> listingOrder(const fs::path& notes) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(notes)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

std::string warningFor(const std::string& name) { return messages::unreadableNotePrefix + name; }

class LocalNoteStoreTest : public ::testing::Test {
protected:
  TempDir dir;
  LocalNoteStore store{dir.path()};
  fs::path notes() const { return dir / "Notes"; }
};

TEST_F(LocalNoteStoreTest, SavedNoteListsBackEqualWithAllFields) {
  NativeNote note = makeNote(kIdA, "2026-03-01T09:30:00Z", "회의 메모");
  note.durationSeconds = 17.25;
  note.completed = true;
  note.segments = {{"seg-0", 0, "안녕하세요", 0, 1200, ""}, {"seg-1", 1, "two", 8000, 9100, "둘"}};
  note.workspaceId = "ws";
  note.cloudPendingCharge = ChargeSlice{60, 60, 2};
  note.cloudTranslationStoppedAtSeconds = 120;
  store.save(note);

  EXPECT_TRUE(fs::is_regular_file(notes() / kIdA / "note.json"));
  EXPECT_THAT(listingOrder(notes() / kIdA), ElementsAre("note.json")) << "no temporary file is left";
  const NoteListing listing = store.list();
  EXPECT_THAT(listing.notes, ElementsAre(note));
  EXPECT_THAT(listing.warnings, IsEmpty());

  // A later save rewrites the whole note.
  note.segments.pop_back();
  note.title = "바뀐 제목";
  store.save(note);
  EXPECT_THAT(store.list().notes, ElementsAre(note));
}

TEST_F(LocalNoteStoreTest, LowerCaseUuidIdIsSavedUnderItsOwnNameAndListsAgain) {
  const std::string id = "6f1c2d3e-4a5b-4c6d-8e7f-0123456789ab";
  const NativeNote note = makeNote(id, "2026-03-01T09:30:00Z");
  store.save(note);
  EXPECT_TRUE(fs::exists(notes() / id / "note.json"));
  const NoteListing listing = store.list();
  EXPECT_THAT(listing.notes, ElementsAre(note));
  EXPECT_THAT(listing.warnings, IsEmpty());
}

TEST_F(LocalNoteStoreTest, SaveRefusesIdsThatAreNotUuidsAndWritesNothing) {
  for (const std::string id : {"abc", "", "../../escape", "{6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB}",
                               " 6F1C2D3E-4A5B-4C6D-8E7F-0123456789AB", "6F1C2D3E4A5B4C6D8E7F0123456789AB",
                               "6F1C2D3E-4A5B-4C6D-8E7F-0123456789AG"}) {
    SCOPED_TRACE(id);
    try {
      store.save(makeNote(id, "2026-03-01T09:30:00Z"));
      ADD_FAILURE() << "saved";
    } catch (const NativeError& error) {
      EXPECT_EQ(error.kind(), NativeError::Kind::message);
      EXPECT_EQ(error.description(), "잘못된 로컬 노트 ID입니다.");
    }
  }
  EXPECT_TRUE(fs::is_empty(dir.path())) << "not even the Notes folder is created";
  EXPECT_FALSE(fs::exists(dir.path().parent_path() / "escape"));
}

TEST_F(LocalNoteStoreTest, MissingNotesFolderOrDataDirectoryListsAsEmpty) {
  for (const fs::path& root : {dir.path(), dir / "does" / "not" / "exist"}) {
    const NoteListing listing = LocalNoteStore(root).list();
    EXPECT_THAT(listing.notes, IsEmpty());
    EXPECT_THAT(listing.warnings, IsEmpty());
  }
  fs::create_directory(notes());
  EXPECT_THAT(store.list().notes, IsEmpty());
  EXPECT_THAT(store.list().warnings, IsEmpty());
}

// Each broken entry is reported once by its name, in listing order, and left byte for byte.
TEST_F(LocalNoteStoreTest, UnreadableEntriesGiveOneWarningEachAndStayUntouched) {
  store.save(makeNote(kIdA, "2026-03-01T09:30:00Z"));
  nlohmann::json good = makeNote(kIdB, "2026-03-01T09:30:00Z");

  // A note folder whose note.json names another note (for example a copied folder).
  writeFile(notes() / kIdC / "note.json", good.dump());
  writeFile(notes() / kIdC / "Audio" / "00000000.pcm", std::string(64, '\x01'));
  // Even what looks like a killed writer's temporary file stays in a folder that is not read.
  writeFile(notes() / kIdC / ".note.json.7D444840-9DC0-11D1-B245-5FFDCE74FAD2.tmp", "{");
  // Stray files directly inside Notes, a hidden one included.
  writeFile(notes() / ".DS_Store", "junk");
  writeFile(notes() / "readme.txt", "hello");
  // A folder without note.json and one with an empty Audio only.
  fs::create_directories(notes() / "11111111-1111-4111-8111-111111111111" / "Audio");
  // Fractional seconds in createdAt.
  const std::string fractionalId = "22222222-2222-4222-8222-222222222222";
  nlohmann::json fractional = good;
  fractional["id"] = fractionalId;
  fractional["createdAt"] = "2026-03-01T09:30:00.250Z";
  writeFile(notes() / fractionalId / "note.json", fractional.dump(2));
  // Missing required keys.
  for (const char* key : {"cloudBilledSeconds", "segments", "id"}) {
    const std::string id =
        std::string("33333333-3333-4333-8333-") + (std::string(key) + "000000000000").substr(0, 12);
    nlohmann::json missing = good;
    missing["id"] = id;
    missing.erase(key);
    writeFile(notes() / id / "note.json", missing.dump(2));
  }
  // Not JSON at all, and JSON of the wrong shape.
  writeFile(notes() / "44444444-4444-4444-8444-444444444444" / "note.json", "{\"id\": ");
  writeFile(notes() / "55555555-5555-4555-8555-555555555555" / "note.json", "[]");
  // A folder whose note agrees with its name but is not a UUID, and a case mismatch.
  nlohmann::json notUuid = good;
  notUuid["id"] = "abc";
  writeFile(notes() / "abc" / "note.json", notUuid.dump());
  nlohmann::json lower = good;
  lower["id"] = "0a1b2c3d-4e5f-4a6b-9c7d-8e9fa0b1c2d3";
  writeFile(notes() / kIdB / "note.json", lower.dump());

  const auto before = snapshot(dir.path());
  const NoteListing listing = store.list();
  EXPECT_EQ(snapshot(dir.path()), before);

  ASSERT_EQ(listing.notes.size(), 1U);
  EXPECT_EQ(listing.notes[0].id, kIdA);
  std::vector<std::string> expected;
  for (const std::string& name : listingOrder(notes())) {
    if (name != kIdA) {
      expected.push_back(warningFor(name));
    }
  }
  EXPECT_EQ(listing.warnings, expected);
  EXPECT_EQ(listing.warnings.size(), 12U);

  // Loading one note by its id follows the same rules; names that are not UUIDs name no note.
  for (const std::string& name : listingOrder(notes())) {
    SCOPED_TRACE(name);
    if (name == kIdA) {
      EXPECT_EQ(store.load(name), listing.notes[0]);
    } else if (!uuid::isValid(name)) {
      EXPECT_EQ(store.load(name), std::nullopt);
    } else {
      try {
        store.load(name);
        ADD_FAILURE() << "loaded";
      } catch (const NativeError& error) {
        EXPECT_EQ(error.description(), warningFor(name));
      }
    }
  }
  EXPECT_EQ(store.load("77777777-7777-4777-8777-777777777777"), std::nullopt);
  EXPECT_EQ(snapshot(dir.path()), before);
}

// A save or a transcript write killed before its rename leaves a temporary file; listing the note
// removes it and nothing else. A note's first save killed so leaves a folder with nothing else.
TEST_F(LocalNoteStoreTest, ListingRemovesTheTemporariesOfKilledWritesBesideANote) {
  store.save(makeNote(kIdA, "2026-03-01T09:30:00Z"));
  const fs::path folder = notes() / kIdA;
  writeFile(folder / ".note.json.7D444840-9DC0-11D1-B245-5FFDCE74FAD2.tmp", "{\"id\": ");
  writeFile(folder / "Audio" / ".00000000.pcm.transcript.json.7D444840-9DC0-11D1-B245-5FFDCE74FAD2.tmp", "[");
  writeFile(folder / "Audio" / "00000000.pcm", std::string(64, '\x01'));
  const auto kept = snapshot(folder);

  // The first save of a note killed before its rename: only its temporary file is there.
  writeFile(notes() / kIdB / ".note.json.7D444840-9DC0-11D1-B245-5FFDCE74FAD2.tmp", "{");
  // Without note.json but with more than that temporary file, the folder stays and is reported.
  writeFile(notes() / kIdC / ".note.json.7D444840-9DC0-11D1-B245-5FFDCE74FAD2.tmp", "{");
  writeFile(notes() / kIdC / "keep.txt", "mine");

  const NoteListing listing = store.list();
  ASSERT_EQ(listing.notes.size(), 1U);
  EXPECT_THAT(listing.warnings, ElementsAre(warningFor(kIdC)));
  EXPECT_FALSE(fs::exists(notes() / kIdB));
  EXPECT_EQ(snapshot(notes() / kIdC), (std::map<std::string, std::string>{{"keep.txt", "mine"}}));
  auto expected = kept;
  expected.erase(".note.json.7D444840-9DC0-11D1-B245-5FFDCE74FAD2.tmp");
  expected.erase("Audio/.00000000.pcm.transcript.json.7D444840-9DC0-11D1-B245-5FFDCE74FAD2.tmp");
  EXPECT_EQ(snapshot(folder), expected);
}

TEST_F(LocalNoteStoreTest, ListsNewestFirstAndKeepsListingOrderForEqualTimes) {
  const std::vector<std::string> sameTime = {
      "AAAAAAAA-0000-4000-8000-000000000001", "BBBBBBBB-0000-4000-8000-000000000002",
      "CCCCCCCC-0000-4000-8000-000000000003", "DDDDDDDD-0000-4000-8000-000000000004",
      "EEEEEEEE-0000-4000-8000-000000000005"};
  for (const auto& id : sameTime) {
    store.save(makeNote(id, "2026-03-01T09:30:00Z"));
  }
  store.save(makeNote(kIdA, "2026-03-02T00:00:00Z"));
  store.save(makeNote(kIdB, "2025-12-31T23:59:59Z"));

  std::vector<std::string> expected = {kIdA};
  for (const auto& name : listingOrder(notes())) {
    if (name != kIdA && name != kIdB) {
      expected.push_back(name);
    }
  }
  expected.push_back(kIdB);

  std::vector<std::string> ids;
  for (const auto& note : store.list().notes) {
    ids.push_back(note.id);
  }
  EXPECT_EQ(ids, expected);
}

TEST_F(LocalNoteStoreTest, NotesFolderThatCannotBeListedFailsTheList) {
  store.save(makeNote(kIdA, "2026-03-01T09:30:00Z"));
  fs::permissions(notes(), fs::perms::owner_write | fs::perms::owner_exec);  // no read: cannot list
  {
    EnforcePermissions enforce;
    EXPECT_THROW(store.list(), fs::filesystem_error);
  }
  fs::permissions(notes(), fs::perms::owner_all);
  EXPECT_EQ(store.list().notes.size(), 1U);

  // "Notes" as a plain file exists but is no folder.
  TempDir other;
  writeFile(other / "Notes", "not a folder");
  EXPECT_THROW(LocalNoteStore(other.path()).list(), fs::filesystem_error);
  EXPECT_EQ(AtomicFile::readBytes(other / "Notes"), "not a folder");
}

TEST_F(LocalNoteStoreTest, SaveIntoReadOnlyFolderFailsAndKeepsThePreviousNote) {
  NativeNote note = makeNote(kIdA, "2026-03-01T09:30:00Z", "처음");
  store.save(note);
  const auto before = snapshot(dir.path());
  note.title = "나중";
  fs::permissions(notes() / kIdA, fs::perms::owner_read | fs::perms::owner_exec);
  {
    EnforcePermissions enforce;
    EXPECT_THROW(store.save(note), fs::filesystem_error);
  }
  EXPECT_EQ(snapshot(dir.path()), before);

  // A new note cannot get its folder inside a read-only Notes folder either.
  fs::permissions(notes(), fs::perms::owner_read | fs::perms::owner_exec);
  {
    EnforcePermissions enforce;
    EXPECT_THROW(store.save(makeNote(kIdB, "2026-03-01T09:30:00Z")), fs::filesystem_error);
  }
  EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(LocalNoteStoreTest, AFailedFirstSaveLeavesNoFolderBehind) {
  store.save(makeNote(kIdA, "2026-03-01T09:30:00Z"));
  const auto before = snapshot(dir.path());
  {
    // The folder and the temporary file can be made, but no byte can be written.
    test::FileSizeLimit full(1);
    EXPECT_THROW(store.save(makeNote(kIdB, "2026-03-01T09:30:00Z")), fs::filesystem_error);
    EXPECT_THROW(store.save(makeNote(kIdA, "2026-03-02T09:30:00Z")), fs::filesystem_error);
  }
  EXPECT_EQ(snapshot(dir.path()), before);
  EXPECT_THAT(store.list().warnings, IsEmpty());
}

TEST_F(LocalNoteStoreTest, SaveWhereAFileBlocksTheFolderFailsAndLeavesTheFile) {
  for (const fs::path& blocker : {fs::path("Notes"), fs::path("Notes") / kIdA}) {
    SCOPED_TRACE(blocker.string());
    TempDir root;
    writeFile(root / blocker, "precious");
    EXPECT_THROW(LocalNoteStore(root.path()).save(makeNote(kIdA, "2026-03-01T09:30:00Z")),
                 fs::filesystem_error);
    EXPECT_EQ(AtomicFile::readBytes(root / blocker), "precious");
  }
}

}  // namespace
}  // namespace sayloom
