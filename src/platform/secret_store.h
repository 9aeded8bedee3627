#pragma once
// The per-user secret store holding one private item, and its implementation on the Secret
// Service (libsecret; gnome-keyring, KeePassXC and their peers): the item is found by the
// attributes "service" and "account" and lives in the default collection.
//
// Error convention: every failure of the store throws SecretStoreError carrying the platform's
// error code; an item that does not exist is not a failure (read gives nullopt, remove succeeds).
// Without a Secret Service at all (no session bus, whatever keeps it from being reached, or no
// service on it that the bus has or can start) read gives nullopt too, so a desktop without a
// keyring starts signed out; write and remove fail there.
//
// Thread contract: every call blocks on the session bus, so callers run them off the main thread,
// one at a time. An object holds no state beyond its item attributes.
#include <optional>
#include <stdexcept>
#include <string>

namespace sayloom::platform {

class SecretStoreError : public std::runtime_error {
public:
  enum class Operation { read, write, remove };

  SecretStoreError(Operation operation, int code, const std::string& platformText);

  Operation operation() const noexcept { return m_operation; }
  // The platform's error code (a GError code for libsecret; 0 is a failure without a more
  // specific code, such as GLib's generic G_IO_ERROR_FAILED).
  int code() const noexcept { return m_code; }

private:
  Operation m_operation;
  int m_code;
};

class SecretStore {
public:
  virtual ~SecretStore() = default;

  // The item's secret, or nullopt when there is no item.
  virtual std::optional<std::string> read() = 0;
  // Replaces the item's secret in place, or creates the item.
  virtual void write(const std::string& secret) = 0;
  // Deletes the item; no item is success.
  virtual void remove() = 0;
};

class LibsecretStore : public SecretStore {
public:
  struct Item {
    std::string service;
    std::string account;
    std::string label;  // shown by keyring managers
  };

  // The item that keeps the cloud account's credential.
  static Item credentialItem();

  explicit LibsecretStore(Item item = credentialItem());

  std::optional<std::string> read() override;
  void write(const std::string& secret) override;
  void remove() override;

private:
  Item m_item;
};

}  // namespace sayloom::platform
