#include "core/recording_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/native_error.h"
#include "core/uuid.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

extern char** environ;

namespace sayloom {
namespace {

namespace fs = std::filesystem;

std::string failureOf(const fs::path& root, const std::string& id) {
  try {
    RecordingLock::acquire(root, id);
  } catch (const NativeError& error) {
    return error.description();
  }
  return "";
}

TEST(RecordingLockTest, OneHolderPerNoteUntilReleased) {
  test::TempDir root;
  const std::string id = uuid::generate();
  const std::string other = uuid::generate();
  EXPECT_FALSE(RecordingLock::isHeld(root.path(), id));
  EXPECT_FALSE(fs::exists(root / "Locks"));  // asking creates nothing

  RecordingLock lock = RecordingLock::acquire(root.path(), id);
  EXPECT_TRUE(lock.held());
  EXPECT_EQ(lock.noteId(), id);
  EXPECT_TRUE(RecordingLock::isHeld(root.path(), id));
  EXPECT_EQ(failureOf(root.path(), id), messages::noteBeingRecorded);
  EXPECT_FALSE(RecordingLock::isHeld(root.path(), other));
  EXPECT_TRUE(RecordingLock::acquire(root.path(), other).held());

  RecordingLock moved = std::move(lock);
  EXPECT_TRUE(RecordingLock::isHeld(root.path(), id));
  moved.release();
  EXPECT_FALSE(moved.held());
  EXPECT_FALSE(RecordingLock::isHeld(root.path(), id));
  EXPECT_TRUE(fs::exists(RecordingLock::lockFile(root.path(), id)));  // the file stays, unlocked
  EXPECT_TRUE(RecordingLock::acquire(root.path(), id).held());
}

TEST(RecordingLockTest, OneRecorderPerDataFolderBesideTheNotesLocks) {
  test::TempDir root;
  const std::string id = uuid::generate();
  RecordingLock note = RecordingLock::acquire(root.path(), id);
  RecordingLock recorder = RecordingLock::acquireRecorder(root.path());
  EXPECT_TRUE(recorder.held());
  EXPECT_TRUE(recorder.noteId().empty());
  try {
    RecordingLock::acquireRecorder(root.path());
    ADD_FAILURE() << "a second recorder got the lock";
  } catch (const NativeError& error) {
    EXPECT_EQ(error.description(), messages::dataFolderRecording);
  }
  recorder.release();
  EXPECT_TRUE(RecordingLock::acquireRecorder(root.path()).held());
  EXPECT_TRUE(note.held());

  test::TempDir otherRoot;
  RecordingLock again = RecordingLock::acquireRecorder(root.path());
  EXPECT_TRUE(RecordingLock::acquireRecorder(otherRoot.path()).held());
}

TEST(RecordingLockTest, IdsThatAreNotUuidsAreRefusedBeforeTouchingTheDisk) {
  test::TempDir root;
  for (const char* id : {"", "abc", "../../etc/passwd", "00000000-0000-0000-0000-00000000000G"}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(failureOf(root.path(), id), messages::invalidNoteId);
    EXPECT_FALSE(RecordingLock::isHeld(root.path(), id));
  }
  EXPECT_FALSE(fs::exists(root / "Locks"));
}

TEST(RecordingLockTest, ALeftoverFileFromACrashIsNoLock) {
  test::TempDir root;
  const std::string id = uuid::generate();
  test::writeFile(RecordingLock::lockFile(root.path(), id), "");
  EXPECT_FALSE(RecordingLock::isHeld(root.path(), id));
  EXPECT_TRUE(RecordingLock::acquire(root.path(), id).held());
}

TEST(RecordingLockTest, AKilledHolderLosesItsLock) {
  test::TempDir root;
  const std::string id = uuid::generate();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RecordingLock lock = RecordingLock::acquire(root.path(), id);
    const char byte = 'x';
    (void)!write(ready[1], &byte, 1);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  EXPECT_TRUE(RecordingLock::isHeld(root.path(), id));
  EXPECT_EQ(failureOf(root.path(), id), messages::noteBeingRecorded);

  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_FALSE(RecordingLock::isHeld(root.path(), id));
  EXPECT_TRUE(RecordingLock::acquire(root.path(), id).held());
}

TEST(RecordingLockTest, StartedProgramsDoNotInheritTheLock) {
  test::TempDir root;
  const std::string id = uuid::generate();
  RecordingLock lock = RecordingLock::acquire(root.path(), id);
  pid_t child = 0;
  const char* argv[] = {"sleep", "30", nullptr};
  ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  lock.release();
  // A child that had inherited the descriptor would keep the lock alive after its holder.
  EXPECT_FALSE(RecordingLock::isHeld(root.path(), id));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

TEST(RecordingLockTest, AnUnwritableDataFolderFailsWithTheFileSystemError) {
  test::TempDir root;
  fs::permissions(root.path(), fs::perms::owner_read | fs::perms::owner_exec);
  test::EnforcePermissions enforce;
  EXPECT_THROW(RecordingLock::acquire(root.path(), uuid::generate()), fs::filesystem_error);
}

}  // namespace
}  // namespace sayloom
