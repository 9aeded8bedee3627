#include "platform/secret_store.h"

#include <libsecret/secret.h>

#include <memory>

namespace sayloom::platform {

namespace {

const SecretSchema* schema() {
  static const SecretSchema theSchema = {
      "kr.tovik.sayloom.Credential",
      SECRET_SCHEMA_NONE,
      {
          {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
          {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
          {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
      },
      0,
      nullptr,
      nullptr,
      nullptr,
      nullptr,
      nullptr,
      nullptr,
      nullptr,
  };
  return &theSchema;
}

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

[[noreturn]] void fail(SecretStoreError::Operation operation, const ErrorPtr& error) {
  throw SecretStoreError(operation, error->code, error->message != nullptr ? error->message : "");
}

// Whether the session bus can be reached at all. Connecting fails in many ways (no address and
// no X11 display to autolaunch one, a socket that is gone, an address that makes no sense), each
// with its own error; the connection, once made, is the one libsecret shares.
bool sessionBusReachable() {
  GError* raw = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw);
  const ErrorPtr error(raw);
  if (bus == nullptr) {
    return false;
  }
  g_object_unref(bus);
  return true;
}

// No Secret Service to ask: no session bus, or nobody owns the service's name on it and the bus
// cannot start one. Many Linux desktops run without one; nothing can have been stored there.
bool serviceAbsent(const GError& error) {
  if (error.domain == G_DBUS_ERROR) {
    switch (error.code) {
      case G_DBUS_ERROR_SERVICE_UNKNOWN:
      case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
      case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
      case G_DBUS_ERROR_SPAWN_FORK_FAILED:
      case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
      case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
      case G_DBUS_ERROR_SPAWN_FAILED:
      case G_DBUS_ERROR_SPAWN_SETUP_FAILED:
      case G_DBUS_ERROR_SPAWN_CONFIG_INVALID:
      case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
      case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
      case G_DBUS_ERROR_SPAWN_PERMISSIONS_INVALID:
      case G_DBUS_ERROR_SPAWN_FILE_INVALID:
      case G_DBUS_ERROR_SPAWN_NO_MEMORY:
        return true;  // the bus has no such service, or could not start it
      default:
        break;
    }
  }
  return !sessionBusReachable();
}

}  // namespace

SecretStoreError::SecretStoreError(Operation operation, int code, const std::string& platformText)
    : std::runtime_error(platformText), m_operation(operation), m_code(code) {}

LibsecretStore::Item LibsecretStore::credentialItem() {
  return {"kr.tovik.sayloom.native.firebase", "firebase-session", "Sayloom cloud account"};
}

LibsecretStore::LibsecretStore(Item item) : m_item(std::move(item)) {}

std::optional<std::string> LibsecretStore::read() {
  GError* raw = nullptr;
  gchar* secret = secret_password_lookup_sync(schema(), nullptr, &raw, "service", m_item.service.c_str(),
                                              "account", m_item.account.c_str(), nullptr);
  const ErrorPtr error(raw);
  if (error && !serviceAbsent(*error)) {
    fail(SecretStoreError::Operation::read, error);
  }
  if (secret == nullptr) {
    return std::nullopt;
  }
  std::string text(secret);
  secret_password_free(secret);
  return text;
}

void LibsecretStore::write(const std::string& secret) {
  GError* raw = nullptr;
  secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, m_item.label.c_str(), secret.c_str(),
                             nullptr, &raw, "service", m_item.service.c_str(), "account",
                             m_item.account.c_str(), nullptr);
  const ErrorPtr error(raw);
  if (error) {
    fail(SecretStoreError::Operation::write, error);
  }
}

void LibsecretStore::remove() {
  GError* raw = nullptr;
  secret_password_clear_sync(schema(), nullptr, &raw, "service", m_item.service.c_str(), "account",
                             m_item.account.c_str(), nullptr);
  const ErrorPtr error(raw);
  if (error) {
    fail(SecretStoreError::Operation::remove, error);
  }
}

}  // namespace sayloom::platform
