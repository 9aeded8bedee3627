#pragma once
// Saves a local note into a cloud workspace and keeps it there: lists the account's active
// workspaces, links the note to its cloud note (once, for good), uploads each transcript entry as
// a segment, charges the workspace's time credits slice by slice with idempotent requests,
// optionally translates the segments, and stamps the cloud note with its duration and status.
// Everything it learns is written back into the note, which is saved locally after every step
// that must survive a crash: the link before any cloud document exists, each slice before it is
// sent, each translation as it arrives.
//
// Error convention: failures are NativeError with the texts of core/cloud_notes_rules.h, or the
// session's own failures (token, HTTP status, transport) unchanged. After a failure from the cloud
// note onwards, a translating sync records the stop second, and the note is saved before the
// failure is reported (a failure of that save is reported instead). A sync whose `stop` is
// signalled ends with Cancelled after saving what it learnt, without recording a stop second.
//
// Thread contract: main thread only. A sync suspends at every network call; `busy` refuses a
// second one meanwhile instead of letting the two interleave.
#include <QCoroTask>
#include <functional>
#include <stop_token>
#include <vector>

#include "core/cloud_contract.h"
#include "core/cloud_workspace.h"
#include "core/native_note.h"

namespace sayloom {

class CloudSession;

class CloudNotesService {
public:
  // Writes a note to the local store; throws the store's error.
  using SaveNote = std::function<QCoro::Task<void>(NativeNote)>;

  CloudNotesService(CloudSession& session, SaveNote save,
                    CloudContract::Clock clock = CloudContract::systemNow);

  bool busy() const { return m_busy; }

  // The signed-in account's active workspaces, personal first.
  QCoro::Task<std::vector<CloudWorkspace>> workspaces();

  // Links `note` into `workspace` when it is not linked yet, uploads its new segments, charges its
  // unbilled time and, when `translate`, translates its untranslated entries. Returns the note as
  // saved.
  QCoro::Task<NativeNote> sync(NativeNote note, CloudWorkspace workspace, bool translate,
                               std::stop_token stop = {});

private:
  QCoro::Task<void> upload(NativeNote& note, const CloudWorkspace& workspace, const std::string& uid);
  QCoro::Task<void> charge(NativeNote& note, const std::string& uid);
  QCoro::Task<void> translateEntries(NativeNote& note, const std::string& uid);
  QCoro::Task<void> finish(NativeNote& note, const std::string& uid);

  CloudSession* m_session;
  SaveNote m_save;
  CloudContract::Clock m_clock;
  bool m_busy = false;
  std::stop_token m_stop;  // of the sync that runs
};

}  // namespace sayloom
