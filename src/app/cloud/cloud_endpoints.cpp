#include "app/cloud/cloud_endpoints.h"

#include <QHostAddress>
#include <cstdio>
#include <cstdlib>

#include "core/cloud_config.h"

namespace sayloom {

namespace {

QString text(std::string_view value) {
  return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// Whether `hostAndPort` ("host:port", an IPv6 host in brackets) names this machine: 127.0.0.0/8,
// ::1 or "localhost". Nothing else may stand in for the cloud: an emulator is spoken to over plain
// HTTP with the account's tokens.
bool onThisMachine(const QString& hostAndPort) {
  const QUrl url(QStringLiteral("http://") + hostAndPort, QUrl::StrictMode);
  if (!url.isValid() || !url.userInfo().isEmpty() || !url.path().isEmpty() || url.hasQuery() ||
      url.hasFragment()) {
    return false;
  }
  const QString host = url.host();
  return host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 ||
         QHostAddress(host).isLoopback();
}

// "http://" + the variable's host:port, or nothing when the variable is unset, empty or names
// another machine (which is said on stderr and ignored).
QString emulator(const char* variable) {
  const char* host = std::getenv(variable);
  if (host == nullptr || *host == '\0') {
    return {};
  }
  const QString hostAndPort = QString::fromUtf8(host);
  if (!onThisMachine(hostAndPort)) {
    std::fprintf(stderr,
                 "sayloom: %s ignored: an emulator must run on this machine (127.0.0.1, ::1 or localhost)\n",
                 variable);
    return {};
  }
  return QStringLiteral("http://") + hostAndPort;
}

// Builds the address from already escaped text: QUrl must neither decode nor re-escape it.
QUrl exact(const QString& address) { return QUrl::fromEncoded(address.toUtf8(), QUrl::StrictMode); }

}  // namespace

CloudEndpoints CloudEndpoints::fromBuild() {
  return {text(CloudConfig::identityToolkitEndpoint),
          text(CloudConfig::secureTokenEndpoint),
          text(CloudConfig::firestoreEndpoint),
          text(CloudConfig::functionsEndpoint),
          text(CloudConfig::webApiKey),
          false};
}

CloudEndpoints CloudEndpoints::fromEnvironment() {
  CloudEndpoints endpoints = fromBuild();
  if (const QString auth = emulator("FIREBASE_AUTH_EMULATOR_HOST"); !auth.isEmpty()) {
    endpoints.identityToolkit = auth + QStringLiteral("/identitytoolkit.googleapis.com/v1");
    endpoints.secureToken = auth + QStringLiteral("/securetoken.googleapis.com/v1");
    endpoints.emulated = true;
  }
  if (const QString firestore = emulator("FIRESTORE_EMULATOR_HOST"); !firestore.isEmpty()) {
    endpoints.firestore = firestore + QStringLiteral("/v1");
    endpoints.emulated = true;
  }
  if (const QString functions = emulator("FIREBASE_FUNCTIONS_EMULATOR_HOST"); !functions.isEmpty()) {
    endpoints.functions = functions + QLatin1Char('/') + text(CloudConfig::project) + QLatin1Char('/') +
                          text(CloudConfig::functionsRegion);
    endpoints.emulated = true;
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
