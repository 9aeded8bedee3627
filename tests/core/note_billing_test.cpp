#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "core/atomic_file.h"
#include "core/cloud_contract.h"
#include "core/native_error.h"
#include "core/native_note.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

struct Billing {
  double duration = 0;
  std::int64_t billed = 0;
  std::int64_t languages = 1;
  std::optional<std::int64_t> stoppedAt = std::nullopt;
  std::optional<ChargeSlice> pending = std::nullopt;
};

NativeNote noteWith(const Billing& b) {
  NativeNote note;
  note.durationSeconds = b.duration;
  note.cloudBilledSeconds = b.billed;
  note.cloudBilledLanguages = b.languages;
  note.cloudTranslationStoppedAtSeconds = b.stoppedAt;
  note.cloudPendingCharge = b.pending;
  return note;
}

TEST(SelectChargeTest, ChoosesTheNextSlice) {
  const struct {
    const char* name;
    Billing billing;
    bool final;
    std::optional<ChargeSlice> slice;
  } cases[] = {
      {"under a minute while recording", {.duration = 59.9}, false, std::nullopt},
      {"under a minute at the end", {.duration = 59.9}, true, ChargeSlice{0, 59, 1}},
      {"one minute while recording", {.duration = 60.0}, false, ChargeSlice{0, 60, 1}},
      {"six-hour cap", {.duration = 30'000}, false, ChargeSlice{0, 21'600, 1}},
      {"exactly six hours", {.duration = 21'600}, true, ChargeSlice{0, 21'600, 1}},
      {"rest after the cap", {.duration = 30'000, .billed = 21'600}, true, ChargeSlice{21'600, 8'400, 1}},
      {"capped at the stop second",
       {.duration = 500, .billed = 100, .stoppedAt = 120},
       true,
       ChargeSlice{100, 20, 1}},
      {"stop second reached", {.duration = 500, .billed = 120, .stoppedAt = 120}, true, std::nullopt},
      {"billed past the stop second", {.duration = 500, .billed = 130, .stoppedAt = 120}, true, std::nullopt},
      {"all billed", {.duration = 120.7, .billed = 120}, true, std::nullopt},
      {"a fraction of a second left", {.duration = 0.9}, true, std::nullopt},
      {"minute of new time while recording",
       {.duration = 180.2, .billed = 120},
       false,
       ChargeSlice{120, 60, 1}},
      {"languages 0 count as 1", {.duration = 100, .languages = 0}, true, ChargeSlice{0, 100, 1}},
      {"two languages", {.duration = 100, .languages = 2}, true, ChargeSlice{0, 100, 2}},
      {"languages 12 count as 9", {.duration = 100, .languages = 12}, true, ChargeSlice{0, 100, 9}},
      {"negative languages count as 1", {.duration = 100, .languages = -4}, true, ChargeSlice{0, 100, 1}},
      {"negative duration", {.duration = -30}, true, std::nullopt},
      {"NaN duration", {.duration = std::nan("")}, true, std::nullopt},
      {"infinite duration", {.duration = inf}, true, std::nullopt},
      {"negative infinite duration", {.duration = -inf}, true, std::nullopt},
      {"duration beyond 64 bits", {.duration = 1e300}, false, ChargeSlice{0, 21'600, 1}},
      {"pending slice first",
       {.duration = 100, .pending = ChargeSlice{0, 60, 2}},
       true,
       ChargeSlice{0, 60, 2}},
      {"pending slice after the duration shrank",
       {.duration = 10, .pending = ChargeSlice{0, 60, 2}},
       false,
       ChargeSlice{0, 60, 2}},
      {"pending slice after a stop",
       {.duration = 500, .stoppedAt = 5, .pending = ChargeSlice{0, 60, 2}},
       true,
       ChargeSlice{0, 60, 2}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(noteWith(c.billing).selectCharge(c.final), c.slice) << c.name;
  }
}

TEST(ConfirmChargeTest, LongBacklogIsChargedSliceBySlice) {
  NativeNote note = noteWith({.duration = 30'000, .languages = 2});
  std::vector<ChargeSlice> charged;
  while (auto slice = note.selectCharge(true)) {
    note.cloudPendingCharge = slice;
    note.confirmCharge(*slice);
    charged.push_back(*slice);
  }
  EXPECT_EQ(charged, (std::vector<ChargeSlice>{{0, 21'600, 2}, {21'600, 8'400, 2}}));
  EXPECT_EQ(note.cloudBilledSeconds, 30'000);
  EXPECT_FALSE(note.cloudPendingCharge);
}

TEST(ConfirmChargeTest, StopSecondEndsBilling) {
  NativeNote note = noteWith({.duration = 500, .billed = 100, .stoppedAt = 120});
  const auto slice = note.selectCharge(true);
  ASSERT_EQ(slice, (ChargeSlice{100, 20, 1}));
  note.cloudPendingCharge = slice;
  note.confirmCharge(*slice);
  EXPECT_EQ(note.cloudBilledSeconds, 120);
  EXPECT_EQ(note.selectCharge(true), std::nullopt);
}

TEST(ConfirmChargeTest, MismatchLeavesTheNoteUnchanged) {
  const ChargeSlice pending{60, 60, 2};
  const struct {
    const char* name;
    std::optional<ChargeSlice> stored;
    ChargeSlice answered;
  } cases[] = {
      {"other language count", pending, ChargeSlice{60, 60, 1}},
      {"other start", pending, ChargeSlice{0, 60, 2}},
      {"other length", pending, ChargeSlice{60, 59, 2}},
      {"nothing pending", std::nullopt, pending},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NativeNote note = noteWith({.duration = 300, .billed = 60, .languages = 2, .pending = c.stored});
    const NativeNote before = note;
    try {
      note.confirmCharge(c.answered);
      ADD_FAILURE() << "confirmed";
    } catch (const NativeError& error) {
      EXPECT_EQ(error.description(), "저장된 청구 구간과 응답이 다릅니다.");
    }
    EXPECT_EQ(note, before);
  }
}

TEST(ChargePayloadTest, BodyAndIdempotencyKey) {
  NativeNote note;
  note.id = "abc";
  EXPECT_EQ(note.chargePayload(ChargeSlice{0, 59, 1}), (nlohmann::json{{"workspaceId", ""},
                                                                       {"noteId", ""},
                                                                       {"seconds", 59},
                                                                       {"languageCount", 1},
                                                                       {"dubbedLanguageCount", 0},
                                                                       {"reason", "recording"},
                                                                       {"idempotencyKey", "native-abc-0"}}));

  note.id = "0F8FAD5B-D9CB-469F-A165-70867728950E";
  note.workspaceId = "ws-1";
  note.cloudNoteId = "cloud-1";
  const auto body = note.chargePayload(ChargeSlice{21'600, 8'400, 2});
  EXPECT_EQ(body["workspaceId"], "ws-1");
  EXPECT_EQ(body["noteId"], "cloud-1");
  EXPECT_EQ(body["seconds"], 8'400);
  EXPECT_EQ(body["languageCount"], 2);
  EXPECT_EQ(body["idempotencyKey"], "native-0F8FAD5B-D9CB-469F-A165-70867728950E-21600");
}

// A slice chosen and saved before sending survives a restart and is the one sent again.
TEST(PendingChargeFileTest, PendingSliceSurvivesTheNoteFile) {
  test::TempDir dir;
  NativeNote note = noteWith({.duration = 400.5, .billed = 60, .languages = 2, .stoppedAt = 300});
  note.workspaceId = "ws-1";
  note.cloudNoteId = "cloud-1";
  note.cloudOwnerId = "uid-1";
  note.translationLanguage = "en";
  note.cloudPendingCharge = note.selectCharge(false);
  ASSERT_EQ(note.cloudPendingCharge, (ChargeSlice{60, 240, 2}));

  AtomicFile::write(nlohmann::json(note), dir / "note.json");
  const nlohmann::json stored = AtomicFile::read(dir / "note.json");
  EXPECT_EQ(stored["cloudPendingCharge"],
            (nlohmann::json{{"startSeconds", 60}, {"seconds", 240}, {"languageCount", 2}}));
  NativeNote reread = stored.get<NativeNote>();
  EXPECT_EQ(reread, note);

  reread.durationSeconds = 900;
  EXPECT_EQ(reread.selectCharge(true), note.cloudPendingCharge);
  EXPECT_EQ(reread.chargePayload(*reread.selectCharge(true))["idempotencyKey"],
            note.chargePayload(*note.cloudPendingCharge)["idempotencyKey"]);
}

TEST(PendingChargeFileTest, SliceWithoutAKeyMakesTheNoteUnreadable) {
  NativeNote note;
  note.cloudPendingCharge = ChargeSlice{0, 60, 1};
  for (const char* key : {"startSeconds", "seconds", "languageCount"}) {
    nlohmann::json stored = note;
    stored["cloudPendingCharge"].erase(key);
    EXPECT_ANY_THROW(stored.get<NativeNote>()) << key;
  }
}

}  // namespace
}  // namespace sayloom
