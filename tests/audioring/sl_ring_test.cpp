// The ring's contract: all-or-nothing pushes counted in `dropped`, in-order pops across the end
// of the storage, the mono down-mix, and a producer and consumer on two threads.
#include "audioring/sl_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct RingDeleter {
  void operator()(sl_ring* ring) const { sl_ring_destroy(ring); }
};
using Ring = std::unique_ptr<sl_ring, RingDeleter>;

Ring makeRing(std::uint64_t capacity) {
  Ring ring(sl_ring_create(capacity));
  if (!ring) {
    throw std::runtime_error("sl_ring_create failed");
  }
  return ring;
}

// Pushes mono samples first, first + 1, ...
void pushCounting(sl_ring* ring, float first, std::uint32_t frames) {
  std::vector<float> samples(frames);
  std::iota(samples.begin(), samples.end(), first);
  const float* channels[] = {samples.data()};
  sl_ring_push(ring, channels, 1, frames);
}

std::vector<float> popAll(sl_ring* ring, std::uint64_t max = 1024) {
  std::vector<float> out(max);
  out.resize(sl_ring_pop(ring, out.data(), max));
  return out;
}

TEST(SlRing, ZeroCapacityDropsEveryNonEmptyPush) {
  Ring ring = makeRing(0);
  pushCounting(ring.get(), 1, 5);
  pushCounting(ring.get(), 1, 0);
  EXPECT_EQ(sl_ring_dropped(ring.get()), 5u);
  EXPECT_TRUE(popAll(ring.get()).empty());
}

TEST(SlRing, PushIsAllOrNothingAgainstTheFreeRoom) {
  struct Case {
    const char* name;
    std::uint64_t capacity;
    std::uint32_t unread;  // samples left in the ring before the push
    std::uint32_t push;
    bool fits;
  };
  const Case cases[] = {
      {"exactly the capacity", 8, 0, 8, true},         {"one more than the capacity", 8, 0, 9, false},
      {"exactly the free room", 7, 3, 4, true},        {"one more than the free room", 7, 3, 5, false},
      {"zero frames into a full ring", 4, 4, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ring ring = makeRing(c.capacity);
    // Move the indices away from zero first so the free room is computed from both of them.
    pushCounting(ring.get(), 0, static_cast<std::uint32_t>(c.capacity));
    popAll(ring.get());
    pushCounting(ring.get(), 100, c.unread);
    pushCounting(ring.get(), 200, c.push);

    EXPECT_EQ(sl_ring_dropped(ring.get()), c.fits ? 0u : c.push);
    std::vector<float> expected(c.unread);
    std::iota(expected.begin(), expected.end(), 100.0f);
    if (c.fits) {
      for (std::uint32_t i = 0; i < c.push; ++i) {
        expected.push_back(200.0f + static_cast<float>(i));
      }
    }
    EXPECT_EQ(popAll(ring.get()), expected);
  }
}

TEST(SlRing, DroppedOnlyGrowsAndLaterPushesStillFit) {
  Ring ring = makeRing(4);
  pushCounting(ring.get(), 0, 3);
  pushCounting(ring.get(), 0, 2);  // dropped: only 1 free
  pushCounting(ring.get(), 3, 1);  // fits
  pushCounting(ring.get(), 0, 7);  // dropped
  EXPECT_EQ(sl_ring_dropped(ring.get()), 9u);
  EXPECT_EQ(popAll(ring.get()), (std::vector<float>{0, 1, 2, 3}));
  EXPECT_EQ(sl_ring_dropped(ring.get()), 9u);
}

TEST(SlRing, DataCrossingTheEndOfStorageComesBackInOrder) {
  // Capacity 7 is not a power of two; block sizes 1..6 walk the indices across the end of the
  // storage at every offset many times over.
  Ring ring = makeRing(7);
  float next = 0;
  float expected = 0;
  std::uint64_t unread = 0;
  for (int round = 0; round < 60; ++round) {
    const auto size = static_cast<std::uint32_t>(round % 6 + 1);
    pushCounting(ring.get(), next, size);
    next += static_cast<float>(size);
    unread += size;
    // Leave one sample behind every other round, so reads also start at every offset.
    const std::uint64_t take = unread - static_cast<std::uint64_t>(round % 2);
    const std::vector<float> popped = popAll(ring.get(), take);
    ASSERT_EQ(popped.size(), take);
    unread -= take;
    for (float value : popped) {
      ASSERT_EQ(value, expected);
      expected += 1;
    }
  }
  for (float value : popAll(ring.get())) {
    ASSERT_EQ(value, expected);
    expected += 1;
  }
  EXPECT_EQ(expected, next);
  EXPECT_EQ(sl_ring_dropped(ring.get()), 0u);
}

TEST(SlRing, PushDownMixesToTheMeanOfTheChannels) {
  struct Case {
    const char* name;
    std::vector<std::vector<float>> channels;
    std::vector<float> expected;
  };
  const Case cases[] = {
      {"one channel unchanged", {{0.25f, -1.0f, 0.7f}}, {0.25f, -1.0f, 0.7f}},
      {"left 1, right 0", {{1.0f, -1.0f}, {0.0f, 1.0f}}, {0.5f, 0.0f}},
      {"three channels", {{3.0f}, {0.0f}, {-6.0f}}, {-1.0f}},
      {"five channels", {{1.0f}, {1.0f}, {1.0f}, {1.0f}, {6.0f}}, {2.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ring ring = makeRing(16);
    std::vector<const float*> pointers;
    for (const auto& channel : c.channels) {
      pointers.push_back(channel.data());
    }
    sl_ring_push(ring.get(), pointers.data(), static_cast<std::uint32_t>(pointers.size()),
                 static_cast<std::uint32_t>(c.expected.size()));
    EXPECT_EQ(popAll(ring.get()), c.expected);
  }
}

TEST(SlRing, PopTakesAtMostTheMaximumAndAnEmptyPopChangesNothing) {
  Ring ring = makeRing(8);
  EXPECT_TRUE(popAll(ring.get()).empty());
  pushCounting(ring.get(), 0, 5);
  EXPECT_EQ(popAll(ring.get(), 2), (std::vector<float>{0, 1}));
  EXPECT_EQ(popAll(ring.get(), 0), std::vector<float>{});
  EXPECT_EQ(popAll(ring.get()), (std::vector<float>{2, 3, 4}));
  EXPECT_TRUE(popAll(ring.get()).empty());
  // The free room is the whole capacity again.
  pushCounting(ring.get(), 10, 8);
  EXPECT_EQ(sl_ring_dropped(ring.get()), 0u);
}

TEST(SlRing, InvalidPushArgumentsAreIgnoredAndNotCounted) {
  Ring ring = makeRing(1);
  const float sample = 1.0f;
  const float* channels[] = {&sample};
  sl_ring_push(nullptr, channels, 1, 100);
  sl_ring_push(ring.get(), nullptr, 1, 100);
  sl_ring_push(ring.get(), channels, 0, 100);
  EXPECT_EQ(sl_ring_dropped(ring.get()), 0u);
  EXPECT_TRUE(popAll(ring.get()).empty());
}

TEST(SlRing, CreationFailsWhenTheStorageCannotBeAllocated) {
  EXPECT_EQ(sl_ring_create(UINT64_MAX), nullptr);
  sl_ring_destroy(nullptr);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators abort on impossible sizes instead of failing";
#else
  // Large enough that the storage allocation itself fails after the object was allocated.
  EXPECT_EQ(sl_ring_create(UINT64_MAX / 8), nullptr);
#endif
}

// A producer pushes numbered stereo blocks of varying size (retrying a block whenever it was
// dropped) while a consumer pops pieces of varying size; every sample must arrive exactly once and
// in order. Run under ThreadSanitizer too.
TEST(SlRing, TwoThreadsHandOverEverySampleInOrder) {
  constexpr std::uint32_t total = 1'500'000;  // below 2^22, so k ± 0.25 and their mean are exact
  Ring ring = makeRing(4099);
  std::atomic<bool> abandon{false};

  std::thread producer([&] {
    std::vector<float> left(700);
    std::vector<float> right(700);
    std::uint32_t next = 0;
    std::uint32_t round = 0;
    while (next < total && !abandon.load()) {
      const std::uint32_t size = std::min<std::uint32_t>(1 + (round++ * 37) % 700, total - next);
      for (std::uint32_t i = 0; i < size; ++i) {
        left[i] = static_cast<float>(next + i) - 0.25f;
        right[i] = static_cast<float>(next + i) + 0.25f;
      }
      const float* channels[] = {left.data(), right.data()};
      const std::uint64_t droppedBefore = sl_ring_dropped(ring.get());
      sl_ring_push(ring.get(), channels, 2, size);
      if (sl_ring_dropped(ring.get()) == droppedBefore) {
        next += size;
      } else {
        std::this_thread::yield();
      }
    }
  });

  std::vector<float> buffer(1000);
  std::uint32_t expected = 0;
  std::uint32_t round = 0;
  bool inOrder = true;
  while (expected < total && inOrder) {
    const std::uint64_t n = sl_ring_pop(ring.get(), buffer.data(), 1 + (round++ * 53) % 1000);
    for (std::uint64_t i = 0; i < n; ++i) {
      if (buffer[i] != static_cast<float>(expected)) {
        ADD_FAILURE() << "sample " << expected << " arrived as " << buffer[i];
        inOrder = false;
        break;
      }
      ++expected;
    }
    if (n == 0) {
      std::this_thread::yield();
    }
  }
  abandon = true;
  producer.join();
  EXPECT_EQ(expected, total);
  std::vector<float> rest(1);
  EXPECT_EQ(sl_ring_pop(ring.get(), rest.data(), 1), 0u);
}

}  // namespace
