// Saving a local note into a cloud workspace: link, segments, charges, translation, finish.
#include "app/cloud/cloud_notes_service.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <set>

#include "app/cloud/cloud_session.h"
#include "app/cloud/firestore_client.h"
#include "core/cloud_messages.h"
#include "core/cloud_notes_rules.h"
#include "core/native_error.h"

namespace sayloom {

namespace {

using nlohmann::json;

// Creates `document`; an existing one (409) counts as created.
QCoro::Task<void> createOnce(FirestoreClient db, std::string document, json fields, std::string uid) {
  try {
    co_await db.create(std::move(document), std::move(fields), std::move(uid));
  } catch (const NativeError& error) {
    if (!error.isHttpStatus({409})) {
      throw;
    }
  }
}

// Clears the busy flag when a sync ends, however it ends.
struct BusyScope {
  bool& busy;
  explicit BusyScope(bool& flag) : busy(flag) { busy = true; }
  ~BusyScope() { busy = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};

std::string signedInUser(const CloudSession& session) {
  const std::optional<StoredCredential>& stored = session.stored();
  if (!stored) {
    throw NativeError::message(messages::notSignedIn);
  }
  return stored->profile.userId;
}

}  // namespace

CloudNotesService::CloudNotesService(CloudSession& session, SaveNote save, CloudContract::Clock clock)
    : m_session(&session), m_save(std::move(save)), m_clock(std::move(clock)) {}

QCoro::Task<std::vector<CloudWorkspace>> CloudNotesService::workspaces() {
  const std::string uid = signedInUser(*m_session);
  // Outside a sync the token is a default one, which is never signalled. (The client is named
  // outside the co_await expression: GCC 12 destroys a temporary made there twice.)
  FirestoreClient db(*m_session, m_busy ? m_stop : std::stop_token());
  const std::vector<json> memberships = co_await db.documents(CloudNotes::membershipsPath(uid), uid);
  co_return CloudNotes::activeWorkspaces(memberships);
}

QCoro::Task<NativeNote> CloudNotesService::sync(NativeNote note, CloudWorkspace workspace, bool translate,
                                                std::stop_token stop) {
  if (m_busy) {
    throw NativeError::message(messages::cloudBusy);
  }
  const BusyScope busy(m_busy);
  m_stop = std::move(stop);

  // Checks that leave the note as it is.
  const std::string uid = signedInUser(*m_session);
  if (note.cloudOwnerId && *note.cloudOwnerId != uid) {
    throw NativeError::message(messages::wrongAccount);
  }
  if (note.cloudNoteId && note.workspaceId.value_or("") != workspace.id) {
    throw NativeError::message(messages::workspaceLocked);
  }
  const std::vector<CloudWorkspace> listed = co_await workspaces();
  if (std::none_of(listed.begin(), listed.end(),
                   [&](const CloudWorkspace& w) { return w.id == workspace.id; })) {
    throw NativeError::message(messages::membershipRequired);
  }
  const std::int64_t languages = CloudNotes::languageCount(note);
  if (note.cloudBilledLanguages != 0 && note.cloudBilledLanguages != languages) {
    throw NativeError::message(messages::languagesLocked);
  }

  // The link is on disk before any cloud document exists, so a retry finds the same cloud note.
  if (!note.cloudNoteId) {
    note.workspaceId = workspace.id;
    note.cloudNoteId = CloudNotes::cloudNoteId(note.id);
    note.cloudOwnerId = uid;
    note.cloudBilledLanguages = languages;
    co_await m_save(note);
  }

  std::exception_ptr failure;
  try {
    co_await upload(note, workspace, uid);
    co_await charge(note, uid);
    if (translate && note.translationLanguage) {
      co_await translateEntries(note, uid);
    }
    co_await finish(note, uid);
    co_return note;
  } catch (...) {
    failure = std::current_exception();
  }
  // What was learnt so far stays; a failed translating sync charges nothing after this second. A
  // cancelled one is no failure of the cloud: it is taken up again later where it stopped.
  if (translate && !m_stop.stop_requested()) {
    CloudNotes::stopTranslation(note);
  }
  co_await m_save(note);
  std::rethrow_exception(failure);
}

// The cloud note (created when the read says it is missing or hidden), the owner's access entry,
// and every segment the cloud does not have yet. Existing segments are never rewritten here.
QCoro::Task<void> CloudNotesService::upload(NativeNote& note, const CloudWorkspace& workspace,
                                            const std::string& uid) {
  FirestoreClient db(*m_session, m_stop);
  const std::string notePath = CloudNotes::notePath(workspace.id, *note.cloudNoteId);
  bool missing = false;
  try {
    co_await db.get(notePath, uid);
  } catch (const NativeError& error) {
    if (!error.isHttpStatus({403, 404})) {
      throw;
    }
    missing = true;
  }
  if (missing) {
    co_await db.create(notePath, CloudContract::noteFields(note, uid, workspace.id, workspace.type, m_clock),
                       uid);
  }
  co_await createOnce(db, CloudNotes::accessPath(notePath, uid), CloudNotes::accessFields(uid, m_clock), uid);

  std::set<std::string> existing;
  const std::vector<json> listed = co_await db.documents(CloudNotes::segmentsPath(notePath), uid);
  for (const json& document : listed) {
    existing.insert(CloudNotes::documentId(document));
  }
  for (const TranscriptEntry& entry : note.segments) {
    if (!existing.contains(CloudNotes::segmentId(entry.id))) {
      co_await createOnce(db, CloudNotes::segmentPath(notePath, entry.id),
                          CloudContract::segmentFields(entry, note, m_clock), uid);
    }
  }
}

// Charges the unbilled time slice by slice. Each slice is saved as pending before it is sent, so
// a lost answer is answered by sending the same slice, with the same idempotency key, next time.
QCoro::Task<void> CloudNotesService::charge(NativeNote& note, const std::string& uid) {
  if (note.cloudCreditsExhausted) {
    throw NativeError::message(messages::creditsExhausted);
  }
  for (;;) {
    const std::optional<ChargeSlice> slice = note.selectCharge(note.completed);
    if (!slice) {
      break;
    }
    note.cloudPendingCharge = *slice;
    co_await m_save(note);
    const json answer =
        co_await m_session->callable("consumeCredits", note.chargePayload(*slice), true, uid, m_stop);
    const std::optional<double> shortfall = CloudNotes::shortfall(answer);
    if (!shortfall) {
      throw NativeError::message(messages::chargeAnswerUnreadable);
    }
    note.confirmCharge(*slice);
    if (*shortfall > 0) {
      note.cloudCreditsExhausted = true;
      co_await m_save(note);
      throw NativeError::message(messages::chargeShortfall);
    }
    co_await m_save(note);
  }
}

// Translates every untranslated entry whose segment the web application has not taken over; each
// translation is written to the segment under its read version and saved locally at once.
QCoro::Task<void> CloudNotesService::translateEntries(NativeNote& note, const std::string& uid) {
  const std::string language = *note.translationLanguage;
  if (!CloudNotes::validTranslationLanguage(language)) {
    throw NativeError::message(messages::translationLanguageInvalid);
  }
  const json balance = co_await m_session->callable(
      "consumeCredits", CloudNotes::balancePayload(note, CloudNotes::languageCount(note)), true, uid, m_stop);
  if (!(CloudNotes::balanceTotal(balance) > 0) &&
      note.cloudBilledSeconds < CloudNotes::wholeSeconds(note.durationSeconds)) {
    throw NativeError::message(messages::noTranslationCredits);
  }

  FirestoreClient db(*m_session, m_stop);
  const std::string notePath = CloudNotes::notePath(*note.workspaceId, *note.cloudNoteId);
  for (TranscriptEntry& entry : note.segments) {
    if (!entry.translation.empty()) {
      continue;
    }
    const std::string segmentPath = CloudNotes::segmentPath(notePath, entry.id);
    const json segment = co_await db.get(segmentPath, uid);
    if (CloudNotes::editedOnWeb(segment)) {
      throw NativeError::message(messages::editedOnWeb);
    }
    const json answer = co_await m_session->callable("translate", CloudNotes::translatePayload(note, entry),
                                                     true, uid, m_stop);
    const std::optional<std::string> translation = CloudNotes::translatedText(answer);
    if (!translation) {
      throw NativeError::message(messages::translationUnreadable);
    }
    CloudNotes::TranslationPatch patch = CloudNotes::translationPatch(language, *translation, m_clock);
    co_await db.patch(segmentPath, std::move(patch.fields), std::move(patch.masks),
                      segment["updateTime"].get<std::string>(), uid);
    entry.translation = *translation;
    co_await m_save(note);
  }
}

// Stamps the cloud note with the recorded duration and whether the recording is over.
QCoro::Task<void> CloudNotesService::finish(NativeNote& note, const std::string& uid) {
  FirestoreClient db(*m_session, m_stop);
  const std::string notePath = CloudNotes::notePath(*note.workspaceId, *note.cloudNoteId);
  const json document = co_await db.get(notePath, uid);
  if (!document.is_object() || !document.contains("updateTime") || !document["updateTime"].is_string()) {
    throw NativeError::message(messages::noteVersionUnknown);
  }
  co_await db.patch(notePath, CloudNotes::finishFields(note, uid, m_clock), std::nullopt,
                    document["updateTime"].get<std::string>(), uid);
  co_await m_save(note);
}

}  // namespace sayloom
