// The filter kernels' own random numbers: a linear congruential generator whose state is kept
// per thread, state = state x 214013 + 2531011 (mod 2^32), each draw giving
// (state >> 16) & 32767. A thread starts at state 1; the C runtime's rand is never used, so
// no other code shares or disturbs the sequence.
#pragma once

#include <cstdint>

// Sets the calling thread's state (the program seeds its main thread from the time).
void filter_random_seed(uint32_t state);
uint32_t filter_random_state();
// One draw, 0..32767.
int32_t filter_random_draw();
// The state after n draws from state, in O(log n): lets row bands start mid-sequence.
uint32_t filter_random_skip(uint32_t state, uint64_t n);
