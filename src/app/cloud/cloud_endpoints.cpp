#include "app/cloud/cloud_endpoints.h"

#include <cstdlib>

#include "core/cloud_config.h"

namespace sayloom {

namespace {

QString text(std::string_view value) {
  return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// "http://" + the variable's host:port, or nothing when the variable is unset or empty.
QString emulator(const char* variable) {
  const char* host = std::getenv(variable);
  if (host == nullptr || *host == '\0') {
    return {};
  }
  return QStringLiteral("http://") + QString::fromUtf8(host);
}

// Builds the address from already escaped text: QUrl must neither decode nor re-escape it.
QUrl exact(const QString& address) { return QUrl::fromEncoded(address.toUtf8(), QUrl::StrictMode); }

}  // namespace

CloudEndpoints CloudEndpoints::fromBuild() {
  return {text(CloudConfig::identityToolkitEndpoint), text(CloudConfig::secureTokenEndpoint),
          text(CloudConfig::firestoreEndpoint), text(CloudConfig::functionsEndpoint),
          text(CloudConfig::webApiKey)};
}

CloudEndpoints CloudEndpoints::fromEnvironment() {
  CloudEndpoints endpoints = fromBuild();
  if (const QString auth = emulator("FIREBASE_AUTH_EMULATOR_HOST"); !auth.isEmpty()) {
    endpoints.identityToolkit = auth + QStringLiteral("/identitytoolkit.googleapis.com/v1");
    endpoints.secureToken = auth + QStringLiteral("/securetoken.googleapis.com/v1");
  }
  if (const QString firestore = emulator("FIRESTORE_EMULATOR_HOST"); !firestore.isEmpty()) {
    endpoints.firestore = firestore + QStringLiteral("/v1");
  }
  if (const QString functions = emulator("FIREBASE_FUNCTIONS_EMULATOR_HOST"); !functions.isEmpty()) {
    endpoints.functions = functions + QLatin1Char('/') + text(CloudConfig::project) + QLatin1Char('/') +
                          text(CloudConfig::functionsRegion);
  }
  return endpoints;
}

QUrl CloudEndpoints::identity(std::string_view method) const {
  return exact(identityToolkit + QStringLiteral("/accounts:") + text(method) + QStringLiteral("?key=") +
               QString::fromLatin1(QUrl::toPercentEncoding(webApiKey)));
}

QUrl CloudEndpoints::token() const {
  return exact(secureToken + QStringLiteral("/token?key=") +
               QString::fromLatin1(QUrl::toPercentEncoding(webApiKey)));
}

QUrl CloudEndpoints::function(std::string_view name) const {
  return exact(functions + QLatin1Char('/') + text(name));
}

QUrl CloudEndpoints::document(std::string_view path) const {
  return exact(firestore + QLatin1Char('/') + text(CloudConfig::root) + text(path));
}

}  // namespace sayloom
