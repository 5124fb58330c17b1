#include "kernels/filter_random.h"

namespace {

constexpr uint32_t kMultiplier = 214013u;
constexpr uint32_t kIncrement = 2531011u;

thread_local uint32_t t_state = 1;

}  // namespace

void filter_random_seed(uint32_t state) {
    t_state = state;
}

uint32_t filter_random_state() {
    return t_state;
}

int32_t filter_random_draw() {
    t_state = t_state * kMultiplier + kIncrement;
    return static_cast<int32_t>((t_state >> 16) & 32767u);
}

uint32_t filter_random_skip(uint32_t state, uint64_t n) {
    // Squares the step x -> a x + c: applying (a, c) twice is (a a, a c + c).
    uint32_t a = kMultiplier, c = kIncrement;
    while (n) {
        if (n & 1) state = state * a + c;
        c = a * c + c;
        a = a * a;
        n >>= 1;
    }
    return state;
}
