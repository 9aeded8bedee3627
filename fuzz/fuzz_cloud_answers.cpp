// Feeds arbitrary bytes through every reader of the cloud's answers: the body parser, the
// identity, token and callable-function readers, the document page reader, the typed-value reader
// and the stored credential. Readers may refuse with their fixed message, never otherwise; what
// they hand back must hold their promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/cloud_contract.h"
#include "core/cloud_messages.h"
#include "core/cloud_protocol.h"
#include "core/firebase_profile.h"
#include "core/native_error.h"

namespace {

namespace cc = sayloom::CloudContract;
namespace cp = sayloom::CloudProtocol;

// Runs `read`; a refusal must be the message error with `text`.
template <typename Read>
void refusesOnlyWith(const char* text, Read read) {
  try {
    read();
  } catch (const sayloom::NativeError& error) {
    if (error.kind() != sayloom::NativeError::Kind::message || error.text() != text) {
      std::abort();
    }
  }
}

void readAnswers(const nlohmann::json& answer) {
  refusesOnlyWith(sayloom::messages::tokenExchangeFailed, [&] { (void)cp::readCustomTokenSignIn(answer); });
  refusesOnlyWith(sayloom::messages::tokenRefreshFailed, [&] { (void)cp::readTokenRefresh(answer); });
  refusesOnlyWith(sayloom::messages::accountLookupFailed, [&] { (void)cp::readAccountLookup(answer); });
  refusesOnlyWith(sayloom::messages::callableRefused, [&] {
    if (!cp::readCallable(cp::objectOrEmpty(answer)).is_object()) {
      std::abort();
    }
  });
  if (const auto token = cp::readCustomToken(answer); token && token->empty()) {
    std::abort();
  }
  for (const nlohmann::json& document : cp::readDocumentPage(answer).documents) {
    if (!document.is_object()) {
      std::abort();
    }
  }
  // Reading typed values back and encoding them again settles after one round.
  const nlohmann::json once = cc::fields(cc::plainFields(answer));
  const nlohmann::json twice = cc::fields(cc::plainFields(nlohmann::json{{"fields", once}}));
  if (once != twice) {
    std::abort();
  }
}

void readCredential(std::string_view bytes) {
  sayloom::StoredCredential credential;
  try {
    credential = sayloom::decodeCredential(bytes);
  } catch (const std::exception&) {
    return;
  }
  if (sayloom::decodeCredential(sayloom::encodeCredential(credential)) != credential) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  readCredential(bytes);
  nlohmann::json answer;
  try {
    answer = cp::parseBody(bytes);
  } catch (const nlohmann::json::exception&) {
    return 0;
  }
  readAnswers(answer);
  return 0;
}
