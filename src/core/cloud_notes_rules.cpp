// The network-free rules of saving a note to the cloud.
#include "core/cloud_notes_rules.h"

#include <algorithm>
#include <cmath>
#include <regex>

#include "core/cloud_protocol.h"

namespace sayloom::CloudNotes {

namespace {

using CloudProtocol::percentEncode;
using nlohmann::json;

constexpr std::string_view idPrefix = "native_";

std::string text(const json& object, std::string_view key) {
  if (!object.is_object()) {
    return {};
  }
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::optional<double> number(const json& object, std::string_view key) {
  if (!object.is_object()) {
    return std::nullopt;
  }
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number()) {
    return std::nullopt;
  }
  return found->get<double>();
}

}  // namespace

std::string membershipsPath(std::string_view uid) {
  return "users/" + percentEncode(uid) + "/workspaceMemberships";
}

std::vector<CloudWorkspace> activeWorkspaces(const std::vector<json>& memberships) {
  std::vector<CloudWorkspace> workspaces;
  for (const json& document : memberships) {
    if (CloudContract::string(document, "status") != "active") {
      continue;
    }
    workspaces.push_back(
        {CloudContract::string(document, "workspaceId"), CloudContract::string(document, "workspaceName"),
         CloudContract::string(document, "workspaceType"), CloudContract::string(document, "role")});
  }
  std::stable_partition(workspaces.begin(), workspaces.end(),
                        [](const CloudWorkspace& workspace) { return workspace.type == "personal"; });
  return workspaces;
}

std::string cloudNoteId(std::string_view noteId) { return std::string(idPrefix) + std::string(noteId); }

std::string segmentId(std::string_view entryId) { return std::string(idPrefix) + std::string(entryId); }

std::string notePath(std::string_view workspace, std::string_view cloudNote) {
  return "workspaces/" + percentEncode(workspace) + "/notes/" + percentEncode(cloudNote);
}

std::string accessPath(std::string_view notePath, std::string_view uid) {
  return std::string(notePath) + "/access/" + percentEncode(uid);
}

std::string segmentsPath(std::string_view notePath) { return std::string(notePath) + "/segments"; }

std::string segmentPath(std::string_view notePath, std::string_view entryId) {
  return segmentsPath(notePath) + "/" + std::string(idPrefix) + percentEncode(entryId);
}

std::string documentId(const json& document) {
  const std::string name = text(document, "name");
  const std::size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::int64_t languageCount(const NativeNote& note) {
  return note.translationLanguage && *note.translationLanguage != note.language ? 2 : 1;
}

bool validTranslationLanguage(std::string_view language) {
  static const std::regex pattern("[a-z]{2,3}(-[A-Za-z]{2,4})?");
  return std::regex_match(language.begin(), language.end(), pattern);
}

std::int64_t wholeSeconds(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0) {
    return 0;
  }
  if (seconds >= 9223372036854775808.0) {
    return INT64_MAX;
  }
  return static_cast<std::int64_t>(std::floor(seconds));
}

json balancePayload(const NativeNote& note, std::int64_t languageCount) {
  return {
      {"workspaceId", note.workspaceId.value_or("")},
      {"noteId", note.cloudNoteId.value_or("")},
      {"seconds", 0},
      {"languageCount", languageCount},
      {"dubbedLanguageCount", 0},
      {"reason", "recording"},
      {"idempotencyKey", "native-" + note.id + "-balance"},
  };
}

std::optional<double> shortfall(const json& answer) { return number(answer, "shortfall"); }

double balanceTotal(const json& answer) {
  const json balance = answer.is_object() ? answer.value("balance", json()) : json();
  double total = 0;
  for (const char* key : {"freeRemaining", "couponRemaining", "paidRemaining"}) {
    total += number(balance, key).value_or(0);
  }
  return total;
}

json translatePayload(const NativeNote& note, const TranscriptEntry& entry) {
  return {
      {"workspaceId", note.workspaceId.value_or("")},
      {"noteId", note.cloudNoteId.value_or("")},
      {"text", entry.text},
      {"sourceLanguage", note.language},
      {"targetLanguage", note.translationLanguage.value_or("")},
  };
}

std::optional<std::string> translatedText(const json& answer) {
  if (answer.is_object()) {
    const auto found = answer.find("translatedText");
    if (found != answer.end() && found->is_string()) {
      return found->get<std::string>();
    }
  }
  return std::nullopt;
}

bool editedOnWeb(const json& segment) {
  const std::string status = CloudContract::string(segment, "status");
  const bool stamped =
      segment.is_object() && segment.contains("updateTime") && segment["updateTime"].is_string();
  return status == "edited" || status == "refined" || !stamped;
}

json accessFields(std::string_view uid, const CloudContract::Clock& clock) {
  const auto now = clock();
  return CloudContract::fields({
      {"userId", std::string(uid)},
      {"permission", "owner"},
      {"grantedBy", std::string(uid)},
      {"grantedAt", now},
      {"createdAt", now},
      {"updatedAt", now},
  });
}

TranslationPatch translationPatch(std::string_view language, std::string_view translation,
                                  const CloudContract::Clock& clock) {
  TranslationPatch patch;
  patch.fields = {
      {"translatedText", std::string(translation)},
      {"translations", CloudContract::PlainMap{{std::string(language), std::string(translation)}}},
      {"updatedAt", clock()},
  };
  patch.masks = {"translatedText", "translations.`" + std::string(language) + "`", "updatedAt"};
  return patch;
}

CloudContract::PlainMap finishFields(const NativeNote& note, std::string_view uid,
                                     const CloudContract::Clock& clock) {
  return {
      {"durationSeconds", wholeSeconds(note.durationSeconds)},
      {"status", note.completed ? "completed" : "draft"},
      {"updatedBy", std::string(uid)},
      {"updatedAt", clock()},
  };
}

NativeNote mergeLocal(NativeNote synced, const NativeNote& local) {
  synced.durationSeconds = std::max(synced.durationSeconds, local.durationSeconds);
  synced.completed = synced.completed || local.completed;
  bool added = false;
  for (const TranscriptEntry& entry : local.segments) {
    const auto same = std::find_if(synced.segments.begin(), synced.segments.end(),
                                   [&](const TranscriptEntry& other) { return other.id == entry.id; });
    if (same == synced.segments.end()) {
      synced.segments.push_back(entry);
      added = true;
    } else if (same->translation.empty()) {
      same->translation = entry.translation;
    }
  }
  if (added) {
    std::stable_sort(
        synced.segments.begin(), synced.segments.end(),
        [](const TranscriptEntry& a, const TranscriptEntry& b) { return a.sequence < b.sequence; });
  }
  return synced;
}

void stopTranslation(NativeNote& note) {
  if (!note.cloudTranslationStoppedAtSeconds) {
    note.cloudTranslationStoppedAtSeconds = wholeSeconds(note.durationSeconds);
  }
}

}  // namespace sayloom::CloudNotes
