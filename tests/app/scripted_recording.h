#pragma once
// Recordings of the application model on the scripted capture source (no sound server): the
// test pushes samples as the sound server's thread would, and the 1:1 converter makes every pushed
// sample one stored sample, so that chunk sizes follow exactly from what was pushed.
#include <QCoro/QCoroTask>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/app_model_fixture.h"
#include "app/scripted_audio.h"

namespace sayloom::test {

// Samples in one full chunk.
inline constexpr std::int64_t samplesPerChunk = 128'000;

class ScriptedRecordingTest : public AppModelTest {
protected:
  AppModel& makeScriptedModel(std::unique_ptr<platform::SleepWatcher> sleepWatcher = nullptr) {
    return makeModel(std::move(sleepWatcher), [this] { return scriptedCapture(source, converter); });
  }

  // Pushes `count` samples of a loud tone and waits until the capture has written them.
  void push(std::int64_t count) {
    RecordingSession& session = m_model->session();
    const double target = session.elapsed() + static_cast<double>(count) / 16'000;
    while (count > 0) {
      const std::int64_t block = std::min<std::int64_t>(count, 40'000);
      source.push(std::vector<float>(static_cast<std::size_t>(block), 0.25f));
      count -= block;
      ASSERT_TRUE(eventually([&] { return session.elapsed() >= target - count / 16'000.0 - 1e-9; }, 10'000));
    }
  }

  NativeNote storedCopy(const QString& id) const {
    for (NativeNote& note : LocalNoteStore(root()).list().notes) {
      if (note.id == id.toStdString()) {
        return note;
      }
    }
    ADD_FAILURE() << "note " << id.toStdString() << " is not stored";
    return {};
  }

  QString start(AppModel& model) {
    QCoro::waitFor(model.startRecording());
    EXPECT_TRUE(model.session().recording());
    return model.session().activeNoteID().value_or(QString());
  }

public:
  SourceScript source;
  ConverterScript converter;
};

}  // namespace sayloom::test
