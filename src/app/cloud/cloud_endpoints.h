#pragma once
// Where the cloud calls go: the build's configuration (core/cloud_config.h), overridden at run time
// by the emulator variables of the Firebase tools, so one binary talks to local emulators in tests:
//   FIREBASE_AUTH_EMULATOR_HOST       host:port of the Auth emulator (identity and token services)
//   FIRESTORE_EMULATOR_HOST           host:port of the Firestore emulator
//   FIREBASE_FUNCTIONS_EMULATOR_HOST  host:port of the Functions emulator
// An emulator is spoken to over plain HTTP on the address the variable names, which must be on
// this machine (127.0.0.0/8, ::1 or localhost); a variable naming another host is ignored, with a
// line on stderr. Plain value; any thread.
#include <QString>
#include <QUrl>
#include <string_view>

namespace sayloom {

struct CloudEndpoints {
  QString identityToolkit;  // Identity Toolkit v1, no trailing slash
  QString secureToken;      // Secure Token v1, no trailing slash
  QString firestore;        // Firestore REST v1, no trailing slash
  QString functions;        // callable functions; "/" + name follows
  QString webApiKey;        // the `key` query parameter of the identity and token services
  bool emulated = false;    // an emulator stands in for at least one service

  // The build's configuration alone.
  static CloudEndpoints fromBuild();
  // The build's configuration with the emulator variables applied.
  static CloudEndpoints fromEnvironment();

  // identityToolkit + "/accounts:" + method + "?key=" + key
  QUrl identity(std::string_view method) const;
  // secureToken + "/token?key=" + key
  QUrl token() const;
  // functions + "/" + name
  QUrl function(std::string_view name) const;
  // firestore + "/" + the database root (CloudContract::root) + path; `path` starts with "/" or ":" and
  // carries its own escaped query.
  QUrl document(std::string_view path) const;
};

}  // namespace sayloom
