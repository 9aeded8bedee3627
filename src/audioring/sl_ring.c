#include "audioring/sl_ring.h"

#include <stdatomic.h>
#include <stdlib.h>
#include <string.h>

/* read_index and write_index count every sample ever consumed and produced; they are never
 * wrapped. Absolute sample i lives in slot i % capacity, so the capacity need not be a power of
 * two. Invariant: read_index <= write_index <= read_index + capacity. */
struct sl_ring {
  float* data;
  uint64_t capacity;
  _Atomic uint64_t read_index;  /* written by the consumer only */
  _Atomic uint64_t write_index; /* written by the producer only */
  _Atomic uint64_t dropped;     /* frames discarded; only grows */
};

sl_ring* sl_ring_create(uint64_t capacity) {
  if (capacity > SIZE_MAX / sizeof(float)) {
    return NULL;
  }
  sl_ring* ring = calloc(1, sizeof(sl_ring));
  if (ring == NULL) {
    return NULL;
  }
  /* At least one element, so that a zero-capacity ring does not depend on calloc(0). */
  ring->data = calloc(capacity != 0 ? (size_t)capacity : 1, sizeof(float));
  if (ring->data == NULL) {
    free(ring);
    return NULL;
  }
  ring->capacity = capacity;
  atomic_init(&ring->read_index, 0);
  atomic_init(&ring->write_index, 0);
  atomic_init(&ring->dropped, 0);
  return ring;
}

void sl_ring_destroy(sl_ring* ring) {
  if (ring == NULL) {
    return;
  }
  free(ring->data);
  free(ring);
}

/* Writes the mean of `count` frames into the contiguous slots starting at `out`. Every sample is
 * computed as ((0 + c0) + c1 + ...) / channel_count in float, in channel order; the passes below
 * keep exactly that order of operations while letting the compiler vectorise across frames. */
static void mix_segment(float* restrict out, const float* const* channels, uint32_t channel_count,
                        uint64_t offset, uint64_t count) {
  if (channel_count == 1) {
    const float* restrict a = channels[0] + offset;
    for (uint64_t i = 0; i < count; ++i) {
      out[i] = 0.0f + a[i]; /* divided by 1.0f: unchanged */
    }
    return;
  }
  if (channel_count == 2) {
    const float* restrict a = channels[0] + offset;
    const float* restrict b = channels[1] + offset;
    for (uint64_t i = 0; i < count; ++i) {
      out[i] = ((0.0f + a[i]) + b[i]) / 2.0f;
    }
    return;
  }
  const float* restrict first = channels[0] + offset;
  for (uint64_t i = 0; i < count; ++i) {
    out[i] = 0.0f + first[i];
  }
  for (uint32_t c = 1; c < channel_count; ++c) {
    const float* restrict channel = channels[c] + offset;
    for (uint64_t i = 0; i < count; ++i) {
      out[i] += channel[i];
    }
  }
  const float divisor = (float)channel_count;
  for (uint64_t i = 0; i < count; ++i) {
    out[i] /= divisor;
  }
}

void sl_ring_push(sl_ring* ring, const float* const* channels, uint32_t channel_count, uint32_t frame_count) {
  if (channels == NULL || ring == NULL || channel_count == 0) {
    return;
  }
  const uint64_t write = atomic_load_explicit(&ring->write_index, memory_order_relaxed);
  const uint64_t read = atomic_load_explicit(&ring->read_index, memory_order_acquire);
  const uint64_t free_room = read - write + ring->capacity;
  if (free_room < frame_count) {
    atomic_fetch_add_explicit(&ring->dropped, frame_count, memory_order_relaxed);
    return;
  }
  if (frame_count > 0) {
    const uint64_t slot = write % ring->capacity;
    const uint64_t first = ring->capacity - slot < frame_count ? ring->capacity - slot : frame_count;
    mix_segment(ring->data + slot, channels, channel_count, 0, first);
    mix_segment(ring->data, channels, channel_count, first, frame_count - first);
  }
  atomic_store_explicit(&ring->write_index, write + frame_count, memory_order_release);
}

uint64_t sl_ring_pop(sl_ring* ring, float* destination, uint64_t max_count) {
  const uint64_t read = atomic_load_explicit(&ring->read_index, memory_order_relaxed);
  const uint64_t write = atomic_load_explicit(&ring->write_index, memory_order_acquire);
  const uint64_t unread = write - read;
  const uint64_t n = unread < max_count ? unread : max_count;
  if (n > 0) {
    const uint64_t slot = read % ring->capacity;
    const uint64_t first = ring->capacity - slot < n ? ring->capacity - slot : n;
    memcpy(destination, ring->data + slot, (size_t)first * sizeof(float));
    memcpy(destination + first, ring->data, (size_t)(n - first) * sizeof(float));
  }
  atomic_store_explicit(&ring->read_index, read + n, memory_order_release);
  return n;
}

uint64_t sl_ring_dropped(const sl_ring* ring) {
  return atomic_load_explicit(&((sl_ring*)ring)->dropped, memory_order_relaxed);
}
