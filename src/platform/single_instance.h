#pragma once
// One application per data folder. The first start claims the folder: for its whole life it holds
// an flock(2) lock on root / "Locks" / "app.lock" and owns a name on the session bus made from the
// folder ("kr.tovik.Sayloom.d" followed by 16 hex digits of the SHA-256 of its canonical path),
// where it answers "Activate" (interface "kr.tovik.Sayloom.Instance", object "/kr/tovik/Sayloom")
// by showing its studio window. A later start with the same folder asks the first to come forward
// and ends; where no bus reaches the first, the lock still keeps the second out. The kernel drops
// the lock and the bus drops the name when the holder ends, however it ends.
//
// Thread contract: main thread only; needs a QCoreApplication (the bus delivers "Activate" through
// the event loop). Error convention: nothing throws. A lock file that cannot be made leaves the bus
// name as the only guard, and without either the start goes on as the first.
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>

#include "core/posix_file.h"

namespace sayloom::platform {

class SingleInstance : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "kr.tovik.Sayloom.Instance")

public:
  enum class Claim {
    first,        // this process runs the application for the folder
    activated,    // another process runs it and was asked to show its studio window
    unreachable,  // another process runs it and could not be asked (no session bus)
  };

  explicit SingleInstance(std::filesystem::path root, QObject* parent = nullptr);

  // Claims the data folder. On `first`, `activate` runs on every later start's request.
  Claim claim(std::function<void()> activate);

  // The bus name of data folder `root` (which must exist for its canonical path to be found).
  static QString busName(const std::filesystem::path& root);
  // root / "Locks" / "app.lock"
  static std::filesystem::path lockFile(const std::filesystem::path& root);

public slots:
  // Called over the bus by a later start.
  Q_SCRIPTABLE void Activate();

private:
  enum class Lock { taken, heldElsewhere, unavailable };
  Lock takeLock();
  bool ownBusName();
  bool askFirstToActivate();

  std::filesystem::path m_root;
  posix::Descriptor m_lock;
  std::function<void()> m_activate;
};

}  // namespace sayloom::platform
