#pragma once
// A data folder of the size users reach after weeks of use: a thousand notes of a hundred transcript
// entries each (one in ten never completed, some titles long enough to wrap), a six-hour note with
// its 2,700 chunk files, and as many overlay presets as the app keeps. The notes and presets are
// encoded by the core's own types and encoder; the chunk files are sparse, so they read as silence
// and cost no disk. Written once per test program into a scratch folder and handed to each test as
// a tree of hard links, which stays safe because the program only ever replaces files by renaming.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/native_note.h"
#include "core/overlay_preset.h"
#include "core/preset_document.h"
#include "core/preset_store.h"
#include "support/temp_dir.h"

namespace sayloom::test {

class RealisticDataFolder {
public:
  static constexpr int noteCount = 1'000;
  static constexpr int entriesPerNote = 100;
  static constexpr int longNoteChunks = 2'700;  // six hours of eight-second chunks
  static constexpr const char* longNoteTitle = "여섯 시간 워크숍 녹음";

  // Fills `root` (made when missing) with the folder.
  static const RealisticDataFolder& linkInto(const std::filesystem::path& root) {
    const RealisticDataFolder& made = shared();
    std::filesystem::create_directories(root);
    for (auto it = std::filesystem::recursive_directory_iterator(made.m_root.path());
         it != std::filesystem::recursive_directory_iterator(); ++it) {
      const std::filesystem::path target = root / it->path().lexically_relative(made.m_root.path());
      if (it->is_directory()) {
        std::filesystem::create_directories(target);
      } else {
        std::filesystem::create_hard_link(it->path(), target);
      }
    }
    return made;
  }

  // The ids of every note, newest first as the notes are listed (the six-hour note second).
  const std::vector<std::string>& ids() const { return m_ids; }
  const std::vector<std::string>& titles() const { return m_titles; }
  const std::string& longNoteID() const { return m_ids[1]; }
  // The text of entry `i` of a note with title `title`.
  static std::string entryText(const std::string& title, int i) {
    return title + " — 문장 " + std::to_string(i) + ": 다음 분기 일정과 예산을 정리했습니다.";
  }

private:
  static const RealisticDataFolder& shared() {
    static const std::unique_ptr<RealisticDataFolder> made(new RealisticDataFolder);
    return *made;
  }

  RealisticDataFolder() {
    const std::filesystem::path& root = m_root.path();
    const Timestamp newest = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    for (int i = 0; i < noteCount + 1; ++i) {
      NativeNote note;
      const bool isLong = i == 1;
      note.title = isLong ? longNoteTitle : noteTitle(i);
      note.createdAt = newest - std::chrono::hours(i);
      note.durationSeconds = isLong ? longNoteChunks * 8.0 : 60.0 + i % 3'000;
      note.completed = !isLong && i % 10 != 7;
      for (int e = 0; e < entriesPerNote; ++e) {
        TranscriptEntry entry;
        entry.id = std::to_string(e / 3) + "-" + std::to_string(e % 3);
        entry.sequence = (e / 3) * 1'000 + e % 3;
        entry.text = entryText(note.title, e);
        entry.startTimeMs = e * 2'600;
        entry.endTimeMs = entry.startTimeMs + 2'500;
        entry.translation = e % 4 == 0 ? "We went over next quarter's schedule and budget." : "";
        note.segments.push_back(std::move(entry));
      }
      writeFile(DataPaths::noteDirectory(note.id, root) / "note.json",
                AtomicFile::encode(nlohmann::json(note)));
      if (isLong) {
        writeSilentChunks(DataPaths::audioDirectory(note.id, root));
      }
      m_ids.push_back(note.id);
      m_titles.push_back(note.title);
    }
    std::vector<OverlayPreset> presets = OverlayPreset::builtIns();
    for (std::size_t i = 0; presets.size() < PresetDocument::maxPresets; ++i) {
      presets.push_back(presets[i % 4].duplicate("사용자 프리셋 " + std::to_string(i + 1)));
    }
    PresetStore(root).save(presets);
  }

  // Plain titles, and every fifth one long enough to wrap in the sidebar.
  static std::string noteTitle(int i) {
    if (i % 5 == 3) {
      return "분기 계획 회의 " + std::to_string(i) +
             " · Quarterly planning with the design and research teams";
    }
    return "주간 회의 " + std::to_string(i);
  }

  static void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }

  static void writeSilentChunks(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < longNoteChunks; ++i) {
      const std::string file = (folder / chunks::fileName(i)).string();
      const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || ::ftruncate(fd, chunks::bytesPerChunk) != 0) {
        std::abort();
      }
      ::close(fd);
    }
  }

  TempDir m_root;
  std::vector<std::string> m_ids;
  std::vector<std::string> m_titles;
};

}  // namespace sayloom::test
