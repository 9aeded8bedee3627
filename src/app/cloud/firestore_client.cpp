#include "app/cloud/firestore_client.h"

#include "app/cloud/cloud_session.h"
#include "core/cloud_protocol.h"

namespace sayloom {

FirestoreClient::FirestoreClient(CloudSession& session, std::stop_token stop)
    : m_session(&session), m_stop(std::move(stop)) {}

QCoro::Task<nlohmann::json> FirestoreClient::get(std::string document, std::string uid) {
  co_return co_await m_session->firestore("GET", "/" + document, std::nullopt, std::move(uid), m_stop);
}

QCoro::Task<std::vector<nlohmann::json>> FirestoreClient::documents(std::string collection, std::string uid) {
  std::vector<nlohmann::json> all;
  std::string pageToken;
  do {
    const nlohmann::json answer = co_await m_session->firestore(
        "GET", CloudProtocol::listPath(collection, pageToken), std::nullopt, uid, m_stop);
    CloudProtocol::DocumentPage page = CloudProtocol::readDocumentPage(answer);
    all.insert(all.end(), std::make_move_iterator(page.documents.begin()),
               std::make_move_iterator(page.documents.end()));
    pageToken = std::move(page.nextPageToken);
  } while (!pageToken.empty());
  co_return all;
}

QCoro::Task<void> FirestoreClient::create(std::string document, nlohmann::json fields, std::string uid) {
  nlohmann::json body = CloudProtocol::createCommitBody(CloudContract::root, document, std::move(fields));
  co_await m_session->firestore("POST", ":commit", std::move(body), std::move(uid), m_stop);
}

QCoro::Task<void> FirestoreClient::patch(std::string document, CloudContract::PlainMap fields,
                                         std::optional<std::vector<std::string>> masks, std::string stamp,
                                         std::string uid) {
  std::vector<std::string> paths;
  if (masks) {
    paths = std::move(*masks);
  } else {
    for (const auto& entry : fields) {
      paths.push_back(CloudProtocol::fieldPath(entry.first));
    }
  }
  nlohmann::json body = {{"fields", CloudContract::fields(fields)}};
  co_await m_session->firestore("PATCH", CloudProtocol::patchPath(document, paths, stamp), std::move(body),
                                std::move(uid), m_stop);
}

}  // namespace sayloom
