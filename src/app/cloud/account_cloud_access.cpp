// The cloud part of the model with an account.
#include "app/cloud/account_cloud_access.h"

#include <QCoro/QCoroSignal>
#include <QScopeGuard>
#include <QTimer>
#include <QUrlQuery>
#include <QUuid>
#include <algorithm>

#include "app/app_status.h"
#include "app/notes/note_library.h"
#include "core/cloud_contract.h"
#include "core/cloud_notes_rules.h"
#include "platform/web_browser.h"

namespace sayloom {

namespace {
const char* const workspacesUnreadable =
    "계정은 기기에 보관되어 있습니다. 온라인에서 워크스페이스를 다시 불러와 주세요.";
const char* const savedToCloud = "클라우드 노트에 저장했습니다";
const char* const liveSyncStopped = "클라우드 번역을 중지했습니다. 로컬 녹음은 계속됩니다. ";

QString origin() { return QString::fromUtf8(CloudContract::origin.data(), CloudContract::origin.size()); }
}  // namespace

AccountCloudAccess::AccountCloudAccess(std::unique_ptr<AccountLink> account,
                                       std::unique_ptr<platform::WebBrowser> browser, QObject* parent)
    : CloudAccess(parent), m_account(std::move(account)), m_browser(std::move(browser)) {
  // The account can go by itself (a refresh the token service refused): the views follow.
  m_account->onSignedOut([this] { forgetAccount(); });
}

AccountCloudAccess::~AccountCloudAccess() {
  if (m_login) {
    m_login->cancel();
  }
}

QUrl AccountCloudAccess::pairingPage(const QString& pairingID) {
  return QUrl(origin() + QStringLiteral("/desktop-auth?p=") + pairingID);
}

QUrl AccountCloudAccess::notePage(const std::optional<std::string>& workspaceID,
                                  const std::optional<std::string>& cloudNoteID) {
  if (!workspaceID || !cloudNoteID) {
    return QUrl(origin() + QStringLiteral("/notes"));
  }
  QUrl url(origin() + QStringLiteral("/note"));
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("w"), QString::fromStdString(*workspaceID));
  query.addQueryItem(QStringLiteral("n"), QString::fromStdString(*cloudNoteID));
  url.setQuery(query);
  return url;
}

void AccountCloudAccess::attach(CloudContext context) { m_context.emplace(std::move(context)); }

CloudNotesService& AccountCloudAccess::service() {
  if (!m_service) {
    NoteLibrary* library = &m_context->library;
    m_service = std::make_unique<CloudNotesService>(
        *m_account, [library](NativeNote note) { return library->save(std::move(note)); });
  }
  return *m_service;
}

const CloudWorkspace* AccountCloudAccess::workspace(const std::string& id) const {
  const auto found = std::find_if(workspaces().begin(), workspaces().end(),
                                  [&](const CloudWorkspace& workspace) { return workspace.id == id; });
  return found == workspaces().end() ? nullptr : &*found;
}

void AccountCloudAccess::forgetAccount() {
  ++m_accountGeneration;
  setProfile(std::nullopt);
  setWorkspaces({});
  setWorkspaceID(QString());
}

QCoro::Task<void> AccountCloudAccess::loadWorkspaces() {
  const std::uint64_t generation = m_accountGeneration;
  const std::vector<CloudWorkspace> listed = co_await service().workspaces();
  if (generation != m_accountGeneration) {
    co_return;  // the account went while its workspaces were listed
  }
  setWorkspaces(listed);
  setWorkspaceID(listed.empty() ? QString() : QString::fromStdString(listed.front().id));
}

QCoro::Task<bool> AccountCloudAccess::restore() {
  AppStatus& status = m_context->status;
  std::optional<FirebaseProfile> profile;
  try {
    profile = co_await m_account->restore();
  } catch (...) {
    status.warnCurrentException();
    co_return false;
  }
  setProfile(profile);
  if (profile) {
    try {
      co_await loadWorkspaces();
    } catch (...) {
      if (this->profile()) {
        status.warn(QString::fromUtf8(workspacesUnreadable));
      } else {
        status.warnCurrentException();  // the failure took the account with it (a revoked sign-in)
      }
    }
  }
  if (profile) {
    resumeOwed();
  }
  co_return true;
}

bool AccountCloudAccess::bindLiveNote(NativeNote& note, const QString& language, bool modelReady) const {
  const CloudWorkspace* chosen = workspace(workspaceID().toStdString());
  if (!modelReady || !profile() || chosen == nullptr) {
    return false;
  }
  note.workspaceId = chosen->id;
  note.cloudOwnerId = profile()->userId;
  note.translationLanguage = language.toStdString();
  return true;
}

void AccountCloudAccess::signIn() {
  if (signingIn()) {
    return;
  }
  setSigningIn(true);
  const QString pairingID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
  m_browser->open(pairingPage(pairingID));
  TaskHandle handle;
  m_login = handle;
  handle.attach(pair(pairingID, handle));
}

QCoro::Task<void> AccountCloudAccess::pair(QString pairingID, TaskHandle handle) {
  try {
    const FirebaseProfile profile = co_await m_account->signIn(pairingID.toStdString(), handle.token());
    setProfile(profile);
    co_await loadWorkspaces();
  } catch (...) {
    if (!handle.cancelled()) {
      m_context->status.warnCurrentException();
    }
  }
  // signIn refuses while this pairing runs, so the flag is still this pairing's.
  m_login.reset();
  setSigningIn(false);
}

void AccountCloudAccess::cancelSignIn() {
  if (m_login) {
    m_login->cancel();
  }
}

void AccountCloudAccess::windDown(std::chrono::milliseconds wait) {
  QTimer::singleShot(wait, this, [this] { m_cancel.request_stop(); });
}

// From the event loop: a waiting sync must not start inside the one that is ending.
void AccountCloudAccess::announceSyncEnded() {
  QMetaObject::invokeMethod(
      this, [this] { emit syncEnded(); }, Qt::QueuedConnection);
}

QCoro::Task<NativeNote> AccountCloudAccess::runSync(NativeNote note, CloudWorkspace workspace,
                                                    bool translate) {
  if (m_cancel.stop_requested()) {
    throw Cancelled();
  }
  const QScopeGuard ended([this] { announceSyncEnded(); });
  std::stop_token stop = m_cancel.get_token();
  co_return co_await service().sync(std::move(note), std::move(workspace), translate, std::move(stop));
}

QCoro::Task<void> AccountCloudAccess::owe(QString noteID, bool translate) {
  NoteLibrary& library = m_context->library;
  const std::optional<NativeNote> stored = co_await library.stored(noteID);
  NativeNote* current = library.find(noteID);
  if (current == nullptr) {
    co_return;
  }
  NativeNote owed = stored ? CloudNotes::mergeLocal(*stored, *current) : *current;
  owed.cloudSyncPending = translate || owed.cloudSyncPending.value_or(false);
  *current = owed;
  library.markChanged(noteID);
  try {
    co_await library.save(owed);
  } catch (...) {
    m_context->status.warnCurrentException();
  }
}

QCoro::Task<void> AccountCloudAccess::keepSynced(QString noteID, NativeNote synced) {
  NoteLibrary& library = m_context->library;
  // The recording may have moved on during the sync: nothing recorded meanwhile is lost.
  NativeNote* current = library.find(noteID);
  NativeNote merged = current != nullptr ? CloudNotes::mergeLocal(synced, *current) : std::move(synced);
  merged.cloudSyncPending.reset();
  if (current != nullptr) {
    *current = merged;
    library.markChanged(noteID);
  }
  co_await library.save(merged);
}

QCoro::Task<void> AccountCloudAccess::resumeOwed() {
  NoteLibrary& library = m_context->library;
  AppStatus& status = m_context->status;
  std::vector<QString> owed;
  for (const NativeNote& note : library.notes()) {
    if (note.cloudSyncPending) {
      owed.push_back(QString::fromStdString(note.id));
    }
  }
  if (owed.empty()) {
    co_return;
  }
  const AppStatus::WorkScope work(status);
  for (const QString& id : owed) {
    const NativeNote* note = library.find(id);
    const CloudWorkspace* chosen =
        note != nullptr && note->workspaceId ? workspace(*note->workspaceId) : nullptr;
    if (chosen == nullptr || !note->cloudSyncPending) {
      continue;  // stays marked until its workspace is listed again
    }
    bool failed = false;
    try {
      NativeNote synced = co_await runSync(*note, *chosen, *note->cloudSyncPending);
      co_await keepSynced(id, std::move(synced));
    } catch (...) {
      // A failed sync keeps its mark (the service saved the note with it) for the next start.
      status.warnCurrentException();
      failed = true;
    }
    if (failed) {
      co_await library.reload();
    }
  }
}

QCoro::Task<void> AccountCloudAccess::signOut() {
  cancelSignIn();
  try {
    co_await m_account->signOut();
  } catch (...) {
    m_context->status.warnCurrentException();
  }
  // The session forgets the account in memory even when the secret store refuses to delete it,
  // so the account is not shown any more either way.
  forgetAccount();
}

QCoro::Task<void> AccountCloudAccess::reloadWorkspaces() {
  try {
    co_await loadWorkspaces();
  } catch (...) {
    m_context->status.warnCurrentException();
  }
}

QCoro::Task<void> AccountCloudAccess::syncSelected(bool translate) {
  NoteLibrary& library = m_context->library;
  AppStatus& status = m_context->status;
  const NativeNote* selected = library.selectedNote();
  const CloudWorkspace* chosen = workspace(workspaceID().toStdString());
  if (m_context->busy() || selected == nullptr || chosen == nullptr) {
    co_return;
  }
  const AppStatus::WorkScope work(status);
  NativeNote note = *selected;
  const CloudWorkspace target = *chosen;
  if (translate) {
    note.translationLanguage = m_context->translationLanguage().toStdString();
  }
  bool failed = false;
  bool cancelled = false;
  try {
    NativeNote synced = co_await runSync(note, target, translate);
    synced.cloudSyncPending.reset();
    const QString syncedID = QString::fromStdString(synced.id);
    if (NativeNote* listed = library.find(syncedID)) {
      *listed = std::move(synced);
      library.markChanged(syncedID);
    }
    m_context->refreshOverlays();
    status.setStatus(QString::fromUtf8(savedToCloud));
  } catch (...) {
    cancelled = m_cancel.stop_requested();
    if (!cancelled) {
      status.warnCurrentException();
    }
    failed = true;
  }
  if (cancelled) {
    co_await owe(QString::fromStdString(note.id), translate);
  } else if (failed) {
    // The service saved whatever progress it made.
    co_await library.reload();
  }
}

QCoro::Task<void> AccountCloudAccess::syncLiveNote(QString noteID, bool translate) {
  NoteLibrary& library = m_context->library;
  const NativeNote* note = library.find(noteID);
  if (note == nullptr || !note->workspaceId) {
    co_return;
  }
  const CloudWorkspace* chosen = workspace(*note->workspaceId);
  if (chosen == nullptr) {
    co_return;
  }
  const CloudWorkspace target = *chosen;
  // One sync at a time: a final upload waits for the one that runs instead of being refused.
  while (m_service && m_service->busy()) {
    co_await qCoro(this, &AccountCloudAccess::syncEnded);
  }
  note = library.find(noteID);
  if (note == nullptr) {
    co_return;
  }
  QString failure;
  bool cancelled = false;
  try {
    NativeNote synced = co_await runSync(*note, target, translate);
    co_await keepSynced(noteID, std::move(synced));
    m_context->refreshOverlays();
    co_return;
  } catch (...) {
    cancelled = m_cancel.stop_requested();
    failure = currentExceptionText();
  }
  if (cancelled) {
    co_await owe(noteID, translate);
    co_return;
  }

  // The stored copy holds everything the service saved; the stop second ends the live syncs of
  // this note while the recording goes on.
  const std::optional<NativeNote> stored = co_await library.stored(noteID);
  NativeNote* current = library.find(noteID);
  // The user must see why the translation stopped, even when the save below fails as well.
  if (current == nullptr) {
    m_context->status.warnFirst(QString::fromUtf8(liveSyncStopped) + failure);
    co_return;
  }
  NativeNote merged = *current;
  if (stored) {
    merged = CloudNotes::mergeLocal(*stored, *current);
    if (!stored->cloudTranslationStoppedAtSeconds) {
      merged.cloudTranslationStoppedAtSeconds = CloudNotes::wholeSeconds(current->durationSeconds);
    }
  } else {
    merged.cloudTranslationStoppedAtSeconds = CloudNotes::wholeSeconds(current->durationSeconds);
  }
  *current = merged;
  library.markChanged(noteID);
  m_context->status.warnFirst(QString::fromUtf8(liveSyncStopped) + failure);
  try {
    co_await library.save(merged);
  } catch (...) {
    m_context->status.warnCurrentException();
  }
}

void AccountCloudAccess::openWebNote() {
  const NativeNote* note = m_context->library.selectedNote();
  m_browser->open(note != nullptr ? notePage(note->workspaceId, note->cloudNoteId) : notePage({}, {}));
}

}  // namespace sayloom
