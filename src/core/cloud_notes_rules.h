#pragma once
// The network-free rules of saving a note to the cloud: which memberships count as workspaces,
// the derived document ids and paths, the language count and pattern, the reading of the credit
// and translation answers, the web-edited guard, and the fields of the access entry, the
// translation patch and the finishing patch. Stateless and deterministic apart from the clock
// passed in; any thread.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cloud_contract.h"
#include "core/cloud_workspace.h"
#include "core/native_note.h"

namespace sayloom {

namespace messages {
inline constexpr const char* cloudBusy = "이전 클라우드 작업이 진행 중입니다.";
inline constexpr const char* notSignedIn = "계정을 연결해 주세요.";
inline constexpr const char* workspaceLocked = "이미 연결한 노트의 워크스페이스는 변경할 수 없습니다.";
inline constexpr const char* membershipRequired = "활성 워크스페이스 멤버십이 필요합니다.";
inline constexpr const char* languagesLocked =
    "클라우드에 연결된 노트의 번역 언어 구성은 변경할 수 없습니다.";
inline constexpr const char* creditsExhausted =
    "크레딧이 소진되었습니다. 저장된 로컬 노트는 계속 사용할 수 있습니다.";
inline constexpr const char* chargeAnswerUnreadable =
    "청구 확인 응답을 읽지 못했습니다. 같은 구간으로 재시도합니다.";
inline constexpr const char* chargeShortfall = "크레딧이 소진되어 클라우드 작업을 중단했습니다.";
inline constexpr const char* translationLanguageInvalid = "번역 언어를 확인해 주세요.";
inline constexpr const char* noTranslationCredits = "번역에 사용할 시간권이 없습니다.";
inline constexpr const char* editedOnWeb =
    "웹에서 편집된 문장은 덮어쓰지 않습니다. 웹 회의록에서 확인해 주세요.";
inline constexpr const char* translationUnreadable = "번역 응답을 읽지 못했습니다.";
inline constexpr const char* noteVersionUnknown = "원격 노트 버전을 확인하지 못했습니다.";
}  // namespace messages

namespace CloudNotes {

// --- Workspaces ----------------------------------------------------------------------------

// "users/<uid>/workspaceMemberships", the uid escaped.
std::string membershipsPath(std::string_view uid);

// The memberships whose `status` is exactly "active", as workspaces (a missing field reads as
// empty), personal ones first, otherwise in the listed order.
std::vector<CloudWorkspace> activeWorkspaces(const std::vector<nlohmann::json>& memberships);

// --- Derived ids and paths -----------------------------------------------------------------

// "native_" + the local note id: the cloud note of a note, the same on every retry.
std::string cloudNoteId(std::string_view noteId);
// "native_" + the entry id: the segment document of a transcript entry.
std::string segmentId(std::string_view entryId);

// "workspaces/<workspace>/notes/<cloud note>", both escaped.
std::string notePath(std::string_view workspace, std::string_view cloudNote);
// note path + "/access/<uid>", the uid escaped.
std::string accessPath(std::string_view notePath, std::string_view uid);
// note path + "/segments".
std::string segmentsPath(std::string_view notePath);
// note path + "/segments/native_" + the entry id escaped (the prefix is not).
std::string segmentPath(std::string_view notePath, std::string_view entryId);

// The last "/"-separated part of a fetched document's "name"; empty when it has none.
std::string documentId(const nlohmann::json& document);

// --- Languages and money -------------------------------------------------------------------

// 2 when the note translates into a language other than its own, else 1.
std::int64_t languageCount(const NativeNote& note);

// Whether `language` is a translation target the service takes: two or three lower-case letters,
// optionally "-" and two to four letters (ko, pt-BR).
bool validTranslationLanguage(std::string_view language);

// Whole recorded seconds of the note, rounded down; 0 for negative, infinite or NaN durations.
std::int64_t wholeSeconds(double seconds);

// The balance-check request of "consumeCredits" (charges nothing; its key ends in "-balance").
nlohmann::json balancePayload(const NativeNote& note, std::int64_t languageCount);

// The answer's "shortfall" when it is a number.
std::optional<double> shortfall(const nlohmann::json& answer);

// freeRemaining + couponRemaining + paidRemaining of the answer's "balance"; a missing or
// non-numeric one counts as 0.
double balanceTotal(const nlohmann::json& answer);

// The "translate" request for one entry of the note.
nlohmann::json translatePayload(const NativeNote& note, const TranscriptEntry& entry);

// The answer's "translatedText" when it is text.
std::optional<std::string> translatedText(const nlohmann::json& answer);

// --- Documents -----------------------------------------------------------------------------

// A segment the web application has taken over: status "edited" or "refined", or no
// "updateTime" to base a patch on. Such a segment is never overwritten.
bool editedOnWeb(const nlohmann::json& segment);

// The typed fields of the access entry that makes `uid` the note's owner.
nlohmann::json accessFields(std::string_view uid,
                            const CloudContract::Clock& clock = CloudContract::systemNow);

// The translation patch of a segment: its fields and its masks, the language back-quoted as one
// field-path segment of the "translations" map.
struct TranslationPatch {
  CloudContract::PlainMap fields;
  std::vector<std::string> masks;
};
TranslationPatch translationPatch(std::string_view language, std::string_view translation,
                                  const CloudContract::Clock& clock = CloudContract::systemNow);

// The finishing patch of the cloud note: its duration, status, last editor and time.
CloudContract::PlainMap finishFields(const NativeNote& note, std::string_view uid,
                                     const CloudContract::Clock& clock = CloudContract::systemNow);

// A note the cloud sync returned (or the copy it saved) brought together with the note as it
// stands locally now: the longer duration, completed when either is, and nothing local lost: an
// entry only the local copy has is kept (in sequence order), and a translation only the local copy
// has is kept.
NativeNote mergeLocal(NativeNote synced, const NativeNote& local);

// After a translating sync failed: the stop second stays where it was, or becomes the note's
// whole recorded seconds, so that no later slice charges time after it.
void stopTranslation(NativeNote& note);

}  // namespace CloudNotes

}  // namespace sayloom
