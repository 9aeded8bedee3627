// Holds a note's lock as sayloom-cli does while it records or rebuilds that note, so a test can
// meet the lock from another process.
//
//   sayloom_hold_note_lock <data folder> <note id>
//       Prints "held" once it has the lock (or "failed <text>" and exits 1) and keeps it until its
//       standard input closes.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "core/recording_lock.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sayloom_hold_note_lock <data folder> <note id>\n");
    return 2;
  }
  try {
    const sayloom::RecordingLock lock = sayloom::RecordingLock::acquire(argv[1], argv[2]);
    std::printf("held\n");
    std::fflush(stdout);
    char byte = 0;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
  } catch (const std::exception& error) {
    std::printf("failed %s\n", error.what());
    return 1;
  }
  return 0;
}
