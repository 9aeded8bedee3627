#pragma once
// The document database requests of the desktop, over the account session's `firestore`
// transport: reading one document, listing a collection page by page, creating a document that
// must not exist yet, and patching named fields under the precondition that the document has not
// changed since it was read. Paths are relative to the database root, without a leading slash;
// identifiers inside them are already escaped by the caller.
//
// Error convention: every failure of the transport (token, network, HTTP status, JSON) reaches the
// caller unchanged; nothing is retried. A refused precondition (the document exists on create,
// or changed since `stamp` on patch) is a NativeError::http with the database's status.
//
// Thread contract: main thread only; holds nothing but the session and the stop token.
#include <QCoroTask>
#include <nlohmann/json.hpp>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/cloud_contract.h"

namespace sayloom {

class CloudSession;

class FirestoreClient {
public:
  // Every request ends with Cancelled once `stop` is signalled.
  explicit FirestoreClient(CloudSession& session, std::stop_token stop = {});

  // The document object ("name", "fields", "updateTime", ...).
  QCoro::Task<nlohmann::json> get(std::string document, std::string uid);

  // Every document of `collection`, 300 per request, following "nextPageToken". An answer of the
  // wrong shape is an empty last page.
  QCoro::Task<std::vector<nlohmann::json>> documents(std::string collection, std::string uid);

  // Creates `document` with typed `fields` (CloudContract::fields, noteFields, segmentFields).
  QCoro::Task<void> create(std::string document, nlohmann::json fields, std::string uid);

  // Sets the fields that `masks` name to their values in `fields`, when the document's
  // "updateTime" is still `stamp`. `masks` are field paths ("translations.`pt-BR`" names one entry
  // of a map field); without them every entry of `fields` is named, in back quotes where its name
  // needs them. A named field missing from `fields` is deleted; all others keep their values.
  QCoro::Task<void> patch(std::string document, CloudContract::PlainMap fields,
                          std::optional<std::vector<std::string>> masks, std::string stamp, std::string uid);

private:
  CloudSession* m_session;
  std::stop_token m_stop;
};

}  // namespace sayloom
