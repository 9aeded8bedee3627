// The application killed with SIGKILL at chosen moments of real recordings (the test PulseAudio's
// sine source, the scripted engine): while starting, in the middle of a chunk, at a chunk boundary,
// while a note is saved, while a recording stops and while a note's audio is exported. After each
// kill every finished chunk is full and in order, holds an unbroken sine, and no audio the
// program had reported as written is missing; the next start leaves no temporary file beside a
// note; and at the end every note lists and recovery rebuilds each transcript from its chunks.
//
// SAYLOOM_SOAK_KILLS sets the number of kills (20 by default; `make soak` runs more) and
// SAYLOOM_SOAK_SEED the random seed (printed, so that a failing run can be repeated).
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>

#include "app/app_model_fixture.h"
#include "core/chunk_files.h"
#include "core/wave.h"

extern char** environ;

namespace sayloom::test {
namespace {

using Clock = std::chrono::steady_clock;

const char* const helperProgram = SAYLOOM_BINARY_DIR "/sayloom_record_until_killed";

std::uint64_t environmentNumber(const char* name, std::uint64_t otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : otherwise;
}

// The recording program with pipes on its standard input and output. Everything it says is read
// through `pump`; a kill is immediate (SIGKILL) and reaps the process.
class Child {
public:
  explicit Child(const std::vector<std::string>& arguments) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(helperProgram)};
    for (const std::string& argument : arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, helperProgram, &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("cannot start the recording program");
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_stdin = in[1];
    m_stdout = out[0];
  }
  ~Child() {
    kill();
    ::close(m_stdin);
    ::close(m_stdout);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  int output() const { return m_stdout; }
  void send(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    [[maybe_unused]] const ssize_t sent = ::write(m_stdin, text.data(), text.size());
  }
  void kill() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
      m_pid = 0;
      pump();
    }
  }

  // Reads whatever the program has written so far without waiting.
  void pump() {
    char buffer[4096];
    for (;;) {
      pollfd ready{m_stdout, POLLIN, 0};
      if (::poll(&ready, 1, 0) <= 0 || (ready.revents & (POLLIN | POLLHUP)) == 0) {
        return;
      }
      const ssize_t got = ::read(m_stdout, buffer, sizeof buffer);
      if (got <= 0) {
        return;
      }
      m_pending.append(buffer, static_cast<std::size_t>(got));
      for (std::size_t end; (end = m_pending.find('\n')) != std::string::npos;) {
        take(m_pending.substr(0, end));
        m_pending.erase(0, end + 1);
      }
    }
  }

  bool said(std::string_view word) const { return m_words.contains(std::string(word)); }
  const std::optional<std::string>& noteID() const { return m_noteID; }
  std::int64_t written() const { return m_written; }
  const std::string& failure() const { return m_failure; }

private:
  void take(const std::string& line) {
    const std::size_t space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    m_words.insert(word);
    if (word == "recording") {
      m_noteID = rest;
    } else if (word == "written") {
      m_written = std::max<std::int64_t>(m_written, std::stoll(rest));
    } else if (word == "failed") {
      m_failure = rest;
    }
  }

  pid_t m_pid = 0;
  int m_stdin = -1;
  int m_stdout = -1;
  std::string m_pending;
  std::set<std::string> m_words;
  std::optional<std::string> m_noteID;
  std::int64_t m_written = 0;
  std::string m_failure;
};

// Watches one folder for new names, so that a kill can follow the creation of a file at once.
class FolderWatch {
public:
  explicit FolderWatch(const fs::path& folder) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MOVED_TO);
  }
  ~FolderWatch() { ::close(m_fd); }
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  int fd() const { return m_fd; }
  // True when a name created since the last call satisfies `match`.
  bool created(const std::function<bool(std::string_view)>& match) {
    alignas(inotify_event) char buffer[8192];
    bool found = false;
    for (ssize_t got; (got = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0 && match(event->name)) {
          found = true;
        }
        at += sizeof(inotify_event) + event->len;
      }
    }
    return found;
  }

private:
  int m_fd;
};

// Runs until `done` holds (true) or the time is up (false), reading the program's output as it
// comes. With a watch, `done` is also asked as soon as the folder changes, so that the caller can
// kill at that very instant.
bool waitUntil(Child& child, const std::function<bool()>& done, int timeoutMs, FolderWatch* watch = nullptr) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    child.pump();
    if (done()) {
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      return false;
    }
    std::array<pollfd, 2> fds{pollfd{child.output(), POLLIN, 0}, pollfd{watch ? watch->fd() : -1, POLLIN, 0}};
    ::poll(fds.data(), fds.size(), static_cast<int>(std::min<long long>(left, 50)));
  }
}

// A 440 Hz sine sampled at 16 kHz follows s[n] = 2 cos(w) s[n-1] - s[n-2] up to rounding, across
// chunk boundaries too; a torn, doubled, shifted or zeroed piece breaks it. The first samples carry
// the converter's start-up, and after a stop the last ones its flushed tail: both are skipped.
// Returns the first sample index that breaks it.
std::optional<std::size_t> sineBreak(const std::string& pcm) {
  constexpr std::size_t warmUp = 200;
  constexpr std::size_t tail = 256;
  constexpr double tolerance = 32;
  const double factor = 2 * std::cos(2 * M_PI * 440.0 / 16'000.0);
  const auto sample = [&pcm](std::size_t n) {
    return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[2 * n]) |
                                                         static_cast<std::uint8_t>(pcm[2 * n + 1]) << 8));
  };
  for (std::size_t n = warmUp; n + tail < pcm.size() / 2; ++n) {
    if (std::fabs(sample(n) - (factor * sample(n - 1) - sample(n - 2))) > tolerance) {
      return n;
    }
  }
  return std::nullopt;
}

enum class Moment { midChunk, stopping, starting, noteSave, chunkBoundary, exporting };

const char* nameOf(Moment moment) {
  switch (moment) {
    case Moment::midChunk:
      return "mid-chunk";
    case Moment::stopping:
      return "stopping";
    case Moment::starting:
      return "starting";
    case Moment::noteSave:
      return "note save";
    case Moment::chunkBoundary:
      return "chunk boundary";
    case Moment::exporting:
      return "export";
  }
  return "?";
}

bool isTemporary(std::string_view name) { return name.ends_with(".tmp"); }

class KillSoakTest : public AppModelTest {
protected:
  std::set<std::string> noteFolders() const {
    std::set<std::string> names;
    if (fs::exists(root() / "Notes")) {
      for (const auto& entry : fs::directory_iterator(root() / "Notes")) {
        names.insert(entry.path().filename().string());
      }
    }
    return names;
  }

  // Temporary files beside any note but `except` (whose writes may still be running).
  std::vector<fs::path> temporariesBesideNotes(const std::string& except) const {
    std::vector<fs::path> found;
    if (!fs::exists(root() / "Notes")) {
      return found;
    }
    for (const auto& entry : fs::recursive_directory_iterator(root() / "Notes")) {
      const fs::path relative = fs::relative(entry.path(), root() / "Notes");
      if (*relative.begin() != except && isTemporary(entry.path().filename().string())) {
        found.push_back(relative);
      }
    }
    return found;
  }

  // Every finished chunk of the note is full, the chunks run from index 0 without a gap, their
  // samples form one unbroken sine, and they hold at least `written` bytes.
  void checkAudio(const std::string& id, std::int64_t written) {
    SCOPED_TRACE("note " + id);
    const fs::path folder = audioFolder(id);
    if (!fs::exists(folder)) {
      EXPECT_EQ(written, 0) << "the audio folder is gone";
      return;
    }
    const std::vector<chunks::ChunkFile> files = chunks::list(folder);
    std::string pcm;
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(files[i].path.filename().string(), chunks::fileName(static_cast<std::int64_t>(i)));
      if (i + 1 < files.size()) {
        EXPECT_EQ(files[i].size, static_cast<std::uint64_t>(chunks::bytesPerChunk)) << "chunk " << i;
      }
      EXPECT_LE(files[i].size, static_cast<std::uint64_t>(chunks::bytesPerChunk)) << "chunk " << i;
      pcm += readFile(files[i].path);
    }
    EXPECT_GE(static_cast<std::int64_t>(pcm.size()), written) << "audio reported as written is missing";
    const std::optional<std::size_t> broken = sineBreak(pcm);
    EXPECT_FALSE(broken) << "the sine breaks at sample " << *broken << " of " << pcm.size() / 2;
    m_bytesChecked += pcm.size();
    m_chunksChecked += files.size();
  }

  // The stored audio of a note as the WAV export writes it.
  std::string expectedWav(const std::string& id) {
    std::string body;
    for (const chunks::ChunkFile& file : chunks::list(audioFolder(id))) {
      body += readFile(file.path);
    }
    const auto header = wave::header(body.size());
    return std::string(header.data(), header.size()) + body;
  }

  std::uint64_t m_bytesChecked = 0;
  std::uint64_t m_chunksChecked = 0;
};

TEST_F(KillSoakTest, NoAudioIsLostWhenTheAppIsKilledAtAnyMoment) {
  const std::uint64_t kills = environmentNumber("SAYLOOM_SOAK_KILLS", 20);
  const std::uint64_t seed = environmentNumber("SAYLOOM_SOAK_SEED", std::random_device{}());
  std::cout << "kill soak: " << kills << " kills, SAYLOOM_SOAK_SEED=" << seed << std::endl;
  std::mt19937_64 random(seed);
  const auto uniform = [&random](std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
  };
  installModel();
  engineSays("soak");

  const fs::path exports = m_dir / "exports";
  fs::create_directories(exports);
  std::map<Moment, int> killed;
  std::string previousNote;  // checked for temporaries once the next program has started
  std::optional<std::string> exportSource;
  for (std::uint64_t round = 0; round < kills; ++round) {
    const auto moment = static_cast<Moment>(round % 6);
    if (moment == Moment::exporting && !exportSource) {
      continue;  // nothing recorded yet to export
    }
    SCOPED_TRACE(std::string("kill ") + std::to_string(round) + " " + nameOf(moment));
    const std::set<std::string> before = noteFolders();
    const fs::path destination = exports / ("export-" + std::to_string(round) + ".wav");
    const std::string previousExport = "an earlier export, kept until a new one is complete";

    std::optional<Child> child;
    if (moment == Moment::exporting) {
      writeFile(destination, previousExport);
      child.emplace(std::vector<std::string>{"--export", *exportSource, destination.string()});
    } else {
      child.emplace(std::vector<std::string>{});
    }
    const auto started = [&child] {
      return child->noteID().has_value() || child->said("exporting") || child->said("failed");
    };

    std::string detail;
    switch (moment) {
      case Moment::starting: {
        const std::int64_t delay = uniform(0, 900);
        waitUntil(
            *child, [] { return false; }, static_cast<int>(delay));
        detail = "after " + std::to_string(delay) + " ms";
        break;
      }
      case Moment::midChunk: {
        ASSERT_TRUE(waitUntil(*child, started, 60'000)) << "the recording did not start";
        const std::int64_t target = uniform(chunks::bytesPerSecond / 4, chunks::bytesPerChunk * 15 / 16);
        ASSERT_TRUE(waitUntil(
            *child, [&] { return child->written() >= target; }, 60'000));
        const std::int64_t delay = uniform(0, 1'500);
        waitUntil(
            *child, [] { return false; }, static_cast<int>(delay));
        detail = std::to_string(target) + " bytes + " + std::to_string(delay) + " ms";
        break;
      }
      case Moment::chunkBoundary: {
        ASSERT_TRUE(waitUntil(*child, started, 60'000)) << "the recording did not start";
        FolderWatch watch(audioFolder(*child->noteID()));
        ASSERT_TRUE(waitUntil(
            *child,
            [&] { return watch.created([](std::string_view name) { return name == "00000001.pcm"; }); },
            60'000, &watch));
        child->kill();
        detail = "when 00000001.pcm appeared";
        break;
      }
      case Moment::noteSave: {
        ASSERT_TRUE(waitUntil(*child, started, 60'000)) << "the recording did not start";
        FolderWatch watch(noteFolder(*child->noteID()));
        const bool atStop = (round / 6) % 2 == 0;
        if (atStop) {
          ASSERT_TRUE(waitUntil(
              *child, [&] { return child->written() > 0; }, 60'000));
          child->send("stop");
        }
        ASSERT_TRUE(waitUntil(
            *child, [&] { return watch.created(isTemporary); }, 60'000, &watch));
        child->kill();
        detail = atStop ? "in the save at stop" : "in the save after the first chunk";
        break;
      }
      case Moment::stopping: {
        ASSERT_TRUE(waitUntil(*child, started, 60'000)) << "the recording did not start";
        const std::int64_t target = uniform(1, chunks::bytesPerSecond * 3);
        ASSERT_TRUE(waitUntil(
            *child, [&] { return child->written() >= target; }, 60'000));
        child->send("stop");
        const std::int64_t delay = uniform(0, 120);
        waitUntil(
            *child, [] { return false; }, static_cast<int>(delay));
        detail = std::to_string(delay) + " ms into the stop";
        break;
      }
      case Moment::exporting: {
        FolderWatch watch(exports);
        const bool onCreation = round % 2 == 0;
        if (onCreation) {
          ASSERT_TRUE(waitUntil(
              *child, [&] { return watch.created(isTemporary) || child->said("exported"); }, 60'000, &watch));
          child->kill();
          detail = "when the temporary file appeared";
        } else {
          ASSERT_TRUE(waitUntil(*child, started, 60'000));
          const std::int64_t delay = uniform(0, 20);
          waitUntil(
              *child, [] { return false; }, static_cast<int>(delay));
          detail = std::to_string(delay) + " ms into the export";
        }
        break;
      }
    }
    child->kill();
    ++killed[moment];
    EXPECT_TRUE(child->failure().empty()) << child->failure();

    // The program before this one has been followed by a start that listed the notes.
    if (started() && !previousNote.empty()) {
      EXPECT_EQ(temporariesBesideNotes(child->noteID().value_or("")), std::vector<fs::path>{})
          << "left after the next start";
    }

    if (moment == Moment::exporting) {
      const std::string now = readFile(destination);
      EXPECT_TRUE(now == previousExport || now == expectedWav(*exportSource))
          << "the export's destination holds " << now.size() << " bytes of neither the old nor the new file";
    } else {
      std::set<std::string> made = noteFolders();
      for (const std::string& name : before) {
        made.erase(name);
      }
      EXPECT_LE(made.size(), 1U);
      for (const std::string& id : made) {
        checkAudio(id, child->written());
        previousNote = id;
        if (child->written() >= chunks::bytesPerSecond) {
          exportSource = id;
        }
      }
      if (made.empty()) {
        EXPECT_FALSE(child->noteID()) << "a recording without a note folder";
      }
    }
    std::cout << "kill " << round << ": " << nameOf(moment) << ", " << detail << ", " << child->written()
              << " bytes reported written" << std::endl;
  }

  // The last start: every note folder lists, nothing is left over, and recovery rebuilds each
  // transcript from the stored chunks.
  AppModel& model = makeModel();
  EXPECT_FALSE(model.appStatus().warning()) << model.appStatus().warning()->toStdString();
  EXPECT_EQ(model.library().notes().size(), noteFolders().size());
  EXPECT_EQ(temporariesBesideNotes(""), std::vector<fs::path>{});
  std::size_t recovered = 0;
  for (const NativeNote& listed : std::vector<NativeNote>(model.library().notes())) {
    const std::string& id = listed.id;
    SCOPED_TRACE("recovering " + id);
    std::vector<std::string> expected;
    const std::vector<chunks::ChunkFile> files =
        fs::exists(audioFolder(id)) ? chunks::list(audioFolder(id)) : std::vector<chunks::ChunkFile>{};
    for (const chunks::ChunkFile& file : files) {
      if (file.size >= WhisperRecognitionService::minimumChunkBytes) {
        expected.push_back(std::to_string(*chunks::indexOf(file.path)) + "-0");
      }
    }
    model.appStatus().setWarning(std::nullopt);
    model.library().setSelectedNoteID(QString::fromStdString(id));
    QCoro::waitFor(model.recoverSelected());
    ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 120'000));
    if (files.empty()) {
      EXPECT_EQ(model.appStatus().warning(), QStringLiteral("복구할 오디오 파일이 없습니다."));
      continue;
    }
    EXPECT_FALSE(model.appStatus().warning()) << model.appStatus().warning()->toStdString();
    const NativeNote* note = model.library().find(QString::fromStdString(id));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->completed);
    std::vector<std::string> ids;
    for (const TranscriptEntry& entry : note->segments) {
      ids.push_back(entry.id);
    }
    EXPECT_EQ(ids, expected);
    EXPECT_DOUBLE_EQ(note->durationSeconds,
                     static_cast<double>(chunks::totalBytes(files)) / chunks::bytesPerSecond);
    ++recovered;
  }
  std::cout << "kill soak: " << kills << " kills (";
  for (const auto& [moment, count] : killed) {
    std::cout << nameOf(moment) << " " << count << ", ";
  }
  std::cout << "), " << m_chunksChecked << " chunks and " << m_bytesChecked << " bytes checked, "
            << model.library().notes().size() << " notes listed, " << recovered << " recovered" << std::endl;
}

}  // namespace
}  // namespace sayloom::test
