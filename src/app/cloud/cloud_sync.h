#pragma once
// The model's seam to the cloud: the account, the chosen workspace, and the points where the
// recording pipeline hands a note to the cloud. `LocalOnlyCloud` is the do-nothing side used until
// an account service fills the seam: nobody is signed in and nothing leaves the machine.
//
// Thread contract: main thread only. A cloud failure never fails these calls: it becomes the
// model's warning, and local audio and notes are never touched by it.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include "core/native_note.h"

namespace sayloom {

class CloudSync : public QObject {
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

  // Start-up: restores the stored account and reads its workspaces. False when the account could
  // not be restored (the warning is set); the start-up then ends.
  virtual QCoro::Task<bool> restore() = 0;
  // At the start of a recording with live translation into `language`: binds `note` to the signed-in
  // account and the chosen workspace and returns true, or returns false when there is no model,
  // account or workspace to translate with.
  virtual bool bindLiveNote(NativeNote& note, const QString& language, bool modelReady) const = 0;
  // Keeps a recording note in step with the cloud (translating its new entries when `translate`).
  virtual QCoro::Task<void> syncLiveNote(QString noteID, bool translate) = 0;
  // Shutdown: cancels a sign-in in progress, without waiting.
  virtual void cancelSignIn() = 0;

signals:
  void workspaceIDChanged();
  void signingInChanged();

protected:
  void setSigningIn(bool on) {
    if (m_signingIn != on) {
      m_signingIn = on;
      emit signingInChanged();
    }
  }

private:
  QString m_workspaceID;
  bool m_signingIn = false;
};

// No account: live translation is never possible and nothing is synced.
class LocalOnlyCloud final : public CloudSync {
  Q_OBJECT
public:
  using CloudSync::CloudSync;
  QCoro::Task<bool> restore() override { co_return true; }
  bool bindLiveNote(NativeNote&, const QString&, bool) const override { return false; }
  QCoro::Task<void> syncLiveNote(QString, bool) override { co_return; }
  void cancelSignIn() override {}
};

}  // namespace sayloom
