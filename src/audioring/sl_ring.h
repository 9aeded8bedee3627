#ifndef SAYLOOM_AUDIORING_SL_RING_H
#define SAYLOOM_AUDIORING_SL_RING_H
/*
 * A lock-free single-producer single-consumer ring of mono 32-bit float samples.
 *
 * The producer (the sound server's callback thread) pushes multi-channel, non-interleaved blocks,
 * which are down-mixed to mono on the way in; the consumer (the capture worker) pops mono samples.
 * A push that does not fit is discarded whole and its frame count is added to a counter that only
 * grows; unread data is never overwritten. After creation nothing allocates, locks or blocks.
 *
 * Threads: exactly one thread at a time may call sl_ring_push and exactly one thread at a time may
 * call sl_ring_pop (they may be the same thread); sl_ring_dropped may be called from any thread;
 * sl_ring_destroy must not overlap any other call.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct sl_ring sl_ring;

/* A new ring holding `capacity` samples (any count, not only powers of two), or NULL when an
 * allocation fails. */
sl_ring* sl_ring_create(uint64_t capacity);

/* Frees the ring; NULL does nothing. */
void sl_ring_destroy(sl_ring* ring);

/* Producer: down-mixes `frame_count` frames of `channel_count` channels (channels[c][i] is sample
 * i of channel c) to their mean and appends them, or, when they do not all fit, appends nothing
 * and adds `frame_count` to the dropped counter. A NULL ring, NULL channel array or zero channel
 * count is ignored and not counted. */
void sl_ring_push(sl_ring* ring, const float* const* channels, uint32_t channel_count, uint32_t frame_count);

/* Consumer: copies up to `max_count` unread samples, oldest first, into `destination` and returns
 * how many were copied. */
uint64_t sl_ring_pop(sl_ring* ring, float* destination, uint64_t max_count);

/* Total frames discarded by pushes that did not fit. Never decreases. */
uint64_t sl_ring_dropped(const sl_ring* ring);

#ifdef __cplusplus
}
#endif

#endif
