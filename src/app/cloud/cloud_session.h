#pragma once
// What the cloud notes service needs of the signed-in account: the credential, fresh ID tokens,
// callable functions and document database requests. FirebaseSession is the implementation.
//
// Error convention: a request whose `stop` is signalled ends with Cancelled (an HTTP request on the
// way is aborted).
//
// Thread contract: main thread only.
#include <QCoroTask>
#include <nlohmann/json.hpp>
#include <optional>
#include <stop_token>
#include <string>

#include "core/firebase_profile.h"

namespace sayloom {

class CloudSession {
public:
  virtual ~CloudSession() = default;

  // The linked account, or nullopt when signed out.
  virtual const std::optional<StoredCredential>& stored() const = 0;

  // A valid ID token of the signed-in account, which must be `expectedUID` when one is given.
  virtual QCoro::Task<std::string> token(std::optional<std::string> expectedUID) = 0;

  // Calls the callable function `name` with `data`; with the account's token when `authenticated`.
  virtual QCoro::Task<nlohmann::json> callable(std::string name, nlohmann::json data, bool authenticated,
                                               std::optional<std::string> expectedUID,
                                               std::stop_token stop = {}) = 0;

  // One document database request: `method` ("GET", "POST" or "PATCH") of the database root plus
  // `path` (escaped query included), with `body` as JSON when given, as the account `uid`.
  virtual QCoro::Task<nlohmann::json> firestore(std::string method, std::string path,
                                                std::optional<nlohmann::json> body, std::string uid,
                                                std::stop_token stop = {}) = 0;
};

}  // namespace sayloom
