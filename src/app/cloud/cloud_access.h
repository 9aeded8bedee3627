#pragma once
// The model's seam to the cloud: the account and its workspaces, the chosen workspace, the user's
// cloud commands, and the points where the recording pipeline hands a note to the cloud.
// `LocalOnlyCloud` is the do-nothing side used until an account service fills the seam: nobody is
// signed in and nothing leaves the machine.
//
// Thread contract: main thread only. A cloud failure never fails these calls: it becomes the
// model's warning, and local audio and notes are never touched by it.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "core/cloud_workspace.h"
#include "core/firebase_profile.h"
#include "core/native_note.h"

namespace sayloom {

class AppStatus;
class NoteLibrary;

// What the cloud part reaches of the rest of the model, handed over once by the model after its
// parts are made.
struct CloudContext {
  NoteLibrary& library;
  AppStatus& status;
  // True while a recording, a start or stop, an export or recognition runs.
  std::function<bool()> busy;
  // The target language chosen in the studio.
  std::function<QString()> translationLanguage;
  // Shows the newest caption again after a note changed.
  std::function<void()> refreshOverlays;
};

class CloudAccess : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString workspaceID READ workspaceID WRITE setWorkspaceID NOTIFY workspaceIDChanged)
  Q_PROPERTY(bool signingIn READ signingIn NOTIFY signingInChanged)

public:
  using QObject::QObject;

  const QString& workspaceID() const { return m_workspaceID; }
  void setWorkspaceID(const QString& id) {
    if (m_workspaceID != id) {
      m_workspaceID = id;
      emit workspaceIDChanged();
    }
  }
  bool signingIn() const { return m_signingIn; }
  // The signed-in account (none when signed out) and its workspaces, personal first.
  const std::optional<FirebaseProfile>& profile() const { return m_profile; }
  const std::vector<CloudWorkspace>& workspaces() const { return m_workspaces; }

  // Called once by the model, before the start-up.
  virtual void attach(CloudContext) {}

  // Start-up: restores the stored account and reads its workspaces, then runs, in the background,
  // the syncs that the program's last end cut short. False when the account could not be restored
  // (the warning is set); the start-up then ends.
  virtual QCoro::Task<bool> restore() = 0;
  // At the start of a recording with live translation into `language`: binds `note` to the signed-in
  // account and the chosen workspace and returns true, or returns false when there is no model,
  // account or workspace to translate with.
  virtual bool bindLiveNote(NativeNote& note, const QString& language, bool modelReady) const = 0;
  // Keeps a recording note in step with the cloud (translating its new entries when `translate`).
  virtual QCoro::Task<void> syncLiveNote(QString noteID, bool translate) = 0;
  // Cancels a sign-in in progress (the user's "로그인 취소", and shutdown), without waiting.
  virtual void cancelSignIn() = 0;
  // The program is ending: cloud work has `wait` more to finish, then what still runs is cancelled.
  // A sync cancelled or refused from then on marks its note, and the next start runs it again.
  virtual void windDown(std::chrono::milliseconds wait) = 0;

  // The user's commands. Pairs this desktop with an account through the browser.
  virtual void signIn() = 0;
  // Forgets the account.
  virtual QCoro::Task<void> signOut() = 0;
  // Lists the account's workspaces again and chooses the first.
  virtual QCoro::Task<void> reloadWorkspaces() = 0;
  // Saves the selected note to the chosen workspace, translating it when `translate`.
  virtual QCoro::Task<void> syncSelected(bool translate) = 0;
  // Opens the selected note (or the note list) in the web application.
  virtual void openWebNote() = 0;

signals:
  void workspaceIDChanged();
  void signingInChanged();
  void profileChanged();
  void workspacesChanged();

protected:
  void setSigningIn(bool on) {
    if (m_signingIn != on) {
      m_signingIn = on;
      emit signingInChanged();
    }
  }

  void setProfile(const std::optional<FirebaseProfile>& profile) {
    if (m_profile != profile) {
      m_profile = profile;
      emit profileChanged();
    }
  }
  void setWorkspaces(const std::vector<CloudWorkspace>& workspaces) {
    if (m_workspaces != workspaces) {
      m_workspaces = workspaces;
      emit workspacesChanged();
    }
  }

private:
  QString m_workspaceID;
  bool m_signingIn = false;
  std::optional<FirebaseProfile> m_profile;
  std::vector<CloudWorkspace> m_workspaces;
};

// No account: live translation is never possible and nothing is synced. Tests derive from it to
// stand in for one command.
class LocalOnlyCloud : public CloudAccess {
  Q_OBJECT
public:
  using CloudAccess::CloudAccess;
  QCoro::Task<bool> restore() override { co_return true; }
  bool bindLiveNote(NativeNote&, const QString&, bool) const override { return false; }
  QCoro::Task<void> syncLiveNote(QString, bool) override { co_return; }
  void cancelSignIn() override {}
  void windDown(std::chrono::milliseconds) override {}
  void signIn() override {}
  QCoro::Task<void> signOut() override { co_return; }
  QCoro::Task<void> reloadWorkspaces() override { co_return; }
  QCoro::Task<void> syncSelected(bool) override { co_return; }
  void openWebNote() override {}
};

}  // namespace sayloom
