#include "runtime/random_numbers.h"

#include "platform/state_reset.h"

#include <cmath>
#include <ctime>

namespace {

constexpr std::int32_t kModulus = 2147483647;
constexpr std::int32_t kMultiplier = 16807;
constexpr std::int32_t kQuotient = 127773;  // kModulus / kMultiplier
constexpr std::int32_t kRemainder = 2836;   // kModulus % kMultiplier
constexpr int kTableSize = 32;
constexpr std::int32_t kDivisor = 1 + (kModulus - 1) / kTableSize;  // 67108864

// The generator's state: all zero is its first state, which the next call starts from the
// clock (or from the start value it is given).
struct GeneratorState {
    std::int32_t idum = 0;
    std::int32_t iy = 0;
    std::int32_t table[kTableSize] = {};
    bool kept = false;  // the second deviate of the last Gaussian pair waits in kept_deviate
    double kept_deviate = 0.0;
};

GeneratorState g_generator;

std::int32_t clock_seed() {
    return static_cast<std::int32_t>(std::time(nullptr) % 1000000000);
}

}  // namespace

std::int32_t minimal_standard_step(std::int32_t x) {
    const std::int32_t k = x / kQuotient;
    std::int32_t next = kMultiplier * (x - k * kQuotient) - kRemainder * k;
    if (next < 0) next += kModulus;
    return next;
}

std::int32_t random_int(int restart) {
    if (restart < 0) {
        g_generator.idum = -clock_seed();
    } else if (restart > 0) {
        g_generator.idum = -restart;
    }
    if (g_generator.idum <= 0 || g_generator.iy == 0) {
        g_generator.idum = -g_generator.idum;
        if (g_generator.idum < 1) g_generator.idum = clock_seed() > 0 ? clock_seed() : 1;
        for (int j = kTableSize + 7; j >= 0; --j) {
            g_generator.idum = minimal_standard_step(g_generator.idum);
            if (j < kTableSize) g_generator.table[j] = g_generator.idum;
        }
        g_generator.iy = g_generator.table[0];
    }
    g_generator.idum = minimal_standard_step(g_generator.idum);
    const int j = g_generator.iy / kDivisor;
    g_generator.iy = g_generator.table[j];
    g_generator.table[j] = g_generator.idum;
    return g_generator.iy;
}

double random_uniform(int restart) {
    return random_int(restart) * 4.656612875245797e-10;
}

double random_gaussian(int restart) {
    if (g_generator.kept) {
        g_generator.kept = false;
        return g_generator.kept_deviate;
    }
    double a = 0, b = 0, r = 0;
    int s = restart;
    do {
        a = 2.0 * random_uniform(s) - 1.0;
        s = 0;
        b = 2.0 * random_uniform(0) - 1.0;
        r = a * a + b * b;
    } while (r >= 1.0 || r == 0.0);
    const double f = std::sqrt(-2.0 * std::log(r) / r);
    g_generator.kept_deviate = a * f;
    g_generator.kept = true;
    return b * f;
}

double random_arcsine(int restart) {
    return 0.6366197723675814 * std::asin(random_uniform(restart));
}

void reset_random_numbers() {
    g_generator = GeneratorState{};
}

namespace {
const platform::StateReset random_numbers_state_reset{
    "runtime/random_numbers", reset_random_numbers, platform::ResetLayer::runtime};
}  // namespace
