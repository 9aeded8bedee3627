#pragma once
// The cloud part of the model with an account: restores the stored account at start and reads
// its workspaces, pairs through the browser and forgets the account, saves the selected note to
// the chosen workspace, keeps a live-translated recording in step with the cloud, and opens notes
// in the web application. Every failure becomes the model's warning; local audio and notes are
// never lost to it (what the sync saved is merged with what was recorded meanwhile).
//
// A sync of a note linked to the cloud waits for the one that runs; the model keeps the user's
// own save from starting meanwhile (see CloudContext::busy). The syncs the program's end cut short
// are marked on their notes (NativeNote::cloudSyncPending) and run again after the next restore.
//
// Thread contract: main thread only; the account and the notes service interleave only at their
// awaits, and the notes service refuses a second sync while one runs.
#include <QUrl>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/cloud/account_link.h"
#include "app/cloud/cloud_access.h"
#include "app/cloud/cloud_notes_service.h"
#include "app/concurrency/task_handle.h"

namespace sayloom {

namespace platform {
class WebBrowser;
}

class AccountCloudAccess final : public CloudAccess {
  Q_OBJECT

public:
  AccountCloudAccess(std::unique_ptr<AccountLink> account, std::unique_ptr<platform::WebBrowser> browser,
                     QObject* parent = nullptr);
  ~AccountCloudAccess() override;

  // The web application's pairing page for `pairingID`, its note page and its note list.
  static QUrl pairingPage(const QString& pairingID);
  static QUrl notePage(const std::optional<std::string>& workspaceID,
                       const std::optional<std::string>& cloudNoteID);

  void attach(CloudContext context) override;
  QCoro::Task<bool> restore() override;
  bool bindLiveNote(NativeNote& note, const QString& language, bool modelReady) const override;
  QCoro::Task<void> syncLiveNote(QString noteID, bool translate) override;
  void cancelSignIn() override;
  void windDown(std::chrono::milliseconds wait) override;
  void signIn() override;
  QCoro::Task<void> signOut() override;
  QCoro::Task<void> reloadWorkspaces() override;
  QCoro::Task<void> syncSelected(bool translate) override;
  void openWebNote() override;

signals:
  // A sync of the notes service ended (the next one may start).
  void syncEnded();

private:
  QCoro::Task<void> pair(QString pairingID, TaskHandle handle);
  // Shows nobody signed in and drops the answers still on their way for the account.
  void forgetAccount();
  // The notes service's sync, cancelled by the wind-down (and refused after it).
  QCoro::Task<NativeNote> runSync(NativeNote note, CloudWorkspace workspace, bool translate);
  void announceSyncEnded();
  // Marks note `noteID` (as stored, with what was recorded meanwhile) for a sync at the next start.
  QCoro::Task<void> owe(QString noteID, bool translate);
  // Keeps a synced note: merged with what was recorded meanwhile, no longer owed, saved.
  QCoro::Task<void> keepSynced(QString noteID, NativeNote synced);
  // Runs the syncs marked on the notes, one after another, keeping the model busy meanwhile.
  QCoro::Task<void> resumeOwed();
  // Lists the workspaces and chooses the first, unless the account went meanwhile; throws the
  // listing's failure.
  QCoro::Task<void> loadWorkspaces();
  const CloudWorkspace* workspace(const std::string& id) const;
  CloudNotesService& service();

  std::unique_ptr<AccountLink> m_account;
  std::unique_ptr<platform::WebBrowser> m_browser;
  std::optional<CloudContext> m_context;
  std::unique_ptr<CloudNotesService> m_service;
  std::optional<TaskHandle> m_login;
  // Counts the accounts forgotten; work for an account captures it and drops its answer when it changed.
  std::uint64_t m_accountGeneration = 0;
  std::stop_source m_cancel;  // signalled when the wind-down's wait is over
};

}  // namespace sayloom
