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

std::int32_t idum = 0;
std::int32_t iy = 0;
std::int32_t table[kTableSize] = {};
bool kept = false;
double kept_deviate = 0.0;

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
        idum = -clock_seed();
    } else if (restart > 0) {
        idum = -restart;
    }
    if (idum <= 0 || iy == 0) {
        idum = -idum;
        if (idum < 1) idum = clock_seed() > 0 ? clock_seed() : 1;
        for (int j = kTableSize + 7; j >= 0; --j) {
            idum = minimal_standard_step(idum);
            if (j < kTableSize) table[j] = idum;
        }
        iy = table[0];
    }
    idum = minimal_standard_step(idum);
    const int j = iy / kDivisor;
    iy = table[j];
    table[j] = idum;
    return iy;
}

double random_uniform(int restart) {
    return random_int(restart) * 4.656612875245797e-10;
}

double random_gaussian(int restart) {
    if (kept) {
        kept = false;
        return kept_deviate;
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
    kept_deviate = a * f;
    kept = true;
    return b * f;
}

double random_arcsine(int restart) {
    return 0.6366197723675814 * std::asin(random_uniform(restart));
}

void reset_random_numbers() {
    idum = 0;
    iy = 0;
    for (auto& t : table) t = 0;
    kept = false;
    kept_deviate = 0.0;
}

namespace {
const platform::StateReset random_numbers_state_reset{
    "runtime/random_numbers", reset_random_numbers, platform::ResetLayer::runtime};
}  // namespace
