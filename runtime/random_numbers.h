// The command language's random numbers: a minimal-standard multiplicative generator
// (multiplier 16807, modulus 2^31 - 1) behind a 32-entry shuffle table, and the uniform,
// Gaussian and arcsine deviates drawn from it. A positive start value restarts the sequence from
// it, 0 continues it, a negative one restarts it from the clock.
#pragma once

#include <cstdint>

// One step of the minimal-standard generator, computed without overflow (Schrage).
std::int32_t minimal_standard_step(std::int32_t x);

std::int32_t random_int(int restart);
double random_uniform(int restart);   // in (0, 1): never 0
double random_gaussian(int restart);  // standard normal; the second of a pair is kept
double random_arcsine(int restart);   // (2/pi) asin(u)
// Forgets the generator's state and a kept deviate (for tests).
void reset_random_numbers();
