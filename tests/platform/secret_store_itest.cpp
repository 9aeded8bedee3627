// The secret store on the Secret Service of the test session (gnome-keyring with a fresh,
// unlocked keyring): the item is created in the default collection, updated in place, read and
// deleted; without a Secret Service, however the session finds none, there is nothing to read, and
// writing or deleting fails.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <cstdio>
#include <cstdlib>

#include "platform/secret_store.h"
#include "support/no_secret_service.h"

namespace sayloom::platform {
namespace {

using Paths = QList<QDBusObjectPath>;

// The items the Secret Service holds with the attributes of `item`, and the path of its default
// collection.
struct Listing {
  QStringList items;
  QString defaultCollection;
};

Listing listing(const LibsecretStore::Item& item) {
  QDBusInterface service(QStringLiteral("org.freedesktop.secrets"),
                         QStringLiteral("/org/freedesktop/secrets"),
                         QStringLiteral("org.freedesktop.Secret.Service"));
  QMap<QString, QString> attributes{{QStringLiteral("service"), QString::fromStdString(item.service)},
                                    {QStringLiteral("account"), QString::fromStdString(item.account)}};
  QDBusMessage found = service.call(QStringLiteral("SearchItems"), QVariant::fromValue(attributes));
  Listing result;
  if (found.type() == QDBusMessage::ReplyMessage) {
    for (const QVariant& part : found.arguments()) {  // unlocked, then locked
      Paths paths;
      part.value<QDBusArgument>() >> paths;
      for (const QDBusObjectPath& path : paths) {
        result.items.push_back(path.path());
      }
    }
  }
  const QDBusReply<QDBusObjectPath> alias =
      service.call(QStringLiteral("ReadAlias"), QStringLiteral("default"));
  result.defaultCollection = alias.value().path();
  return result;
}

LibsecretStore::Item testItem() {
  return {"kr.tovik.sayloom.test", "secret-store-itest", "Sayloom test item"};
}

TEST(SecretStoreTest, TheItemIsCreatedUpdatedInPlaceReadAndDeleted) {
  qDBusRegisterMetaType<QMap<QString, QString>>();
  const LibsecretStore::Item item = testItem();
  LibsecretStore store(item);
  store.remove();
  EXPECT_EQ(store.read(), std::nullopt);

  const std::string first =
      R"({"profile":{"userId":"u1","email":"","displayName":"테스터"},"refreshToken":"r1=="})";
  store.write(first);
  EXPECT_EQ(store.read(), first);
  Listing created = listing(item);
  ASSERT_EQ(created.items.size(), 1);
  EXPECT_FALSE(created.defaultCollection.isEmpty());
  EXPECT_TRUE(created.items.front().startsWith(created.defaultCollection + QLatin1Char('/')))
      << created.items.front().toStdString() << " is not in " << created.defaultCollection.toStdString();

  store.write("second");
  EXPECT_EQ(store.read(), "second");
  EXPECT_EQ(listing(item).items, created.items);  // the same item, not a second one

  // Another account's item is a different item.
  LibsecretStore other({item.service, "someone-else", item.label});
  EXPECT_EQ(other.read(), std::nullopt);

  store.remove();
  EXPECT_EQ(store.read(), std::nullopt);
  EXPECT_TRUE(listing(item).items.isEmpty());
  EXPECT_NO_THROW(store.remove());  // nothing to delete is success
}

// Sets up `c`, then exits with one bit per operation that ended as expected: reading finds
// nothing, writing and deleting fail as their own operation.
void withoutASecretService(const test::NoSecretService& c) {
  c.enter();
  LibsecretStore store(testItem());
  int passed = 0;
  try {
    if (store.read() == std::nullopt) {
      passed |= 1;
    }
  } catch (const SecretStoreError& error) {
    std::fprintf(stderr, "read failed with code %d: %s\n", error.code(), error.what());
  }
  const auto attempt = [&](SecretStoreError::Operation expected, int bit, const auto& operation) {
    try {
      operation();
    } catch (const SecretStoreError& error) {
      if (error.operation() == expected) {
        passed |= bit;
      }
    }
  };
  attempt(SecretStoreError::Operation::write, 2, [&] { store.write("x"); });
  attempt(SecretStoreError::Operation::remove, 4, [&] { store.remove(); });
  std::exit(passed);
}

TEST(SecretStoreTest, WithoutASecretServiceNothingIsReadAndChangesFail) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const test::NoSecretService& c : test::noSecretServiceCases) {
    EXPECT_EXIT(withoutASecretService(c), ::testing::ExitedWithCode(7), "") << c.name;
  }
}

}  // namespace
}  // namespace sayloom::platform
