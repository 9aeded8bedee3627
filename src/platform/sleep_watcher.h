#pragma once
// The notification that the machine is about to sleep, and a way to make sleep wait for a short
// piece of work (stopping and saving a recording).
//
// Thread contract: main thread only; `prepareForSleep` is emitted on the main thread.
#include <QObject>

namespace sayloom::platform {

class SleepWatcher : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
  ~SleepWatcher() override = default;

  // Asks the system to hold back sleep until `releaseDelay` (within the system's own time limit).
  // Holding twice is the same as holding once.
  virtual void holdDelay() = 0;
  // Lets sleep proceed; nothing happens when no delay is held.
  virtual void releaseDelay() = 0;
  // Whether a delay is currently held (granted by the system).
  virtual bool delayHeld() const = 0;

signals:
  // The machine is about to sleep.
  void prepareForSleep();
};

}  // namespace sayloom::platform
