#pragma once
// Collects an AudioCapture's callbacks, which arrive on the capture worker, for checks on the test
// thread.
#include <QCoroTask>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/recording/audio_capture.h"
#include "support/file_bytes.h"

namespace sayloom::test {

class CaptureRecorder {
public:
  struct Chunk {
    std::filesystem::path file;
    std::int64_t index = 0;
    bool duringStop = false;  // reported after markStopping()
  };

  void attach(AudioCapture& capture) {
    capture.onProgress = [this](double seconds, float level) {
      std::lock_guard lock(m_mutex);
      m_seconds.push_back(seconds);
      m_levels.push_back(level);
      noteThread();
      m_changed.notify_all();
    };
    capture.onChunk = [this](const std::filesystem::path& file, std::int64_t index) {
      std::lock_guard lock(m_mutex);
      m_chunks.push_back({file, index, m_stopping});
      noteThread();
      m_changed.notify_all();
    };
    capture.onError = [this](const std::string& message) {
      std::lock_guard lock(m_mutex);
      m_errors.push_back(message);
      noteThread();
      m_changed.notify_all();
    };
  }

  void markStopping() {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }

  // Waits until `done` (called under the recorder's lock) holds; false after `limit`.
  template <typename Done>
  bool waitUntil(Done done, std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] { return done(*this); });
  }

  std::vector<Chunk> chunks() const { return locked(m_chunks); }
  std::vector<std::string> errors() const { return locked(m_errors); }
  std::vector<double> seconds() const { return locked(m_seconds); }
  std::vector<float> levels() const { return locked(m_levels); }
  // Whether any callback ran on the thread of the test itself.
  bool calledOnTestThread() const {
    std::lock_guard lock(m_mutex);
    return m_onTestThread;
  }

  // Unlocked views for waitUntil's predicate.
  const std::vector<Chunk>& chunksUnlocked() const { return m_chunks; }
  const std::vector<std::string>& errorsUnlocked() const { return m_errors; }
  const std::vector<double>& secondsUnlocked() const { return m_seconds; }

private:
  template <typename T>
  T locked(const T& value) const {
    std::lock_guard lock(m_mutex);
    return value;
  }
  void noteThread() { m_onTestThread = m_onTestThread || std::this_thread::get_id() == m_testThread; }

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::thread::id m_testThread = std::this_thread::get_id();
  bool m_stopping = false;
  bool m_onTestThread = false;
  std::vector<Chunk> m_chunks;
  std::vector<std::string> m_errors;
  std::vector<double> m_seconds;
  std::vector<float> m_levels;
};

inline std::vector<std::filesystem::path> pcmFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".pcm") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace sayloom::test
