// The file wrappers' own contract: what a new file leaves behind on each path, and what its errors
// carry. The durable writers built on them are tested with their callers.
#include "core/posix_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(PosixFileTest, NewFileStaysOnlyWhenRenamedOrKept) {
  TempDir dir;
  {
    posix::NewFile dropped(dir / "dropped", 0644);
    dropped.write("abandoned");
  }
  EXPECT_FALSE(fs::exists(dir / "dropped"));

  {
    posix::NewFile renamed(dir / "renamed.tmp", 0644);
    renamed.write("new");
    renamed.syncAndClose();
    writeFile(dir / "target", "old");
    renamed.renameTo(dir / "target");
  }
  EXPECT_EQ(readFile(dir / "target"), "new");
  EXPECT_FALSE(fs::exists(dir / "renamed.tmp"));

  posix::copyToNewFile(dir / "target", dir / "copy", 3).keep();  // a buffer smaller than the file
  EXPECT_EQ(readFile(dir / "copy"), "new");
  { posix::NewFile unkept = posix::copyToNewFile(dir / "target", dir / "unkept", 64); }
  EXPECT_FALSE(fs::exists(dir / "unkept"));
}

TEST(PosixFileTest, FailuresNameTheirPathAndErrnoAndLeaveOtherFilesAlone) {
  TempDir dir;
  writeFile(dir / "existing", "someone else's");
  try {
    posix::NewFile clash(dir / "existing", 0644);
    ADD_FAILURE() << "created over an existing file";
  } catch (const fs::filesystem_error& error) {
    EXPECT_EQ(error.code().value(), EEXIST);
    EXPECT_EQ(error.path1(), dir / "existing");
    EXPECT_NE(std::string(error.what()).find("cannot create file"), std::string::npos) << error.what();
  }
  EXPECT_EQ(readFile(dir / "existing"), "someone else's");

  // The source is opened first: a missing source creates nothing.
  try {
    posix::copyToNewFile(dir / "missing", dir / "copy", 64).keep();
    ADD_FAILURE() << "copied a missing file";
  } catch (const fs::filesystem_error& error) {
    EXPECT_EQ(error.code().value(), ENOENT);
    EXPECT_EQ(error.path1(), dir / "missing");
  }
  EXPECT_FALSE(fs::exists(dir / "copy"));

  // Reading a folder fails on read(2), after the target was created: the target goes again.
  fs::create_directories(dir / "folder");
  EXPECT_THROW(posix::copyToNewFile(dir / "folder", dir / "copy", 64), fs::filesystem_error);
  EXPECT_FALSE(fs::exists(dir / "copy"));
}

}  // namespace
}  // namespace sayloom
