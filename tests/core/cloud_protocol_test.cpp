// The readers of the cloud's answers and the builders of its request paths and bodies.
#include "core/cloud_protocol.h"

#include <gtest/gtest.h>

#include "core/cloud_messages.h"
#include "core/firebase_profile.h"
#include "core/json_fields.h"
#include "core/native_error.h"

namespace sayloom {
namespace {

using nlohmann::json;
namespace cp = CloudProtocol;

// The message of the NativeError `read` throws, or "" when it returns.
template <typename Read>
std::string failure(Read read) {
  try {
    read();
  } catch (const NativeError& error) {
    return error.text();
  }
  return "";
}

TEST(CloudProtocolTest, BodyOfASuccessfulAnswer) {
  EXPECT_EQ(cp::parseBody(""), json::object());
  EXPECT_EQ(cp::parseBody(R"({"a":1})"), json({{"a", 1}}));
  EXPECT_EQ(cp::parseBody("[1]"), json::array({1}));
  EXPECT_THROW(cp::parseBody("{\"a\":"), json::parse_error);
  EXPECT_EQ(cp::objectOrEmpty(json::array({1})), json::object());
  EXPECT_EQ(cp::objectOrEmpty("text"), json::object());
  EXPECT_EQ(cp::objectOrEmpty({{"a", 1}}), json({{"a", 1}}));
}

TEST(CloudProtocolTest, TokenAnswersNeedBothTokensAsText) {
  const struct {
    const char* name;
    json answer;
    bool complete;
  } cases[] = {
      {"both", {{"idToken", "i"}, {"refreshToken", "r"}, {"id_token", "i"}, {"refresh_token", "r"}}, true},
      {"refresh token missing", {{"idToken", "i"}, {"id_token", "i"}}, false},
      {"id token not text",
       {{"idToken", 1}, {"refreshToken", "r"}, {"id_token", 1}, {"refresh_token", "r"}},
       false},
      {"empty object", json::object(), false},
      {"not an object", json::array(), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(failure([&] { cp::readCustomTokenSignIn(c.answer); }),
              c.complete ? "" : messages::tokenExchangeFailed)
        << c.name;
    EXPECT_EQ(failure([&] { cp::readTokenRefresh(c.answer); }),
              c.complete ? "" : messages::tokenRefreshFailed)
        << c.name;
  }
  const cp::TokenPair exchanged =
      cp::readCustomTokenSignIn({{"idToken", "id-1"}, {"refreshToken", "refresh-1"}});
  EXPECT_EQ(exchanged.idToken, "id-1");
  EXPECT_EQ(exchanged.refreshToken, "refresh-1");
  // The token service names its members in snake case; the camel-case ones do not count there.
  EXPECT_EQ(failure([] {
              cp::readTokenRefresh({{"idToken", "i"}, {"refreshToken", "r"}});
            }),
            messages::tokenRefreshFailed);
}

TEST(CloudProtocolTest, AccountLookupTakesTheFirstUser) {
  const struct {
    const char* name;
    json answer;
    FirebaseProfile profile;  // userId empty: the lookup fails
  } cases[] = {
      {"full",
       {{"users", {{{"localId", "u1"}, {"email", "a@b.c"}, {"displayName", "테스터"}}}}},
       {"u1", "a@b.c", "테스터"}},
      {"no email or name", {{"users", {{{"localId", "u1"}}}}}, {"u1", "", ""}},
      {"email not text",
       {{"users", {{{"localId", "u1"}, {"email", nullptr}, {"displayName", 7}}}}},
       {"u1", "", ""}},
      {"first user wins", {{"users", {{{"localId", "u1"}}, {{"localId", "u2"}}}}}, {"u1", "", ""}},
      {"no users", json::object(), {}},
      {"empty users", {{"users", json::array()}}, {}},
      {"users not a list", {{"users", {{"localId", "u1"}}}}, {}},
      {"first user without id", {{"users", {{{"email", "a@b.c"}}, {{"localId", "u2"}}}}}, {}},
      {"id not text", {{"users", {{{"localId", 1}}}}}, {}},
      {"first user not an object", {{"users", {"u1"}}}, {}},
  };
  for (const auto& c : cases) {
    if (c.profile.userId.empty()) {
      EXPECT_EQ(failure([&] { cp::readAccountLookup(c.answer); }), messages::accountLookupFailed) << c.name;
    } else {
      EXPECT_EQ(cp::readAccountLookup(c.answer), c.profile) << c.name;
    }
  }
}

TEST(CloudProtocolTest, CallableAnswers) {
  const struct {
    const char* name;
    json answer;
    json result;  // null: refused
  } cases[] = {
      {"result", {{"result", {{"shortfall", 0}}}}, {{"shortfall", 0}}},
      {"data when no result", {{"data", {{"a", 1}}}}, {{"a", 1}}},
      {"result before data", {{"result", {{"a", 1}}}, {"data", {{"b", 2}}}}, {{"a", 1}}},
      {"result not an object falls to data", {{"result", 5}, {"data", {{"b", 2}}}}, {{"b", 2}}},
      {"neither", {{"other", 1}}, json::object()},
      {"error object", {{"error", {{"status", "NOT_FOUND"}}}}, json()},
      {"error of any value, even with a result", {{"error", nullptr}, {"result", {{"a", 1}}}}, json()},
  };
  for (const auto& c : cases) {
    if (c.result.is_null()) {
      EXPECT_EQ(failure([&] { cp::readCallable(c.answer); }), messages::callableRefused) << c.name;
    } else {
      EXPECT_EQ(cp::readCallable(c.answer), c.result) << c.name;
    }
  }
  EXPECT_EQ(cp::readCustomToken({{"customToken", "t"}}), "t");
  EXPECT_EQ(cp::readCustomToken({{"customToken", ""}}), std::nullopt);
  EXPECT_EQ(cp::readCustomToken({{"customToken", 1}}), std::nullopt);
  EXPECT_EQ(cp::readCustomToken(json::object()), std::nullopt);
}

TEST(CloudProtocolTest, DocumentPages) {
  const json a = {{"name", "a"}};
  const json b = {{"name", "b"}};
  const struct {
    const char* name;
    json answer;
    std::vector<json> documents;
    std::string next;
  } cases[] = {
      {"page with a next token", {{"documents", {a, b}}, {"nextPageToken", "t=/"}}, {a, b}, "t=/"},
      {"last page", {{"documents", {a}}}, {a}, ""},
      {"empty collection", json::object(), {}, ""},
      {"elements that are not objects are skipped", {{"documents", {a, 1, "x", b}}}, {a, b}, ""},
      {"documents not a list", {{"documents", a}, {"nextPageToken", "t"}}, {}, "t"},
      {"token not text", {{"documents", {a}}, {"nextPageToken", 5}}, {a}, ""},
      {"not an object", json::array({a}), {}, ""},
  };
  for (const auto& c : cases) {
    const cp::DocumentPage page = cp::readDocumentPage(c.answer);
    EXPECT_EQ(page.documents, c.documents) << c.name;
    EXPECT_EQ(page.nextPageToken, c.next) << c.name;
  }
}

TEST(CloudProtocolTest, RequestPathsEscapeEverythingButLettersAndDigits) {
  EXPECT_EQ(cp::percentEncode("aZ09-._~ =/:가"), "aZ09%2D%2E%5F%7E%20%3D%2F%3A%EA%B0%80");
  EXPECT_EQ(cp::listPath("users/u1/workspaceMemberships", ""), "/users/u1/workspaceMemberships?pageSize=300");
  EXPECT_EQ(cp::listPath("c", "a=b/c"), "/c?pageSize=300&pageToken=a%3Db%2Fc");
  EXPECT_EQ(
      cp::patchPath("workspaces/w/notes/n", {"status", "durationSeconds"}, "2024-05-01T10:00:00.123456Z"),
      "/workspaces/w/notes/n?currentDocument.updateTime=2024%2D05%2D01T10%3A00%3A00%2E123456Z"
      "&updateMask.fieldPaths=status&updateMask.fieldPaths=durationSeconds");
  EXPECT_EQ(cp::patchPath("d", {}, "s"), "/d?currentDocument.updateTime=s");
}

TEST(CloudProtocolTest, FieldPathsAreQuotedWhereNeeded) {
  const struct {
    const char* name;
    std::string path;
  } cases[] = {
      {"status", "status"}, {"_private", "_private"},           {"translatedText2", "translatedText2"},
      {"2fa", "`2fa`"},     {"display-name", "`display-name`"}, {"a.b", "`a.b`"},
      {"", "``"},           {"back`tick", "`back\\`tick`"},     {"back\\slash", "`back\\\\slash`"},
      {"이름", "`이름`"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cp::fieldPath(c.name), c.path) << c.name;
  }
  EXPECT_EQ(cp::patchPath("d", {cp::fieldPath("a b")}, "s"),
            "/d?currentDocument.updateTime=s&updateMask.fieldPaths=%60a%20b%60");
}

TEST(CloudProtocolTest, RequestBodies) {
  EXPECT_EQ(cp::refreshForm("AbC-_.~9"), "grant_type=refresh_token&refresh_token=AbC-_.~9");
  // The Auth emulator's refresh tokens end in "=" padding; "+" and "/" occur in base64 too.
  EXPECT_EQ(cp::refreshForm("a+b/c=="), "grant_type=refresh_token&refresh_token=a%2Bb%2Fc%3D%3D");
  const json fields = {{"title", {{"stringValue", "t"}}}};
  EXPECT_EQ(cp::createCommitBody("projects/p/databases/(default)/documents", "workspaces/w/notes/n", fields),
            json({{"writes",
                   {{{"update",
                      {{"name", "projects/p/databases/(default)/documents/workspaces/w/notes/n"},
                       {"fields", fields}}},
                     {"currentDocument", {{"exists", false}}}}}}}));
  // The address escapes identifiers; the resource name names the same document unescaped.
  EXPECT_EQ(cp::createCommitBody("r", "notes/native%5FN%2d1%25%2", fields)["writes"][0]["update"]["name"],
            "r/notes/native_N-1%%2");
}

TEST(CloudProtocolTest, StoredCredentialRoundTripsAndNeedsEveryKey) {
  const StoredCredential credential{{"u1", "", "테스터"}, "refresh=="};
  EXPECT_EQ(decodeCredential(encodeCredential(credential)), credential);
  const char* broken[] = {
      R"({"profile":{"userId":"u","email":"","displayName":""}})",
      R"({"profile":{"userId":"u","email":""},"refreshToken":"r"})",
      R"({"profile":{"userId":"u","email":null,"displayName":""},"refreshToken":"r"})",
      R"({"profile":"u","refreshToken":"r"})",
      R"([])",
  };
  for (const char* text : broken) {
    EXPECT_THROW(decodeCredential(text), sayloom::json::JsonFieldError) << text;
  }
  EXPECT_THROW(decodeCredential("not json"), nlohmann::json::parse_error);
}

}  // namespace
}  // namespace sayloom
